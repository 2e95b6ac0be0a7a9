#include "window/FolderPicker.h"
#include "window/WindowFixture.h"

#include "support/DropEvents.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QScrollBar>
#include <QStatusBar>

#include <tuple>

namespace {

using CoverTest = WindowFixture;

TEST_F(CoverTest, ChosenPictureDressesOnlyItsSlotAndFitsThePreview)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2);
    form->FormChosen();
    ShowAndWaitForGL();
    const QString file = WritePicture("front.bmp", {640, 480}, Qt::red, Qt::red);
    prompts.Files.push_back(file);
    form->CoverClicked(ui::frontPreview(*form));
    WaitForCovers();
    ASSERT_EQ(prompts.FileRequests.size(), 1u);
    EXPECT_EQ(prompts.FileRequests[0].Title, "Select image");
    EXPECT_EQ(prompts.FileRequests[0].StartFolder, UserPicturesFolder()); // not the program's folder
    EXPECT_EQ(prompts.FileRequests[0].Filter,
              "Image (*.jpg;*.bmp;*.png;*.gif;*.tga)|*.jpg;*.bmp;*.png;*.gif;*.tga|jpg image|*.jpg|"
              "bmp image|*.bmp|png image|*.png|gif image|*.gif|tga image|*.tga");
    EXPECT_EQ(form->Document().Cover(0).Path, file);
    EXPECT_EQ(form->CoverSlots()[0].Thumbnail.size(), QSize(59, 44));
    EXPECT_EQ(ui::frontPreview(*form)->pixmap().size(), QSize(59, 44));
    EXPECT_EQ(form->Document().Cover(1).Path, "");
    EXPECT_EQ(form->RememberedFolders().DataFolder, dir.path() + "/");

    const QImage frame = Frame();
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_GT(centre.red(), 240);
    EXPECT_LT(centre.green(), 15);

    // Reselecting starts at the current picture.
    prompts.Files.push_back(QString());
    form->CoverClicked(ui::selectFrontAction(*form));
    EXPECT_FALSE(form->CoverLoadsPending());
    EXPECT_EQ(prompts.FileRequests[1].FileName, file);
    EXPECT_EQ(form->Document().Cover(0).Path, file); // cancelled: unchanged
    EXPECT_EQ(form->RememberedFolders().DataFolder, dir.path() + "/");
}

TEST_F(CoverTest, ThumbnailRoundsHalvesToEven)
{
    Start();
    ShowAndWaitForGL();
    const std::pair<QSize, QSize> cases[] = {{{5, 88}, {2, 44}},
                                             {{7, 88}, {4, 44}},
                                             {{300, 300}, {44, 44}},
                                             {{126, 88}, {63, 44}}};
    int n = 0;
    for (const auto& [picture, thumb] : cases) {
        PickCover(FrontBack, WritePicture(QStringLiteral("p%1.bmp").arg(n++), picture, Qt::blue, Qt::blue));
        EXPECT_EQ(form->CoverSlots()[0].Thumbnail.size(), thumb);
    }
    prompts.Files.push_back(WritePicture("wide.bmp", {1000, 100}, Qt::blue, Qt::blue));
    form->CoverClicked(ui::sidePreview(*form));
    WaitForCovers();
    EXPECT_EQ(form->CoverSlots()[1].Thumbnail.size(), QSize(56, 6));
}

TEST_F(CoverTest, DamagedOrForeignFilesLeaveTheSlotAsItWas)
{
    Start();
    ShowAndWaitForGL();
    const QString good = WritePicture("good.bmp", {40, 40}, Qt::green, Qt::green);
    PickCover(TopBottom, good);
    const QImage thumbBefore = form->CoverSlots()[2].Thumbnail;

    QFile bad(Path("bad.bmp"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("BM this is not a picture at all");
    bad.close();
    const int asked = static_cast<int>(prompts.Asked.size());
    PickCover(TopBottom, Path("bad.bmp")); // the damage shows only once it is read
    ASSERT_EQ(prompts.Asked.size(), asked + 2); // the file dialog, then the error
    EXPECT_TRUE(prompts.Asked.last().startsWith("tell:")) << prompts.Asked.last().toStdString();
    EXPECT_TRUE(prompts.Asked.last().contains("bad.bmp"));
    EXPECT_EQ(form->Document().Cover(2).Path, good);
    EXPECT_EQ(form->CoverSlots()[2].Thumbnail, thumbBefore);

    QImage(8, 8, QImage::Format_RGB888).save(Path("other.ppm"), "PPM");
    prompts.Files.push_back(Path("other.ppm"));
    EXPECT_FALSE(form->SelectCoverImage(TopBottom, false));
    EXPECT_EQ(form->Document().Cover(2).Path, good);
}

TEST_F(CoverTest, NewProjectBringsBackThePlaceholders)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2);
    form->FormChosen();
    ShowAndWaitForGL();
    PickCover(FrontBack, WritePicture("f.bmp", {64, 64}, Qt::black, Qt::black));
    prompts.Answers.push_back(QMessageBox::No);
    form->NewProjectClicked();
    EXPECT_EQ(form->Document().Cover(0).Path, "");
    EXPECT_EQ(form->CoverSlots()[0].Thumbnail.size(), QSize(80, 100));
    EXPECT_EQ(form->CoverSlots()[1].Thumbnail.size(), QSize(20, 100));
    EXPECT_EQ(form->CoverSlots()[2].Thumbnail.size(), QSize(100, 20));
    // New project goes back to the first kind; show the front straight on again.
    ui::formBox(*form)->setCurrentIndex(2);
    form->FormChosen();
    const QImage frame = Frame();
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_NEAR(centre.red(), 255, 3);
    EXPECT_NEAR(centre.green(), 185, 3);
    EXPECT_NEAR(centre.blue(), 151, 3);
}

} // namespace

