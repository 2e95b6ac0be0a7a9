// Replacing a file in one step: what a failure leaves behind and how it is
// worded. Failures are made without permission bits (the tests may run as
// the superuser): a file where a folder should be, a folder where the file
// should be, a file size limit, a full device.
#include "formats/AtomicFile.h"
#include "support/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

struct AtomicFile : TempFiles {
    QStringList Entries() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
    }
    // The failure WriteFileAtomically reports, or none.
    std::optional<FileWriteError> Failure(const QString& path, const QByteArray& bytes) const
    {
        try {
            WriteFileAtomically(path, bytes);
        } catch (const FileWriteError& e) {
            return e;
        }
        return std::nullopt;
    }
};

// Writes beyond `bytes` fail with "File too large" while it lives.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, SIG_IGN); // the write fails instead of ending the process
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old_); }

private:
    rlimit old_{};
};

bool IsCharacterDevice(const char* path)
{
    struct stat info {};
    return lstat(path, &info) == 0 && S_ISCHR(info.st_mode);
}

TEST_F(AtomicFile, WritesAndReplacesLeavingNothingElse)
{
    const QString path = Path(QStringLiteral("a.bin"));
    WriteFileAtomically(path, "first");
    EXPECT_EQ(Read(path), "first");
    WriteFileAtomically(path, "second, longer");
    EXPECT_EQ(Read(path), "second, longer");
    WriteFileAtomically(path, QByteArray());
    EXPECT_EQ(Read(path), "");
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("a.bin")});
}

TEST_F(AtomicFile, AFailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    const QString path = Path(QStringLiteral("kept.png"));
    Write(path, "old picture");
    std::optional<FileWriteError> failure;
    {
        const FileSizeLimit limit(4096);
        failure = Failure(path, QByteArray(64 * 1024, 'x'));
    }
    ASSERT_TRUE(failure);
    EXPECT_EQ(failure->FailedStep(), FileWriteError::Step::Write);
    EXPECT_EQ(QString::fromUtf8(failure->what()), path + ": cannot be written (File too large)");
    EXPECT_EQ(Read(path), "old picture");
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("kept.png")});
}

TEST_F(AtomicFile, MissingFoldersAndFoldersInTheWayAreRefusedWithTheirWords)
{
    Write(Path(QStringLiteral("plain")), "a file, not a folder");
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("taken.jpg/inside")));
    const struct {
        QString path;
        FileWriteError::Step step;
        QString reason;
        QString text;
    } cases[] = {
        {Path(QStringLiteral("missing/a.jpg")), FileWriteError::Step::NoFolder, QStringLiteral("No such file or directory"),
         Path(QStringLiteral("missing/a.jpg: the folder does not exist"))},
        {Path(QStringLiteral("plain/a.jpg")), FileWriteError::Step::NoFolder, QStringLiteral("Not a directory"),
         Path(QStringLiteral("plain/a.jpg: the folder does not exist"))},
        {Path(QStringLiteral("taken.jpg")), FileWriteError::Step::IsFolder, QStringLiteral("Is a directory"),
         Path(QStringLiteral("taken.jpg: is a folder"))},
    };
    for (const auto& c : cases) {
        const std::optional<FileWriteError> failure = Failure(c.path, "bytes");
        ASSERT_TRUE(failure) << c.path.toStdString();
        EXPECT_EQ(failure->FailedStep(), c.step) << c.path.toStdString();
        EXPECT_EQ(failure->Reason(), c.reason);
        EXPECT_EQ(failure->Path(), c.path);
        EXPECT_EQ(QString::fromUtf8(failure->what()), c.text);
    }
    EXPECT_EQ(Read(Path(QStringLiteral("plain"))), "a file, not a folder");
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("taken.jpg/inside"))));
    EXPECT_EQ(Entries(), (QStringList{QStringLiteral("plain"), QStringLiteral("taken.jpg")}));
}

TEST_F(AtomicFile, ALinkIsFollowedAndStays)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("real")));
    const QString target = Path(QStringLiteral("real/shot.png"));
    Write(target, "old");
    ASSERT_TRUE(QFile::link(target, Path(QStringLiteral("link.png"))));
    WriteFileAtomically(Path(QStringLiteral("link.png")), "new");
    EXPECT_TRUE(QFileInfo(Path(QStringLiteral("link.png"))).isSymLink());
    EXPECT_EQ(Read(target), "new");
    EXPECT_EQ(QDir(Path(QStringLiteral("real"))).entryList(QDir::Files | QDir::Hidden), QStringList{"shot.png"});

    // A link to a file not there yet makes it.
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("real/later.png")), Path(QStringLiteral("ahead.png"))));
    WriteFileAtomically(Path(QStringLiteral("ahead.png")), "made");
    EXPECT_EQ(Read(Path(QStringLiteral("real/later.png"))), "made");
}

TEST_F(AtomicFile, AReplacedFileKeepsItsPermissions)
{
    const QString path = Path(QStringLiteral("private.pcf"));
    Write(path, "old");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    const QFile::Permissions before = QFile::permissions(path);
    ASSERT_FALSE(before & QFile::ReadOther);
    WriteFileAtomically(path, "new");
    EXPECT_EQ(Read(path), "new");
    EXPECT_EQ(QFile::permissions(path), before);
}

