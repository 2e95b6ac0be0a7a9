// Opening, leaving and closing a project: the view shows the project that
// is open, and no change is lost without a question.
#include "window/WindowFixture.h"

#include "formats/ProjectFile.h"
#include "support/Placeholders.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QStatusBar>

namespace {

const QString Caption = QStringLiteral("Cubiform Classic version 1.2 (Freeware)");

struct ProjectSafetyTest : WindowFixture {
    // A project of the front view (the front cover faces the eye) naming these covers.
    QString WriteProject(const QString& name, const QString& front, const QString& top = QString())
    {
        ProjectData data = DecodeProject(EncodeProject(ProjectData{}));
        data.SizeClass = 1;
        data.Form = 2;
        data.ImageWidth = data.ImageHeight = 300;
        data.FrontBack = front;
        data.TopBottom = top;
        const QString file = Path(name);
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(EncodeProject(data));
        return file;
    }

    QByteArray Read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QImage Result()
    {
        QImage written;
        EXPECT_TRUE(form->GrabResult(written));
        return written.convertToFormat(QImage::Format_RGB888);
    }
};

TEST_F(ProjectSafetyTest, AMissingCoverShowsThePlaceholderNotTheProjectBefore)
{
    Start();
    ShowAndWaitForGL();
    const QString red = WritePicture(QStringLiteral("red.bmp"), {40, 30}, Qt::red, Qt::red);
    const QString withCover = WriteProject(QStringLiteral("dressed.pcf"), red);
    const QString bare = WriteProject(QStringLiteral("bare.pcf"), Path(QStringLiteral("gone.bmp")));

    // The bare project as a window that never had a cover shows it.
    ASSERT_TRUE(form->OpenProjectFile(bare));
    WaitForCovers();
    const QImage placeholders = Frame();
    const QImage placeholderResult = Result();

    ASSERT_TRUE(form->OpenProjectFile(withCover));
    WaitForCovers();
    ASSERT_EQ(form->CoverSlots()[FrontBack].Thumbnail.pixelColor(0, 0), QColor(Qt::red));
    ASSERT_NE(Frame(), placeholders);

    ASSERT_TRUE(form->OpenProjectFile(bare));
    WaitForCovers();
    // Preview, view and written picture all show the placeholder.
    const QImage& thumbnail = form->CoverSlots()[FrontBack].Thumbnail;
    EXPECT_EQ(thumbnail.size(), PlaceholderSize(FrontBack));
    EXPECT_EQ(thumbnail.pixel(0, 0), PlaceholderColors[FrontBack]);
    EXPECT_EQ(ui::frontPreview(*form)->pixmap().toImage().pixel(0, 0), PlaceholderColors[FrontBack]);
    EXPECT_EQ(Frame(), placeholders);
    EXPECT_EQ(Result(), placeholderResult);
    EXPECT_TRUE(form->statusBar()->currentMessage().contains(QStringLiteral("gone.bmp")));
    // A save names the project's file still: opened again, it shows the same.
    ASSERT_TRUE(form->SaveProject(Path(QStringLiteral("again.pcf"))));
    EXPECT_EQ(DecodeProject(Read(Path(QStringLiteral("again.pcf")))).FrontBack, Path(QStringLiteral("gone.bmp")));
}

TEST_F(ProjectSafetyTest, ADamagedCoverAlsoLeavesThePlaceholder)
{
    Start();
    ShowAndWaitForGL();
    const QString red = WritePicture(QStringLiteral("red.bmp"), {40, 30}, Qt::red, Qt::red);
    const QString green = WritePicture(QStringLiteral("green.bmp"), {40, 30}, Qt::green, Qt::green);
    QFile damaged(Path(QStringLiteral("damaged.bmp")));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write(Read(green).left(60)); // cut inside its pixels
    damaged.close();

    ASSERT_TRUE(form->OpenProjectFile(WriteProject(QStringLiteral("a.pcf"), red, green)));
    WaitForCovers();
    ASSERT_EQ(form->CoverSlots()[TopBottom].Thumbnail.pixelColor(0, 0), QColor(Qt::green));
    ASSERT_TRUE(form->OpenProjectFile(WriteProject(QStringLiteral("b.pcf"), red, damaged.fileName())));
    WaitForCovers();
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(form->CoverSlots()[TopBottom].Thumbnail.pixel(0, 0), PlaceholderColors[TopBottom]);
    EXPECT_TRUE(prompts.Asked.last().startsWith(QStringLiteral("tell:"))) << prompts.Asked.last().toStdString();
}

TEST_F(ProjectSafetyTest, AProjectThatFailsToOpenLeavesTheWindowAsItWas)
{
    Start();
    ShowAndWaitForGL();
    const QString red = WritePicture(QStringLiteral("red.bmp"), {40, 30}, Qt::red, Qt::red);
    const QString good = WriteProject(QStringLiteral("good.pcf"), red);
    ASSERT_TRUE(form->OpenProjectFile(good));
    WaitForCovers();
    ui::depthBar(*form)->setValue(40); // a change not saved
    const QImage frame = Frame();
    const QString title = form->windowTitle();
    ASSERT_EQ(title, "good.pcf* - " + Caption);

    QFile cut(Path(QStringLiteral("cut.pcf")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(Read(good).left(20));
    cut.close();
    EXPECT_FALSE(form->OpenProjectFile(cut.fileName()));
    WaitForCovers();
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.pixelColor(0, 0), QColor(Qt::red));
    EXPECT_EQ(Frame(), frame);
    EXPECT_EQ(form->windowTitle(), title);
    EXPECT_EQ(form->ProjectFile(), good);
    EXPECT_TRUE(form->Document().Modified());
}

TEST_F(ProjectSafetyTest, TheTitleNamesTheProjectAndItsUnsavedChanges)
{
    Start();
    ShowAndWaitForGL();
    EXPECT_EQ(form->windowTitle(), Caption);
    ui::widthBar(*form)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(form->windowTitle(), "Untitled* - " + Caption);
    const QString file = WriteProject(QStringLiteral("shopfront.pcf"), QString());
    ASSERT_TRUE(form->OpenProjectFile(file));
    EXPECT_EQ(form->windowTitle(), "shopfront.pcf - " + Caption);

    // Every kind of change marks it, and a save clears the mark.
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"slider", [&] { ui::widthBar(*form)->triggerAction(QAbstractSlider::SliderSingleStepAdd); }},
        {"kind", [&] {
             ui::formBox(*form)->setCurrentIndex(5);
             form->FormChosen();
         }},
        {"fog", [&] {
             ui::surroundingBox(*form)->setCurrentIndex(3);
             form->SurroundingChosen();
         }},
        {"colour", [&] {
             prompts.Colors.push_back(QColor(10, 20, 30));
             form->PickBackground();
         }},
        {"cover", [&] { PickCover(TopBottom, WritePicture(QStringLiteral("t.bmp"), {20, 20}, Qt::blue, Qt::blue)); }},
        {"look", [&] { ui::shadowBar(*form)->setValue(35); }},
        {"drag", [&] {
             QWidget* view = ui::view(*form);
             const QPoint middle(view->width() / 2, view->height() / 2);
             QTest::mousePress(view, Qt::LeftButton, {}, middle);
             QTest::mouseMove(view, middle + QPoint(30, 0));
             QTest::mouseRelease(view, Qt::LeftButton, {}, middle + QPoint(30, 0));
         }},
    };
    for (const auto& [name, change] : changes) {
        change();
        EXPECT_EQ(form->windowTitle(), "shopfront.pcf* - " + Caption) << name;
        form->SaveProjectClicked();
        EXPECT_EQ(form->windowTitle(), "shopfront.pcf - " + Caption) << name;
        EXPECT_EQ(form->statusBar()->currentMessage(), "Project saved: " + file) << name;
    }
    EXPECT_TRUE(prompts.FileRequests.size() == 1u); // only the cover's: the name was known

