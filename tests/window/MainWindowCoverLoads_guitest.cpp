// Covers are read on worker threads: the window keeps working while a large
// picture loads, the latest pick wins, and nothing outlives the window.
#include "window/WindowFixture.h"

#include "formats/ProjectFile.h"
#include "render/CoverImage.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QPainter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTimer>

#include <utility>
#include <vector>

namespace {

struct CoverLoadTest : WindowFixture {
    // A photo-like JPEG: a colour with fine noise, large enough that reading
    // it takes many turns of the event loop.
    QString WriteLargeJpeg(const QString& name, QColor colour, QSize size = {3000, 2000})
    {
        QImage image(size, QImage::Format_RGB888);
        QRandomGenerator noise(42);
        for (int y = 0; y < size.height(); ++y) {
            uchar* row = image.scanLine(y);
            for (int x = 0; x < size.width(); ++x) {
                const int n = static_cast<int>(noise.bounded(24u)) - 12;
                row[3 * x] = static_cast<uchar>(std::clamp(colour.red() + n, 0, 255));
                row[3 * x + 1] = static_cast<uchar>(std::clamp(colour.green() + n, 0, 255));
                row[3 * x + 2] = static_cast<uchar>(std::clamp(colour.blue() + n, 0, 255));
            }
        }
        const QString file = Path(name);
        EXPECT_TRUE(image.save(file, "JPG", 90));
        return file;
    }

    QColor Centre()
    {
        const QImage frame = Frame();
        return frame.pixelColor(frame.width() / 2, frame.height() / 2);
    }

    void FrontView()
    {
        ui::formBox(*form)->setCurrentIndex(2); // the front faces the viewer
        form->FormChosen();
    }

    static bool BusyCursorShown()
    {
        return QApplication::overrideCursor() &&
               QApplication::overrideCursor()->shape() == Qt::WaitCursor;
    }
};

TEST_F(CoverLoadTest, TheWindowKeepsWorkingWhileALargeCoverLoads)
{
    Start();
    FrontView();
    ShowAndWaitForGL();
    const QString big = WriteLargeJpeg("big.jpg", QColor(200, 30, 30));
    int ticks = 0;
    QTimer counter;
    counter.setInterval(0);
    QObject::connect(&counter, &QTimer::timeout, [&] { ++ticks; });
    int ticksAtInstall = -1;
    QObject::connect(form.get(), &MainWindow::CoverInstalled, [&](int) { ticksAtInstall = ticks; });
    counter.start();

    prompts.Files.push_back(big);
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    // Chosen, not yet read: the call came back at once with the slot as it was.
    EXPECT_TRUE(form->CoverLoadsPending());
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, "");
    EXPECT_TRUE(BusyCursorShown());
    WaitForCovers();
    counter.stop();

    EXPECT_GE(ticksAtInstall, 2) << "the event loop stood still during the load";
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, big);
    EXPECT_EQ(ui::frontPreview(*form)->pixmap().size(), QSize(63, 42));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const QColor centre = Centre();
    EXPECT_NEAR(centre.red(), 200, 12);
    EXPECT_NEAR(centre.green(), 30, 12);
}

TEST_F(CoverLoadTest, TheLatestPickForASlotWins)
{
    Start();
    FrontView();
    ShowAndWaitForGL();
    const QString big = WriteLargeJpeg("big.jpg", QColor(200, 30, 30));
    const QString small = WritePicture("small.bmp", {40, 40}, Qt::blue, Qt::blue);
    const QString side = WritePicture("side.bmp", {20, 90}, Qt::yellow, Qt::yellow);
    QSignalSpy installed(form.get(), &MainWindow::CoverInstalled);

    // The slow picture first, then the quick one: the slow one's result comes
    // last and must not overwrite the later choice.
    prompts.Files = {big, small, side};
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    ASSERT_TRUE(form->SelectCoverImage(LeftRight, false)); // another slot is no rival
    WaitForCovers();

    ASSERT_EQ(installed.count(), 2);
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, small);
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.size(), QSize(44, 44));
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.pixelColor(5, 5), QColor(Qt::blue));
    EXPECT_EQ(form->Document().Cover(LeftRight).Path, side);
    const QColor centre = Centre();
    EXPECT_LT(centre.red(), 15);
    EXPECT_GT(centre.blue(), 240);
}

