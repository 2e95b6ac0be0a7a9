#include "window/WindowFixture.h"

#include "formats/ProjectFile.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QLabel>
#include <QScrollBar>
#include <QSpinBox>

namespace {

struct ProjectCommandsTest : WindowFixture {
    QByteArray Read(const QString& file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // Every value a project holds, as the window shows it.
    QList<QVariant> State()
    {
        return {ui::sizeModeBox(*form)->currentIndex(), ui::surroundingBox(*form)->currentIndex(),
                ui::formBox(*form)->currentIndex(),  form->Params().BackgroundRed,
                ui::resultWidthBar(*form)->value(),   ui::resultHeightBar(*form)->value(),
                ui::widthBar(*form)->value(),        ui::heightBar(*form)->value(),
                ui::thicknessBar(*form)->value(),        ui::depthBar(*form)->value(),
                ui::verticalBar(*form)->value(),     ui::horizontalBar(*form)->value(),
                ui::turnBar(*form)->value(),         ui::eyeAngleBox(*form)->value(),
                form->Params().SideAngle,      form->Params().TiltAngle,
                form->Document().OutputFolder(),     form->Document().Cover(0).Path,
                form->Params().FogMode,        form->Params().HalfWidth};
    }

    void ChangeEverything()
    {
        ui::formBox(*form)->setCurrentIndex(7);
        form->FormChosen();
        ui::surroundingBox(*form)->setCurrentIndex(2);
        form->SurroundingChosen();
        ui::sizeModeBox(*form)->setCurrentIndex(0);
        form->SizeModeChosen();
        ui::resultWidthBar(*form)->setValue(77);
        ui::resultHeightBar(*form)->setValue(55);
        ui::widthBar(*form)->setValue(12);
        ui::heightBar(*form)->setValue(99);
        ui::thicknessBar(*form)->setValue(3);
        ui::depthBar(*form)->setValue(70);
        ui::verticalBar(*form)->setValue(-250);
        ui::horizontalBar(*form)->setValue(-129);
        ui::turnBar(*form)->setValue(-1800);
        ui::eyeAngleBox(*form)->setValue(59);
        form->Document().SetAngles(-12.5f, 300.25f);
        form->Document().SetOutputFolder(QStringLiteral("/tmp/somewhere/"));
    }
};

TEST_F(ProjectCommandsTest, SaveAsksForANameOnceThenWritesSilently)
{
    Start();
    const QString file = Path("box.pcf");
    prompts.Files.push_back(file);
    form->SaveProjectClicked();
    ASSERT_EQ(prompts.FileRequests.size(), 1u);
    const FileDialogRequest& request = prompts.FileRequests.front();
    EXPECT_EQ(request.Title, "Save project as");
    EXPECT_EQ(request.Filter, "Project Cubiform (*.pcf)|*.pcf|All files|*.*");
    EXPECT_EQ(request.DefaultSuffix, ".pcf");
    EXPECT_TRUE(request.ConfirmOverwrite);
    EXPECT_EQ(request.StartFolder, Path("home/Documents/"));
    EXPECT_EQ(form->ProjectFile(), file);
    EXPECT_EQ(ui::projectLabel(*form)->text(), "box.pcf");
    EXPECT_EQ(form->RememberedFolders().ProjectFolder, dir.path() + "/");
    EXPECT_EQ(Read(file).left(2), QByteArray::fromHex("020B"));

    ui::depthBar(*form)->setValue(66);
    form->SaveProjectClicked();
    EXPECT_EQ(prompts.FileRequests.size(), 1u); // no second dialog
    EXPECT_EQ(DecodeProject(Read(file)).Depth, 66);
}

TEST_F(ProjectCommandsTest, SaveThenOpenReproducesEveryControl)
{
    Start();
    ChangeEverything();
    const QList<QVariant> saved = State();
    const QString file = Path("all.pcf");
    ASSERT_TRUE(form->SaveProject(file));
    EXPECT_FALSE(form->DrawingSuspended());

    form.reset();
    Start();
    prompts.Files.push_back(file);
    form->OpenProjectClicked();
    EXPECT_EQ(prompts.FileRequests.back().Filter, "Project Cubiform (*.pcf)|*.pcf");
    EXPECT_EQ(State(), saved);
    EXPECT_EQ(ui::projectLabel(*form)->text(), "all.pcf");
    EXPECT_EQ(form->ProjectFile(), file);
    EXPECT_EQ(form->StatusText(0), "Side angle = -12");
    EXPECT_FALSE(form->DrawingSuspended());
}

TEST_F(ProjectCommandsTest, AnOpenedProjectsFullTurnIsShownSavedAndSaidWrapped)
{
    Start();
    ShowAndWaitForGL();
    const QString file = Path("turned.pcf");
    form->Document().SetAngles(400.0f, 12.5f); // as a project may store it
    ASSERT_TRUE(form->SaveProject(file));
    form->Document().SetAngles(0.0f, 12.5f);
    const QImage atZero = Frame();

    ASSERT_TRUE(form->OpenProjectFile(file));
    // What the view shows, the status bar says and a save writes agree.
    EXPECT_EQ(form->Params().SideAngle, 0.0f);
    EXPECT_EQ(form->Params().TiltAngle, 12.5f);
    EXPECT_EQ(form->StatusText(0), "Side angle = 0");
    EXPECT_EQ(Frame(), atZero);
    ASSERT_TRUE(form->SaveProject(file));
    EXPECT_EQ(DecodeProject(Read(file)).SideAngle, 0.0f);
}

TEST_F(ProjectCommandsTest, NewerVersionIsRefusedAndNothingChanges)
{
    Start();
    QByteArray bytes = EncodeProject(ProjectData{});
    bytes[1] = 12;
    QFile f(Path("new.pcf"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    const QList<QVariant> before = State();
    prompts.Files.push_back(Path("new.pcf"));
    form->OpenProjectClicked();
    EXPECT_TRUE(prompts.Asked.contains("tell:File version is higher than than the program's. Get an update."));
    EXPECT_EQ(State(), before);
    EXPECT_EQ(ui::projectLabel(*form)->text(), "");
    EXPECT_EQ(form->ProjectFile(), ""); // a later Save must not overwrite that file
}

TEST_F(ProjectCommandsTest, TruncatedFilesLeaveTheWindowExactlyAsItWas)
{
    Start();
    ChangeEverything();
    const QString good = Path("good.pcf");
    ASSERT_TRUE(form->SaveProject(good));
    form.reset();
    Start();
    const QByteArray bytes = Read(good);
    const QList<QVariant> before = State();
    const int size = static_cast<int>(bytes.size());
    for (int length : {1, 2, 9, size / 2, size - 1}) {
        QFile f(Path("cut.pcf"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes.left(length));
        f.close();
        EXPECT_FALSE(form->LoadProject(Path("cut.pcf"))) << length;
        EXPECT_EQ(State(), before) << length;
    }
    EXPECT_TRUE(prompts.Asked.last().contains("Stream read error"));
    EXPECT_FALSE(form->DrawingSuspended());
    EXPECT_FALSE(form->LoadProject(Path("missing.pcf")));
}

TEST_F(ProjectCommandsTest, AFailedSaveKeepsTheOldFile)
{
    Start();
    const QString file = Path("keep.pcf");
    ASSERT_TRUE(form->SaveProject(file));
    const QByteArray original = Read(file);
    ui::depthBar(*form)->setValue(70);
    // A folder where the file should be cannot be replaced.
    QDir(dir.path()).mkdir("taken.pcf");
    EXPECT_FALSE(form->SaveProject(Path("taken.pcf")));
    EXPECT_TRUE(prompts.Asked.last().startsWith("tell:Can not overwrite. File "));
    EXPECT_TRUE(prompts.Asked.last().endsWith("taken.pcf is in use."));
    EXPECT_EQ(Read(file), original);
    EXPECT_FALSE(form->DrawingSuspended());
}

TEST_F(ProjectCommandsTest, SaveAsCancelledKeepsTheName)
{
    Start();
    prompts.Files.push_back(Path("one.pcf"));
    form->SaveProjectClicked();
    prompts.Files.push_back(QString()); // cancel
    form->SaveProjectAsClicked();
    EXPECT_EQ(form->ProjectFile(), Path("one.pcf"));
    prompts.Files.push_back(Path("two.pcf"));
    form->SaveProjectAsClicked();
    EXPECT_EQ(form->ProjectFile(), Path("two.pcf"));
    EXPECT_EQ(ui::projectLabel(*form)->text(), "two.pcf");
    EXPECT_TRUE(QFileInfo::exists(Path("two.pcf")));
}

TEST_F(ProjectCommandsTest, NewAnsweredNoResetsWithoutWriting)
{
    Start();
    ShowAndWaitForGL();
    prompts.Files.push_back(Path("old.pcf"));
    form->SaveProjectClicked();
    ChangeEverything();
    const QByteArray saved = Read(Path("old.pcf"));
    prompts.Answers.push_back(QMessageBox::No);
    form->NewProjectClicked();
    EXPECT_TRUE(prompts.Asked.contains("ask:Saving the project first?"));
    EXPECT_EQ(Read(Path("old.pcf")), saved);
    EXPECT_EQ(form->ProjectFile(), "");
    EXPECT_EQ(ui::projectLabel(*form)->text(), "");
    EXPECT_EQ(ui::sizeModeBox(*form)->currentIndex(), 1);
    EXPECT_EQ(ui::formBox(*form)->currentIndex(), 0);
    EXPECT_EQ(ui::surroundingBox(*form)->currentIndex(), 0);
    EXPECT_EQ(ui::widthBar(*form)->value(), 50);
    EXPECT_EQ(ui::eyeAngleBox(*form)->value(), 40); // the first kind's eye angle
    EXPECT_EQ(ui::resultWidthBar(*form)->value(), 300);
    EXPECT_EQ(form->Params().BackgroundBlue, 1.0f);
    EXPECT_EQ(form->CoverSlots()[0].Thumbnail.size(), QSize(80, 100));
}

TEST_F(ProjectCommandsTest, NewAnsweredYesThenCancelledKeepsTheProject)
{
    Start();
    ChangeEverything();
    const QList<QVariant> before = State();
    prompts.Answers.push_back(QMessageBox::Yes);
    prompts.Files.push_back(QString());
    form->NewProjectClicked();
    EXPECT_EQ(State(), before);
}

TEST_F(ProjectCommandsTest, ProjectGivenAtStartOpensOnceTheViewIsReady)
{
    Start();
    ChangeEverything();
    ASSERT_TRUE(form->SaveProject(Path("start.pcf")));
    const QList<QVariant> saved = State();
    form.reset();
    Start();
    form->OpenProjectAtStart(Path("start.pcf"));
    ShowAndWaitForGL();
    ASSERT_TRUE(QTest::qWaitFor([&] { return ui::projectLabel(*form)->text() == "start.pcf"; }, 3000));
    EXPECT_EQ(State(), saved);
}

} // namespace

namespace {

// A relative cover path is read from the project's folder, whatever folder
// the program runs in, and a re-saved project keeps the path as it read it
// unless a new cover was picked.
TEST_F(ProjectCommandsTest, RelativeCoverPathsAreReadFromTheProjectsFolderAndKeptAsStored)
{
    Start();
    ShowAndWaitForGL();
    QDir(dir.path()).mkpath(QStringLiteral("shots/art"));
    WritePicture(QStringLiteral("shots/art/front.bmp"), {40, 30}, Qt::red, Qt::blue);
    ProjectData data = DecodeProject(EncodeProject(ProjectData{}));
    data.SizeClass = 1;
    data.ImageWidth = data.ImageHeight = 300;
    data.FrontBack = QStringLiteral("art/front.bmp");
    data.TopBottom = QStringLiteral("art/missing.bmp");
    const QString project = Path(QStringLiteral("shots/box.pcf"));
    {
        QFile f(project);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(EncodeProject(data));
    }
    // The working folder is elsewhere: the old rule read "art/front.bmp" from here.
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QDir::tempPath()));
    const struct Back {
        QString folder;
        ~Back() { QDir::setCurrent(folder); }
    } back{before};

    ASSERT_TRUE(form->OpenProjectFile(project));
    WaitForCovers();
    EXPECT_EQ(form->Document().Cover(FrontBack).Path, "art/front.bmp");
    EXPECT_EQ(form->CoverSlots()[FrontBack].Thumbnail.pixelColor(0, 0), QColor(Qt::red));
    // The missing one is said once, by the file it names.
    EXPECT_TRUE(form->statusBar()->currentMessage().contains(QDir::toNativeSeparators(Path("shots/art/missing.bmp"))))
        << form->statusBar()->currentMessage().toStdString();

    const QString again = Path(QStringLiteral("again.pcf"));
    ASSERT_TRUE(form->SaveProject(again));
    ProjectData saved = DecodeProject(Read(again));
    EXPECT_EQ(saved.FrontBack, "art/front.bmp");
    EXPECT_EQ(saved.TopBottom, "art/missing.bmp");

    // A new pick is stored in full.
    PickCover(FrontBack, WritePicture(QStringLiteral("new.bmp"), {40, 30}, Qt::green, Qt::green));
    ASSERT_TRUE(form->SaveProject(again));
    saved = DecodeProject(Read(again));
    EXPECT_EQ(saved.FrontBack, QDir::toNativeSeparators(Path("new.bmp")));
    EXPECT_EQ(saved.TopBottom, "art/missing.bmp");
}

} // namespace