    prompts.Answers.push_back(QMessageBox::No);
    form->NewProjectClicked();
    EXPECT_EQ(form->windowTitle(), Caption);
    EXPECT_TRUE(prompts.Asked.filter(QStringLiteral("ask:")).isEmpty()); // saved: nothing to ask
}

TEST_F(ProjectSafetyTest, SaveAsOverACoverIsRefusedAndAsksAgain)
{
    Start();
    ShowAndWaitForGL();
    const QString red = WritePicture(QStringLiteral("red.bmp"), {40, 30}, Qt::red, Qt::red);
    const QString file = WriteProject(QStringLiteral("shop.pcf"), red);
    ASSERT_TRUE(form->OpenProjectFile(file));
    WaitForCovers();
    const QByteArray cover = Read(red);

    // The cover (through another spelling), then a name of its own.
    const QString other = Path(QStringLiteral("copy.pcf"));
    prompts.Files = {Path(QStringLiteral("./red.bmp")), other};
    form->SaveProjectAsClicked();
    EXPECT_EQ(Read(red), cover);
    const QStringList told = prompts.Asked.filter(QStringLiteral("tell:"));
    ASSERT_EQ(told.size(), 1) << prompts.Asked.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(told[0].contains(QStringLiteral("is the front cover"))) << told[0].toStdString();
    ASSERT_EQ(prompts.FileRequests.size(), 2u);
    EXPECT_EQ(prompts.FileRequests[1].FileName, Path(QStringLiteral("./red.bmp"))); // asked again, as typed
    EXPECT_EQ(form->statusBar()->currentMessage(), "Project saved: " + QDir::toNativeSeparators(other));
    EXPECT_EQ(form->windowTitle(), "copy.pcf - " + Caption);

    // Cancelled after a refusal: the project keeps its name and nothing is written.
    prompts.Files = {red, QString()};
    form->SaveProjectAsClicked();
    EXPECT_EQ(Read(red), cover);
    EXPECT_EQ(form->windowTitle(), "copy.pcf - " + Caption);
}