TEST_F(CoverLoadTest, ADamagedPictureIsReportedAsBeforeAndChangesNothing)
{
    Start();
    FrontView();
    ShowAndWaitForGL();
    const QString good = WritePicture("good.bmp", {40, 40}, Qt::green, Qt::green);
    PickCover(FrontBack, good);
    const QImage thumbBefore = form->CoverSlots()[FrontBack].Thumbnail;
    const QImage previewBefore = ui::frontPreview(*form)->pixmap().toImage();
    const QColor centreBefore = Centre();

    // Cut off in the middle of its pixels.
    const QString whole = WriteLargeJpeg("whole.jpg", QColor(10, 10, 200), {600, 400});
    QFile in(whole);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    const QByteArray bytes = in.readAll();
    QFile cut(Path("cut.jpg"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(bytes.size() / 2));
    cut.close();
    QString expected;
    try {
        DecodeCoverImage(Path("cut.jpg"), ui::frontPreview(*form)->size());
    } catch (const ImageError& e) {
        expected = QString::fromStdString(e.what());
    }
    ASSERT_FALSE(expected.isEmpty());

    PickCover(FrontBack, Path("cut.jpg"));
    EXPECT_EQ(prompts.Asked.last(), "tell:" + expected);
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, good);
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail, thumbBefore);
    EXPECT_EQ(ui::frontPreview(*form)->pixmap().toImage(), previewBefore);
    EXPECT_EQ(Centre(), centreBefore); // the texture too
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(CoverLoadTest, AProjectsThreeCoversAllArrive)
{
    Start();
    ShowAndWaitForGL();
    ProjectData data;
    data.FrontBack = WriteLargeJpeg("front.jpg", QColor(220, 40, 40));
    data.LeftRight = WriteLargeJpeg("side.jpg", QColor(40, 220, 40));
    data.TopBottom = WriteLargeJpeg("top.jpg", QColor(40, 40, 220));
    data.Form = 2;
    QFile f(Path("three.pcf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(EncodeProject(data));
    f.close();
    QSignalSpy installed(form.get(), &MainWindow::CoverInstalled);

    ASSERT_TRUE(form->OpenProjectFile(Path("three.pcf")));
    EXPECT_TRUE(form->CoverLoadsPending());
    EXPECT_EQ(ui::projectLabel(*form)->text(), "three.pcf");
    WaitForCovers();

    ASSERT_EQ(installed.count(), 3);
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.size(), QSize(63, 42));
    EXPECT_EQ(form->CoverSlots()[LeftRight].Thumbnail.size(), QSize(56, 37));
    EXPECT_EQ(form->CoverSlots()[TopBottom].Thumbnail.size(), QSize(56, 37));
    EXPECT_NEAR(form->CoverSlots()[LeftRight].Thumbnail.pixelColor(10, 10).green(), 220, 12);
    const QColor centre = Centre();
    EXPECT_NEAR(centre.red(), 220, 12);
    EXPECT_NEAR(centre.green(), 40, 12);
}

TEST_F(CoverLoadTest, ALargeCoverMadeInARingHasTheThumbnailAndFaceOfOneReadWhole)
{
    Start();
    FrontView();
    ShowAndWaitForGL();
    // Bands down a picture whose base level (4096 x 4096) is larger than
    // the ring its rows are made in: a row read from a recycled ring place
    // would show in the thumbnail.
    QImage bands(4200, 4200, QImage::Format_RGB888);
    for (int y = 0; y < bands.height(); ++y) {
        const QColor colour = QColor::fromHsv(y / 7 * 37 % 360, 200, 220);
        uchar* row = bands.scanLine(y);
        for (int x = 0; x < bands.width(); ++x) {
            row[3 * x] = static_cast<uchar>(colour.red());
            row[3 * x + 1] = static_cast<uchar>(colour.green());
            row[3 * x + 2] = static_cast<uchar>(colour.blue());
        }
    }
    const QString big = Path("bands.jpg");
    ASSERT_TRUE(bands.save(big, "JPG", 92));
    prompts.Files.push_back(big);
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    WaitForCovers();

    const std::optional<DecodedCover> whole = DecodeCoverImage(big, form->PreviewOf(FrontBack)->size());
    ASSERT_TRUE(whole);
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail, whole->Thumbnail);
    // The face shows the picture's middle, not rows left black.
    const QColor centre = Centre();
    const QColor middle = bands.pixelColor(2100, 2100);
    EXPECT_GT(centre.value(), 100);
    EXPECT_NEAR(centre.hue(), middle.hue(), 40);
}

