// Opens the real main window, chooses large JPEG covers through the file
// dialog's route (answered by a script) and prints what a person would feel:
//   stall_ms    the longest the event loop stood still while the first cover loaded
//   shown_ms    from the pick until the first cover is installed and drawn
//   rss_mib     resident memory a few seconds after all covers are loaded
//   hwm_mib     the peak resident memory of the run
// bench/window-cover.sh runs it under Xvfb and sets the figures against their floors.
//
//   window_cover COVER.jpg [SIDE.jpg [TOP.jpg]] [--settle-ms N]
//   window_cover --make-cover OUT.jpg [--size WxH] [--seed N]
#include "WindowBench.h"
#include "app/ProcessSetup.h"
#include "window/Application.h"
#include "window/GLPanel.h"
#include "window/MainWindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>

namespace {

// kB figures from /proc/self/status, as MiB.
double StatusMiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(static_cast<int>(qstrlen(key))).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// A photo-like cover: soft colour fields, hard-edged shapes and grain, so
// the JPEG is about as large as a photograph of the same size.
int MakeCover(const QString& file, QSize size, quint32 seed)
{
    QImage image(size, QImage::Format_RGB888);
    QRandomGenerator random(seed);
    const double fx = 3.0 + random.bounded(4.0), fy = 2.0 + random.bounded(4.0);
    for (int y = 0; y < size.height(); ++y) {
        uchar* row = image.scanLine(y);
        const double v = static_cast<double>(y) / size.height();
        for (int x = 0; x < size.width(); ++x) {
            const double u = static_cast<double>(x) / size.width();
            const double a = std::sin(u * fx * 6.283 + std::cos(v * fy * 6.283) * 2.0);
            const double b = std::cos(v * fy * 6.283 + std::sin(u * fx * 3.1) * 1.5);
            const int grain = static_cast<int>(random.bounded(20u)) - 10;
            row[3 * x] = static_cast<uchar>(std::clamp(static_cast<int>(128 + 90 * a) + grain, 0, 255));
            row[3 * x + 1] = static_cast<uchar>(std::clamp(static_cast<int>(128 + 90 * b) + grain, 0, 255));
            row[3 * x + 2] = static_cast<uchar>(std::clamp(static_cast<int>(128 + 60 * a * b) + grain, 0, 255));
        }
    }
    if (!image.save(file, "JPG", 90)) {
        std::fprintf(stderr, "window_cover: cannot write %s\n", qPrintable(file));
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    PrepareWindowProcess(); // as the program itself starts
    CubiformApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int settleMs = 3000;
    if (const int i = static_cast<int>(args.indexOf(QStringLiteral("--settle-ms"))); i >= 0 && i + 1 < args.size()) {
        settleMs = args.at(i + 1).toInt();
        args.remove(i, 2);
    }
    if (!args.isEmpty() && args.first() == QLatin1String("--make-cover")) {
        QSize size(6000, 4000);
        quint32 seed = 1;
        for (int i = 2; i + 1 < args.size(); i += 2) {
            if (args.at(i) == QLatin1String("--size")) {
                const QStringList wh = args.at(i + 1).split(QLatin1Char('x'));
                size = QSize(wh.value(0).toInt(), wh.value(1).toInt());
            } else if (args.at(i) == QLatin1String("--seed")) {
                seed = args.at(i + 1).toUInt();
            }
        }
        return args.size() < 2 ? 2 : MakeCover(args.at(1), size, seed);
    }
    if (args.isEmpty() || args.size() > 3) {
        std::fprintf(stderr, "usage: window_cover COVER.jpg [SIDE.jpg [TOP.jpg]] [--settle-ms N]\n"
                             "       window_cover --make-cover OUT.jpg [--size WxH] [--seed N]\n");
        return 2;
    }

    QTemporaryDir dir;
    ListPrompts prompts;
    MainWindowOptions options;
    options.ProgramFolder = dir.path();
    options.SettingsFile = dir.filePath(QStringLiteral("settings.ini"));
    options.Dialogs = &prompts;
    MainWindow form(options);
    form.show();
    if (!WaitUntil([&] { return !form.findChild<GLPanel*>(QStringLiteral("view"))->FirstPaintPending(); }, 10000)) {
        std::fprintf(stderr, "window_cover: the view never painted\n");
        return 1;
    }
    WaitUntil([] { return false; }, 500); // let start-up settle

    // The longest gap between two turns of the event loop, seen by a short timer.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(2);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        longestGap = std::max(longestGap, sinceTick.restart());
    });

    QElapsedTimer sincePick;
    qint64 shownMs = -1;
    QObject::connect(&form, &MainWindow::CoverInstalled, [&](int slot) {
        if (slot == FrontBack && shownMs < 0)
            shownMs = sincePick.elapsed();
    });

    prompts.Files.push_back(args.at(0));
    sinceTick.start();
    ticker.start();
    sincePick.start();
    form.CoverClicked(form.findChild<QLabel*>(QStringLiteral("frontPreview"))); // as a click on the front preview
    const bool loaded = WaitUntil([&] { return !form.CoverLoadsPending(); }, 120000);
    ticker.stop();
    longestGap = std::max(longestGap, sinceTick.elapsed());
    if (!loaded || shownMs < 0 || prompts.failed) {
        std::fprintf(stderr, "window_cover: the cover was not shown\n");
        return 1;
    }

    // Three large covers: the other two slots too (the first file again when
    // only one was given).
    prompts.Files.push_back(args.value(1, args.at(0)));
    form.CoverClicked(form.findChild<QLabel*>(QStringLiteral("sidePreview")));
    prompts.Files.push_back(args.value(2, args.value(1, args.at(0))));
    form.CoverClicked(form.findChild<QLabel*>(QStringLiteral("topPreview")));
    if (!WaitUntil([&] { return !form.CoverLoadsPending(); }, 120000) || prompts.failed) {
        std::fprintf(stderr, "window_cover: the other covers were not shown\n");
        return 1;
    }
    WaitUntil([] { return false; }, settleMs);

    std::printf("stall_ms %lld\n", static_cast<long long>(longestGap));
    std::printf("shown_ms %lld\n", static_cast<long long>(shownMs));
    std::printf("rss_mib %.1f\n", StatusMiB("VmRSS:"));
    std::printf("hwm_mib %.1f\n", StatusMiB("VmHWM:"));
    return 0;
}
