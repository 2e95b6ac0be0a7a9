// One project, two surfaces: the window's captured frame and the picture
// "cubiform render" writes must be the same pixels.
#include "cli/CliRunner.h"
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "formats/ProjectOpen.h"
#include "formats/ProjectFile.h"
#include "render/SceneDriver.h"
#include "support/GLPixels.h"
#include "support/WindowParts.h"
#include "window/GLPanel.h"
#include "window/MainWindow.h"
#include "window/ScriptedPrompts.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

namespace {

struct WindowAndCommandLine : ::testing::Test {
    QTemporaryDir dir;
    ScriptedPrompts prompts;
    std::unique_ptr<MainWindow> form;

    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    void SetUp() override
    {
        MainWindowOptions options;
        options.ProgramFolder = dir.path();
        options.SettingsFile = Path("settings.ini");
        options.Dialogs = &prompts;
        form = std::make_unique<MainWindow>(options);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !ui::view(*form)->FirstPaintPending(); }, 5000));
    }

    // Opens the project in the window as "Open project..." does.
    void OpenInWindow(const ProjectData& data)
    {
        const QString project = Path("window.pcf");
        QFile f(project);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(EncodeProject(data));
        f.close();
        ASSERT_TRUE(form->OpenProjectFile(project));
        // The covers are read on worker threads; the capture waits for them.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->CoverLoadsPending(); }, 30000));
        // The panel takes the output size with the next layout pass.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return ui::view(*form)->PixelSize() == QSize(data.ImageWidth, data.ImageHeight); }, 5000));
        QTest::qWait(50);
    }

    QImage WindowCapture()
    {
        ui::view(*form)->RenderNow();
        QImage bitmap;
        EXPECT_TRUE(ui::view(*form)->ReadFrame([&] { EXPECT_TRUE(GrabFrameToBitmap(bitmap)); }));
        return bitmap.convertToFormat(QImage::Format_RGB32);
    }

    QImage CommandLineRender(const ProjectData& data, const char* ext)
    {
        const QString project = Path("shot.pcf");
        QFile f(project);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(EncodeProject(data));
        f.close();
        const QString out = Path("shot.") + QLatin1String(ext);
        return RenderPicture({project, QStringLiteral("--samples"), QStringLiteral("1")}, out)
            .convertToFormat(QImage::Format_RGB32);
    }

    static int DifferentPixels(const QImage& a, const QImage& b)
    {
        int n = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                n += a.pixel(x, y) != b.pixel(x, y);
        return n;
    }
};

TEST_F(WindowAndCommandLine, SameProjectSamePixels)
{
    QImage cover(64, 80, QImage::Format_RGB888);
    for (int y = 0; y < cover.height(); ++y)
        for (int x = 0; x < cover.width(); ++x)
            cover.setPixel(x, y, qRgb(x * 4, y * 3, 255 - x * 2));
    ASSERT_TRUE(cover.save(Path("front.bmp"), "BMP"));
    // Side and top differ in colour and direction, so a face dressed with the wrong one shows.
    QImage side(16, 64, QImage::Format_RGB888), top(64, 16, QImage::Format_RGB888);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 16; ++x) {
            side.setPixel(x, y, qRgb(200 - y * 3, 60 + x * 10, 40));
            top.setPixel(y, x, qRgb(30, 240 - y * 3, 100 + x * 8));
        }
    ASSERT_TRUE(side.save(Path("side.jpg"), "JPG", 90));
    ASSERT_TRUE(top.save(Path("top.bmp"), "BMP"));

    ProjectData plain; // the first kind, placeholder faces
    plain.ImageWidth = 240;
    plain.ImageHeight = 180;

    ProjectData dressed;
    dressed.FrontBack = Path("front.bmp");
    dressed.LeftRight = Path("side.jpg");
    dressed.TopBottom = Path("top.bmp");
    dressed.Form = 8;  // hard cover book
    dressed.Fog = 1;   // natural view
    dressed.BackgroundColor = 0x00406080;
    dressed.ImageWidth = 200;
    dressed.ImageHeight = 260;
    dressed.Breed = 70;
    dressed.Turn = 120;
    dressed.Eye = 25;
    dressed.SideAngle = 41.5f;
    dressed.TiltAngle = -12.0f;

    // Another fog mode (exponential) on a kind seen from above, after the
    // natural view: a fog change must reach the window's next frame.
    ProjectData dark = dressed;
    dark.Form = 6; // pizza box
    dark.Fog = 3;  // "Dark"
    dark.BackgroundColor = 0x00102030;
    dark.ImageWidth = 180;
    dark.ImageHeight = 140;

    const struct {
        const ProjectData& data;
        const char* ext;
    } cases[] = {{plain, "png"}, {dressed, "bmp"}, {dark, "png"}};
    for (const auto& c : cases) {
        OpenInWindow(c.data);
        const QImage window = WindowCapture();
        const QImage shot = CommandLineRender(c.data, c.ext);
        ASSERT_EQ(window.size(), QSize(c.data.ImageWidth, c.data.ImageHeight));
        ASSERT_EQ(shot.size(), window.size());
        // A real picture: background at the corner, the box in the middle.
        const QRgb background = qRgb(c.data.BackgroundColor & 0xFF, (c.data.BackgroundColor >> 8) & 0xFF,
                                     (c.data.BackgroundColor >> 16) & 0xFF);
        EXPECT_TRUE(NearColor(window.pixel(0, 0), background)) << ColorText{window.pixel(0, 0)};
        EXPECT_FALSE(NearColor(window.pixel(window.width() / 2, window.height() / 2), background, 20));
        EXPECT_EQ(DifferentPixels(window, shot), 0) << c.ext;
        if (DifferentPixels(window, shot) != 0) {
            window.save(Path("window.png"));
            dir.setAutoRemove(false);
            ADD_FAILURE() << "kept for a look: " << dir.path().toStdString();
        }
    }
}

} // namespace

