// The real window's frame at 450 x 450 with one sample and with four: the
// box turned a little before each frame, the frame drawn at once and
// finished by the GL, the two counts in turn; prints the median time of
// each and their ratio.
// bench/live-samples.sh runs it under Xvfb on the demo project.
//
//   window_frame PROJECT [FRAMES]
#include "WindowBench.h"
#include "app/ProcessSetup.h"
#include "document/SizeClass.h"
#include "window/Application.h"
#include "window/GLPanel.h"
#include "window/MainWindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    PrepareWindowProcess();
    CubiformApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments().mid(1);
    if (args.isEmpty() || args.size() > 2) {
        std::fprintf(stderr, "usage: window_frame PROJECT [FRAMES]\n");
        return 2;
    }
    const int frames = std::max(5, args.value(1, QStringLiteral("60")).toInt());
    QTemporaryDir dir;
    MainWindowOptions options;
    options.ProgramFolder = dir.path();
    options.SettingsFile = dir.filePath(QStringLiteral("settings.ini"));
    MainWindow form(options);
    form.show();
    GLPanel* view = form.findChild<GLPanel*>(QStringLiteral("view"));
    if (!WaitUntil([&] { return !view->FirstPaintPending(); }, 10000) || !form.OpenProjectFile(args.at(0)) ||
        !WaitUntil([&] { return !form.CoverLoadsPending(); }, 60000)) {
        std::fprintf(stderr, "window_frame: the project was not shown\n");
        return 1;
    }
    form.Document().SetSizeClass(SizeClassLarge);
    form.Document().SetPosition(Slider::ImageWidth, 450);
    form.Document().SetPosition(Slider::ImageHeight, 450);
    if (!WaitUntil([&] { return view->PixelSize() == QSize(450, 450); }, 5000)) {
        std::fprintf(stderr, "window_frame: the view is not 450 x 450\n");
        return 1;
    }
    WaitUntil([] { return false; }, 300);

    // The two counts take turns frame by frame, so both see the same load
    // of a shared machine.
    const int counts[2] = {1, 4};
    std::vector<double> times[2];
    float side = form.Params().SideAngle;
    for (int f = 0; f < 2 * (frames + 3); ++f) {
        const int i = f % 2;
        BoxLooks looks = form.Params().Looks;
        looks.Samples = counts[i];
        form.Document().SetLooks(looks);
        side += 1.0f;
        form.Document().TurnTo(side, form.Params().TiltAngle);
        QElapsedTimer clock;
        clock.start();
        view->RenderNow();
        view->ReadFrame([] { glFinish(); });
        if (f >= 6) // the first frames make the buffers
            times[i].push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
        if (view->ShownSamples() != counts[i]) {
            std::fprintf(stderr, "window_frame: the view drew %d sample(s), not %d\n", view->ShownSamples(), counts[i]);
            return 1;
        }
        QCoreApplication::processEvents();
    }
    const double medians[2] = {Median(times[0]), Median(times[1])};
    std::printf("frame_ms_1 %.2f\nframe_ms_4 %.2f\nratio %.2f\n", medians[0], medians[1], medians[1] / medians[0]);
    return 0;
}