// A device is written into, never replaced: renaming over it would take a
// system file away.
TEST_F(AtomicFile, DevicesAreWrittenIntoAndStayDevices)
{
    if (!IsCharacterDevice("/dev/full") || !IsCharacterDevice("/dev/null"))
        GTEST_SKIP() << "needs /dev/full and /dev/null";
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Path(QStringLiteral("full.bmp"))));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/null"), Path(QStringLiteral("null.bmp"))));
    const std::optional<FileWriteError> full = Failure(Path(QStringLiteral("full.bmp")), QByteArray(10000, 'x'));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->FailedStep(), FileWriteError::Step::Write);
    EXPECT_EQ(full->Reason(), QStringLiteral("No space left on device"));
    EXPECT_FALSE(Failure(Path(QStringLiteral("null.bmp")), "nothing"));
    EXPECT_TRUE(IsCharacterDevice("/dev/full"));
    EXPECT_TRUE(IsCharacterDevice("/dev/null"));
    EXPECT_EQ(Entries(), (QStringList{QStringLiteral("full.bmp"), QStringLiteral("null.bmp")}));
}

// The number of a process that has just ended.
pid_t EndedProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

TEST_F(AtomicFile, OnlyUnlockedTemporariesForTheGivenNamesAreCleared)
{
    // Whatever the process number and the age: a number still in use may
    // be another process's now (every process of a container may be 1).
    const pid_t ended = EndedProcess();
    const auto temporary = [&](const QString& name, qint64 pid, bool old) {
        const QString path = Path(QStringLiteral(".%1.%2-0.part").arg(name).arg(pid));
        Write(path, "half a picture");
        if (old) {
            const utimbuf times{time(nullptr) - 3600, time(nullptr) - 3600};
            utime(QFile::encodeName(path).constData(), &times);
        }
        return QFileInfo(path).fileName();
    };
    const QStringList abandoned = {
        temporary(QStringLiteral("a.png"), ended, true),
        temporary(QStringLiteral("b.1-2.png"), ended, true),
        temporary(QStringLiteral("c.png"), ended, false),
        temporary(QStringLiteral("d.png"), getppid(), true), // a number in use, by another process now
        temporary(QStringLiteral("f.png"), getpid(), false), // a killed earlier process with this number
        temporary(QStringLiteral("g.png"), 1, false),
    };
    const QString notOurs = temporary(QStringLiteral("e.png"), ended, true); // not one of the names
    const QString written = temporary(QStringLiteral("h.png"), ended, true); // a writer holds it
    const int writer = ::open(QFile::encodeName(Path(written)).constData(), O_RDONLY);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(::flock(writer, LOCK_EX), 0);
    Write(Path(QStringLiteral(".a.png.part")), "not a temporary of ours");
    Write(Path(QStringLiteral("a.png")), "the picture");

    const QSet<QString> names = {QStringLiteral("a.png"), QStringLiteral("b.1-2.png"), QStringLiteral("c.png"),
                                 QStringLiteral("d.png"), QStringLiteral("f.png"),     QStringLiteral("g.png"),
                                 QStringLiteral("h.png")};
    EXPECT_EQ(RemoveAbandonedTemporaries(dir.path(), names), 6);
    const QStringList left = Entries();
    for (const QString& name : abandoned)
        EXPECT_FALSE(left.contains(name)) << name.toStdString();
    for (const QString& name : {notOurs, written, QStringLiteral(".a.png.part"), QStringLiteral("a.png")})
        EXPECT_TRUE(left.contains(name)) << name.toStdString();
    ::close(writer);
    EXPECT_EQ(RemoveAbandonedTemporaries(dir.path(), names), 1); // let go: now it is abandoned
    EXPECT_EQ(RemoveAbandonedTemporaries(Path(QStringLiteral("no such folder")), names), 0);
}

TEST_F(AtomicFile, AFileBeingWrittenIsLockedUntilItHasItsName)
{
    const QString path = Path(QStringLiteral("shot.png"));
    Write(path, "old");
    QString seen;
    int cleared = -1;
    WriteFileAtomically(path, "new picture", [&](const QString& temporary) {
        seen = temporary;
        EXPECT_EQ(TempFiles::Read(temporary), QByteArray("new picture"));
        cleared = RemoveAbandonedTemporaries(dir.path(), {QStringLiteral("shot.png")});
    });
    EXPECT_EQ(cleared, 0);
    EXPECT_TRUE(seen.startsWith(Path(QStringLiteral(".shot.png."))) && seen.endsWith(QStringLiteral(".part")))
        << seen.toStdString();
    EXPECT_EQ(Read(path), QByteArray("new picture"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("shot.png")});

    // A step that fails before the rename leaves the old file and no temporary.
    EXPECT_THROW(WriteFileAtomically(path, "newer", [](const QString&) { throw std::runtime_error("no"); }),
                 std::runtime_error);
    EXPECT_EQ(Read(path), QByteArray("new picture"));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("shot.png")});
}

} // namespace