// The looks reach the project through the document; until the command line
// has options for them, the headless side is the command's own RenderBox,
// on a thread of its own so its context never meets the window's.
TEST_F(WindowAndCommandLine, LooksAndSamplesGiveTheSamePixels)
{
    QImage cover(64, 80, QImage::Format_RGB888);
    for (int y = 0; y < cover.height(); ++y)
        for (int x = 0; x < cover.width(); ++x)
            cover.setPixel(x, y, (x / 4 + y / 4) % 2 ? qRgb(240, 200, 40) : qRgb(30, 60, 200));
    ASSERT_TRUE(cover.save(Path("front.bmp"), "BMP"));
    ProjectData data;
    data.FrontBack = Path("front.bmp");
    data.BackgroundColor = 0x00605040;
    data.ImageWidth = 220;
    data.ImageHeight = 200;
    data.Eye = 20;
    const QString project = Path("looks.pcf");
    QFile f(project);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(EncodeProject(data));
    f.close();

    for (const BoxLooks looks : {BoxLooks{70, 40, 40, 60, true, 1}, BoxLooks{50, 60, 30, 40, true, 8},
                                 BoxLooks{0, 50, 0, 0, false, 16}}) {
        SCOPED_TRACE(looks.Samples);
        OpenInWindow(data);
        form->Document().SetLooks(looks);
        ui::view(*form)->RenderNow();
        QImage window;
        EXPECT_TRUE(ui::view(*form)->ReadFrame([&] {
            form->ApplyOutputViewport();
            EXPECT_TRUE(form->GrabResult(window));
        }));
        window = window.convertToFormat(QImage::Format_RGB32);

        QImage shot;
        std::thread([&] {
            HeadlessBox box;
            box.OpenProject(*ReadProjectFile(project));
            box.Document.Params.Looks = looks;
            PendingCovers covers(box);
            RenderRequest request;
            request.Size = QSize(data.ImageWidth, data.ImageHeight);
            request.Samples = looks.Samples;
            PhaseClock clock;
            shot = RenderBox(box, covers, request, clock).convertToFormat(QImage::Format_RGB32);
        }).join();
        ASSERT_EQ(window.size(), shot.size());
        EXPECT_EQ(DifferentPixels(window, shot), 0);
        if (DifferentPixels(window, shot) != 0) {
            window.save(Path("window.png"));
            shot.save(Path("shot.png"));
            dir.setAutoRemove(false);
            ADD_FAILURE() << "kept for a look: " << dir.path().toStdString();
        }
    }
}
