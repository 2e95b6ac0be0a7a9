#include "formats/ProjectError.h"
#include "formats/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct ProjectSaveTest : ::testing::Test {
    QTemporaryDir dir;
    QString PathOf(const QString& name) const { return dir.filePath(name); }

    static void Write(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    static QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }

    QStringList Entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

// Permission bits do not stop the superuser.
bool PermissionsApply() { return ::geteuid() != 0; }

const QByteArray OldProject = QByteArray("old project bytes\0\x01\x02", 20);

TEST_F(ProjectSaveTest, WritesAndReplacesWithoutLeftovers)
{
    const QString path = PathOf(QStringLiteral("box.pcf"));
    const QByteArray first = EncodeProject(ProjectData{});
    ASSERT_TRUE(SaveProjectFile(path, first));
    EXPECT_EQ(Read(path), first);

    ProjectData changed;
    changed.OutputFolder = QStringLiteral("/elsewhere/");
    const QByteArray second = EncodeProject(changed);
    ASSERT_TRUE(SaveProjectFile(path, second));
    EXPECT_EQ(Read(path), second);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("box.pcf")});

    const auto loaded = LoadProjectBytes(path);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(DecodeProject(*loaded), changed);
}

TEST_F(ProjectSaveTest, FolderAtThePathIsInUseAndStays)
{
    const QString path = PathOf(QStringLiteral("folder.pcf"));
    ASSERT_TRUE(QDir().mkdir(path));
    Write(path + QStringLiteral("/inside"), OldProject);
    EXPECT_FALSE(SaveProjectFile(path, EncodeProject(ProjectData{})));
    EXPECT_EQ(Read(path + QStringLiteral("/inside")), OldProject);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("folder.pcf")});
}

TEST_F(ProjectSaveTest, WriteProtectedFileIsInUseAndStaysByteIdentical)
{
    if (!PermissionsApply())
        GTEST_SKIP() << "running as superuser";
    const QString path = PathOf(QStringLiteral("locked.pcf"));
    Write(path, OldProject);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner));
    EXPECT_FALSE(SaveProjectFile(path, EncodeProject(ProjectData{})));
    EXPECT_EQ(Read(path), OldProject);
}

TEST_F(ProjectSaveTest, ReadOnlyFolderKeepsTheOldFile)
{
    if (!PermissionsApply())
        GTEST_SKIP() << "running as superuser";
    const QString path = PathOf(QStringLiteral("kept.pcf"));
    Write(path, OldProject);
    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    const bool saved = SaveProjectFile(path, EncodeProject(ProjectData{}));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(saved);
    EXPECT_EQ(Read(path), OldProject);
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("kept.pcf")});

    ASSERT_TRUE(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner));
    try {
        SaveProjectFile(PathOf(QStringLiteral("new.pcf")), OldProject);
        ADD_FAILURE() << "saved into a read-only folder";
    } catch (const ProjectError& e) {
        EXPECT_EQ(e.kind(), ProjectError::Kind::CannotCreate);
    }
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// A file the system will not let anyone replace, whoever runs the test.
TEST_F(ProjectSaveTest, SystemFileIsInUseAndUntouched)
{
    const QString path = QStringLiteral("/proc/version");
    if (!QFile::exists(path))
        GTEST_SKIP() << "no /proc";
    const QByteArray before = Read(path);
    EXPECT_FALSE(SaveProjectFile(path, EncodeProject(ProjectData{})));
    EXPECT_EQ(Read(path), before);
}

TEST_F(ProjectSaveTest, FileThatCannotBeCreatedIsAnError)
{
    Write(PathOf(QStringLiteral("plain")), OldProject);
    for (const QString& path : {PathOf(QStringLiteral("missing/sub/box.pcf")),
                                PathOf(QStringLiteral("plain/box.pcf"))}) {
        try {
            SaveProjectFile(path, OldProject);
            ADD_FAILURE() << "saved to " << path.toStdString();
        } catch (const ProjectError& e) {
            EXPECT_EQ(e.kind(), ProjectError::Kind::CannotCreate);
            EXPECT_TRUE(e.Text().startsWith(QStringLiteral("Cannot create file ") + path))
                << e.Text().toStdString();
        }
    }
    EXPECT_EQ(Read(PathOf(QStringLiteral("plain"))), OldProject);
}

TEST(ProjectTextsTest, InUseMessage)
{
    EXPECT_EQ(FileInUseText(QStringLiteral("/p/a.pcf")),
              QStringLiteral("Can not overwrite. File /p/a.pcf is in use."));
}

TEST_F(ProjectSaveTest, LoadingMissingOrNonFilePathsGivesNothing)
{
    EXPECT_FALSE(LoadProjectBytes(PathOf(QStringLiteral("none.pcf"))).has_value());
    EXPECT_FALSE(LoadProjectBytes(dir.path()).has_value());
    const QString empty = PathOf(QStringLiteral("empty.pcf"));
    Write(empty, QByteArray());
    const auto bytes = LoadProjectBytes(empty);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_TRUE(bytes->isEmpty());
}

TEST_F(ProjectSaveTest, OversizedFileIsRefused)
{
    const QString path = PathOf(QStringLiteral("huge.pcf"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(MaxProjectFileSize + 1)); // sparse
    }
    try {
        LoadProjectBytes(path);
        ADD_FAILURE() << "read an oversized file";
    } catch (const ProjectError& e) {
        EXPECT_EQ(e.kind(), ProjectError::Kind::CannotRead);
        EXPECT_TRUE(e.Text().contains(path));
    }
}

TEST_F(ProjectSaveTest, UnreadableFileIsAnError)
{
    if (!PermissionsApply())
        GTEST_SKIP() << "running as superuser";
    const QString path = PathOf(QStringLiteral("secret.pcf"));
    Write(path, OldProject);
    ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
    EXPECT_THROW(LoadProjectBytes(path), ProjectError);
}

} // namespace