TEST_F(ProjectSafetyTest, NewOpenAndClosingAskOnlyWhenThereAreChanges)
{
    Start();
    ShowAndWaitForGL();
    const QString file = WriteProject(QStringLiteral("one.pcf"), QString());
    const QString other = WriteProject(QStringLiteral("two.pcf"), QString());
    ASSERT_TRUE(form->OpenProjectFile(file));
    const auto asked = [&] { return prompts.Asked.filter(QStringLiteral("ask:Saving the project first?")).size(); };

    // Unchanged: none of them asks.
    prompts.Files.push_back(other);
    form->OpenProjectClicked();
    EXPECT_EQ(form->ProjectFile(), other);
    form->NewProjectClicked();
    EXPECT_EQ(form->ProjectFile(), "");
    EXPECT_EQ(asked(), 0);

    // Cancel keeps everything, for each of them.
    ASSERT_TRUE(form->OpenProjectFile(file));
    ui::depthBar(*form)->setValue(61);
    for (const char* command : {"new", "open", "close"}) {
        prompts.Answers.push_back(QMessageBox::Cancel);
        const int before = asked();
        if (QByteArray(command) == "new") {
            form->NewProjectClicked();
        } else if (QByteArray(command) == "open") {
            prompts.Files.push_back(other);
            form->OpenProjectClicked();
            prompts.Files.clear();
        } else {
            QCloseEvent close;
            QApplication::sendEvent(form.get(), &close);
            EXPECT_FALSE(close.isAccepted());
            EXPECT_TRUE(form->isVisible());
        }
        EXPECT_EQ(asked(), before + 1) << command;
        EXPECT_EQ(form->ProjectFile(), file) << command;
        EXPECT_EQ(ui::depthBar(*form)->value(), 61) << command;
        EXPECT_EQ(form->windowTitle(), "one.pcf* - " + Caption) << command;
    }

    // Yes saves first, then opens.
    prompts.Answers.push_back(QMessageBox::Yes);
    prompts.Files.push_back(other);
    form->OpenProjectClicked();
    EXPECT_EQ(DecodeProject(Read(file)).Depth, 61);
    EXPECT_EQ(form->ProjectFile(), other);

    // No drops the changes and closes.
    ui::depthBar(*form)->setValue(62);
    prompts.Answers.push_back(QMessageBox::No);
    QCloseEvent close;
    QApplication::sendEvent(form.get(), &close);
    EXPECT_TRUE(close.isAccepted());
    EXPECT_NE(DecodeProject(Read(other)).Depth, 62);
}

} // namespace
