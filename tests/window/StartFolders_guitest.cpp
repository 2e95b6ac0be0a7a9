// Where the cover, project and result dialogs open: where the last pick was,
// kept across starts, else in the user's pictures (or home) for covers and
// pictures and in the user's documents (or home) for projects; never the
// program's folder, where nothing is made.
#include "window/WindowFixture.h"

#include "formats/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

struct StartFoldersTest : WindowFixture {
    QByteArray oldHome = qgetenv("HOME");
    QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    QString home;

    void SetUp() override
    {
        // A home of the test's own, without the user's folder names.
        home = Path(QStringLiteral("own-home"));
        ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Pictures")));
        qputenv("HOME", home.toUtf8());
        qputenv("XDG_CONFIG_HOME", (home + QStringLiteral("/.config")).toUtf8());
    }

    void TearDown() override
    {
        form.reset(); // its preferences are written with the test's home still set
        qputenv("HOME", oldHome);
        qputenv("XDG_CONFIG_HOME", oldConfig);
    }

    static QString Folder(const QString& path) { return QDir::toNativeSeparators(path) + QDir::separator(); }

    // The folder the next cover dialog of an empty slot starts in.
    QString CoverDialogFolder(int slot)
    {
        prompts.Files.push_back(QString()); // cancelled
        form->SelectCoverImage(slot, false);
        return prompts.FileRequests.back().StartFolder;
    }

    QString OpenDialogFolder()
    {
        prompts.Files.push_back(QString());
        form->OpenProjectClicked();
        return prompts.FileRequests.back().StartFolder;
    }

    void Restart()
    {
        form.reset();
        Start();
    }
};

TEST_F(StartFoldersTest, CoversStartInPicturesThenWhereTheLastPickWas)
{
    Start();
    EXPECT_EQ(CoverDialogFolder(FrontBack), Folder(home + QStringLiteral("/Pictures")));

    QDir().mkpath(Path(QStringLiteral("art")));
    const QString picture = WritePicture(QStringLiteral("art/front.bmp"), {16, 16}, Qt::red, Qt::red);
    PickCover(FrontBack, picture);
    EXPECT_EQ(CoverDialogFolder(TopBottom), Folder(Path(QStringLiteral("art"))));
    Restart();
    EXPECT_EQ(CoverDialogFolder(TopBottom), Folder(Path(QStringLiteral("art"))));

    // A remembered folder that is gone, then no pictures folder either.
    ASSERT_TRUE(QDir(Path(QStringLiteral("art"))).removeRecursively());
    EXPECT_EQ(CoverDialogFolder(TopBottom), Folder(home + QStringLiteral("/Pictures")));
    ASSERT_TRUE(QDir(home + QStringLiteral("/Pictures")).removeRecursively());
    EXPECT_EQ(CoverDialogFolder(TopBottom), Folder(home));
}

TEST_F(StartFoldersTest, TheProgramsFolderStoredByEarlierVersionsIsNoPick)
{
    Start();
    form.reset();
    Store(QStringLiteral("Preference/Data Folder"), Folder(dir.path()));
    Start();
    EXPECT_EQ(CoverDialogFolder(FrontBack), Folder(home + QStringLiteral("/Pictures")));
}

TEST_F(StartFoldersTest, ProjectsStartInDocumentsThenWhereTheLastWasOpened)
{
    ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Documents")));
    Start();
    const QString projects = Folder(home + QStringLiteral("/Documents"));
    EXPECT_EQ(OpenDialogFolder(), projects);

    QDir().mkpath(Path(QStringLiteral("jobs")));
    const QString file = QDir::toNativeSeparators(Path(QStringLiteral("jobs/box.pcf")));
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(EncodeProject(DecodeProject(EncodeProject(ProjectData{}))));
    f.close();
    prompts.Files.push_back(file);
    form->OpenProjectClicked();
    ASSERT_EQ(form->ProjectFile(), file);
    EXPECT_EQ(OpenDialogFolder(), Folder(Path(QStringLiteral("jobs"))));
    Restart();
    EXPECT_EQ(OpenDialogFolder(), Folder(Path(QStringLiteral("jobs"))));

    ASSERT_TRUE(QDir(Path(QStringLiteral("jobs"))).removeRecursively());
    EXPECT_EQ(OpenDialogFolder(), projects);
    // Write's folder is the user's pictures.
    EXPECT_EQ(form->Document().OutputFolder(), Folder(home + QStringLiteral("/Pictures")));
}

TEST_F(StartFoldersTest, NothingIsMadeBesideTheProgramAndStoredFoldersThatExistStay)
{
    ASSERT_TRUE(QDir(home + QStringLiteral("/Pictures")).removeRecursively());
    Start(); // neither Pictures nor Documents: home, and nothing is made
    EXPECT_EQ(form->Document().OutputFolder(), Folder(home));
    EXPECT_EQ(OpenDialogFolder(), Folder(home));
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/Documents")));
    // An earlier version's folders beside the program, stored and still there.
    form.reset();
    QDir().mkpath(Path("Output"));
    Store(QStringLiteral("Preference/Output Folder"), Folder(Path(QStringLiteral("Output"))));
    Start();
    EXPECT_EQ(form->Document().OutputFolder(), Folder(Path(QStringLiteral("Output"))));
}

} // namespace