TEST_F(CoverLoadTest, NewOrOpenDropsPicturesStillLoading)
{
    Start();
    ShowAndWaitForGL();
    const QString big = WriteLargeJpeg("big.jpg", QColor(200, 30, 30));
    QSignalSpy installed(form.get(), &MainWindow::CoverInstalled);

    prompts.Files.push_back(big);
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    prompts.Answers.push_back(QMessageBox::No);
    form->NewProjectClicked();
    WaitForCovers();
    EXPECT_EQ(installed.count(), 0);
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, "");
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.size(), QSize(80, 100));

    // A project without covers: the side picture chosen before it is dropped.
    QFile f(Path("bare.pcf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(EncodeProject(ProjectData{}));
    f.close();
    prompts.Files.push_back(big);
    ASSERT_TRUE(form->SelectCoverImage(LeftRight, false));
    ASSERT_TRUE(form->OpenProjectFile(Path("bare.pcf")));
    WaitForCovers();
    EXPECT_EQ(installed.count(), 0);
    EXPECT_EQ(form->Document().Cover(LeftRight).Path, "");
}

TEST_F(CoverLoadTest, ClosingTheWindowWhileCoversLoadIsSafe)
{
    Start();
    ShowAndWaitForGL();
    const QString big = WriteLargeJpeg("big.jpg", QColor(200, 30, 30));
    prompts.Files = {big, big};
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    ASSERT_TRUE(form->SelectCoverImage(TopBottom, false));
    form->close();
    form.reset();
    QTest::qWait(50); // any result still queued would be delivered now
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The same after the window closed but before it is destroyed.
    Start();
    ShowAndWaitForGL();
    prompts.Files.push_back(big);
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    form->close();
    WaitForCovers();
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, big);
    form.reset();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The busy cursor shows as long as a cover counts as loading: a picture
// read whole still waits for its texture when its read ends.
TEST_F(CoverLoadTest, TheBusyCursorStaysUntilTheFaceShowsTheCover)
{
    Start();
    FrontView();
    ShowAndWaitForGL();
    const QString large = WritePicture("large.bmp", {2100, 1600}, QColor(230, 10, 10), QColor(230, 10, 10));
    std::vector<std::pair<bool, bool>> pendingAndBusy; // each time the reads end
    QObject::connect(form.get(), &MainWindow::CoverLoadsFinished,
                     [&] { pendingAndBusy.emplace_back(form->CoverLoadsPending(), BusyCursorShown()); });
    prompts.Files.push_back(large);
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !pendingAndBusy.empty(); }, 30000));
    EXPECT_TRUE(pendingAndBusy.front().first) << "the texture is still to come";
    EXPECT_TRUE(pendingAndBusy.front().second);
    WaitForCovers();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_GT(Centre().red(), 200);
}

} // namespace

// The texture maker clears a large texture under a lock the view's drawing
// needs: a second large pick for the slot takes the texture made for the
// one it overtook rather than having another made.
TEST_F(CoverLoadTest, ASecondLargePickTakesTheTextureOfTheOneItOvertook)
{
    Start();
    FrontView();
    ShowAndWaitForGL();
    // Base levels of 4096 x 2048, read for long enough to be overtaken.
    const QString red = WriteLargeJpeg("red.jpg", QColor(200, 30, 30), {4000, 3000});
    const QString blue = WriteLargeJpeg("blue.jpg", QColor(30, 30, 200), {4000, 3000});
    prompts.Files = {red, blue};
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->TexturesMadeAside() == 1; }, 10000));
    // A cover read is the slot's at once, its texture following: pending
    // until then, but no longer a pick to overtake.
    if (form->Document().Cover(FrontBack).Path == red)
        GTEST_SKIP() << "the first cover was read before its texture was made: nothing to overtake";
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    WaitForCovers();

    EXPECT_EQ(form->TexturesMadeAside(), 1);
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, blue);
    const QColor centre = Centre();
    EXPECT_GT(centre.blue(), 150);
    EXPECT_LT(centre.red(), 80);

    // A third of the same size, after both have ended, has one made again.
    const QString green = WriteLargeJpeg("green.jpg", QColor(30, 200, 30), {4000, 3000});
    PickCover(FrontBack, green);
    EXPECT_EQ(form->TexturesMadeAside(), 2);
    EXPECT_GT(Centre().green(), 150);
}