namespace {

TEST_F(CoverTest, DroppedPicturesLoadIntoTheirSlot)
{
    Start();
    ShowAndWaitForGL();
    const QString side = WritePicture("side.bmp", {20, 90}, Qt::yellow, Qt::yellow);
    const QString front = WritePicture("front.bmp", {30, 40}, Qt::cyan, Qt::cyan);
    // The preview's slot; the view takes the front; the Shape panel's previews theirs.
    const std::pair<QWidget*, int> targets[] = {
        {ui::sidePreview(*form), LeftRight}, {ui::view(*form), FrontBack}, {form->PreviewOf(ClassicSlotCount), ClassicSlotCount}};
    for (const auto& [target, slot] : targets) {
        EXPECT_TRUE(SendDrop(target, FileUrls({slot == FrontBack ? front : side}))) << slot;
        WaitForCovers();
        EXPECT_EQ(form->Document().Cover(slot).Path, slot == FrontBack ? front : side);
    }
    EXPECT_TRUE(prompts.FileRequests.empty()); // no dialog for a drop
}

TEST_F(CoverTest, RefusedDropsSayWhyAndChangeNothing)
{
    Start();
    ShowAndWaitForGL();
    const QString picture = WritePicture("p.bmp", {20, 20}, Qt::red, Qt::red);
    QFile(Path("notes.txt")).open(QIODevice::WriteOnly);
    const std::tuple<QWidget*, QList<QUrl>, const char*> cases[] = {
        {ui::frontPreview(*form), FileUrls({picture, picture}), "one file at a time"},
        {form.get(), FileUrls({Path("a.pcf"), picture}), "one file at a time"},
        {ui::topPreview(*form), FileUrls({Path("notes.txt")}), "notes.txt"},
        {ui::view(*form), {QUrl("https://example.com/a.png")}, "on this computer"},
        {form.get(), FileUrls({picture}), "cover preview or on the view"}, // beside the previews
    };
    for (const auto& [target, urls, says] : cases) {
        EXPECT_FALSE(SendDrop(target, urls)) << says;
        QCoreApplication::processEvents();
        EXPECT_TRUE(form->statusBar()->currentMessage().contains(QLatin1String(says))) << says;
        EXPECT_FALSE(form->CoverLoadsPending() || form->Document().Modified()) << says;
    }
    EXPECT_EQ(form->ProjectFile(), "");
    EXPECT_TRUE(prompts.Asked.isEmpty());
}

// A project dropped anywhere opens, after the question File > Open asks.
TEST_F(CoverTest, ADroppedProjectOpensAfterTheSameQuestion)
{
    Start();
    ShowAndWaitForGL();
    const QString project = Path("dropped.pcf");
    ASSERT_TRUE(form->SaveProject(project));
    ui::widthBar(*form)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    prompts.Answers = {QMessageBox::Cancel, QMessageBox::No};
    EXPECT_TRUE(SendDrop(form.get(), FileUrls({project}))); // where no control takes drops
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.Asked.isEmpty(); }, 2000));
    EXPECT_EQ(prompts.Asked.last(), "ask:Saving the project first?");
    EXPECT_TRUE(form->ProjectFile().isEmpty() && form->Document().Modified()); // cancelled
    EXPECT_TRUE(SendDrop(ui::frontPreview(*form), FileUrls({project})));
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->ProjectFile() == project; }, 2000));
    EXPECT_FALSE(form->Document().Modified());
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, ""); // opened, not taken as a cover
}

} // namespace

namespace {

TEST_F(CoverTest, PictureChosenBeforeTheViewExistsShowsOnceItDoes)
{
    Start();
    ui::formBox(*form)->setCurrentIndex(2); // the front faces the viewer
    form->FormChosen();
    prompts.Files.push_back(WritePicture("early.bmp", {40, 40}, Qt::red, Qt::red));
    ASSERT_TRUE(form->SelectCoverImage(FrontBack, false));
    ShowAndWaitForGL();
    WaitForCovers(); // the first paint reads it again for its texture
    QTest::qWait(50);
    const QImage frame = Frame();
    const QColor centre = frame.pixelColor(frame.width() / 2, frame.height() / 2);
    EXPECT_GT(centre.red(), 240);
    EXPECT_LT(centre.green(), 15);
}

} // namespace
