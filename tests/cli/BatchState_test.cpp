// The record of what made each picture of a batch: what makes a row out of
// date, and what other writers and damaged files do to the record.
#include "cli/BatchState.h"
#include "formats/AtomicFile.h"
#include "support/TempFiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

struct BatchStateTest : TempFiles {
    QString cover = Path(QStringLiteral("cover.jpg"));
    QString project = Path(QStringLiteral("box.pcf"));
    QStringList arguments = {QStringLiteral("--size=90x90"), QStringLiteral("-o"), Path(QStringLiteral("out/a.png"))};

    void SetUp() override
    {
        Write(cover, "artwork");
        Write(project, "project");
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out")));
    }
    std::vector<JobFile> Inputs() const
    {
        return {{project, QStringLiteral("project")}, {cover, QStringLiteral("front cover")}};
    }
    // Writes a picture as a batch does, recording it just before the rename.
    void Draw(BatchState& state, const QString& output, const QString& fingerprint, const QByteArray& bytes = "picture")
    {
        WriteFileAtomically(output, bytes, [&](const QString& written) { state.Record(output, written, fingerprint); });
    }
    static void SetTime(const QString& path, const QDateTime& time)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(time, QFileDevice::FileModificationTime));
    }
};

TEST_F(BatchStateTest, EverythingThatMakesThePictureChangesItsFingerprint)
{
    BatchState state;
    const QString before = state.Fingerprint(arguments, Inputs());
    EXPECT_EQ(before, BatchState().Fingerprint(arguments, Inputs())); // the same in another process

    QStringList otherSize = arguments;
    otherSize[0] = QStringLiteral("--size=91x90");
    EXPECT_NE(state.Fingerprint(otherSize, Inputs()), before);

    // The content under the same size and time, then the time alone.
    const QDateTime time = QFileInfo(cover).lastModified();
    Write(cover, "ARTWORK");
    SetTime(cover, time);
    const QString content = BatchState().Fingerprint(arguments, Inputs());
    EXPECT_NE(content, before);
    SetTime(cover, time.addSecs(5));
    const QString touched = BatchState().Fingerprint(arguments, Inputs());
    EXPECT_NE(touched, content);

    const QDateTime projectTime = QFileInfo(project).lastModified();
    Write(project, "PROJECT");
    SetTime(project, projectTime);
    EXPECT_NE(BatchState().Fingerprint(arguments, Inputs()), touched);
    // A cover read from another row is hashed again once it has changed.
    const QString now = state.Fingerprint(arguments, Inputs());
    Write(cover, "changed again");
    EXPECT_NE(state.Fingerprint(arguments, Inputs()), now);
}

TEST_F(BatchStateTest, OnlyTheVeryPictureRecordedIsUpToDate)
{
    const QString output = Path(QStringLiteral("out/a.png"));
    const QString fingerprint = BatchState().Fingerprint(arguments, Inputs());
    {
        BatchState state;
        EXPECT_FALSE(state.UpToDate(output, fingerprint)); // nothing there
        Draw(state, output, fingerprint);
        state.Save();
    }
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("out/.cubiform-batch.json"))));
    EXPECT_TRUE(BatchState().UpToDate(output, fingerprint));
    EXPECT_FALSE(BatchState().UpToDate(output, fingerprint + QLatin1Char('0')));

    // Another file put in its place, even with the same bytes and time.
    const QDateTime time = QFileInfo(output).lastModified();
    QFile::remove(output);
    Write(output, "picture");
    SetTime(output, time);
    EXPECT_FALSE(BatchState().UpToDate(output, fingerprint));
}

TEST_F(BatchStateTest, WritersOfOneFolderKeepEachOthersRecords)
{
    // Two shards, each with its own state, writing into one folder in turns.
    const QString a = Path(QStringLiteral("out/a.png"));
    const QString b = Path(QStringLiteral("out/b.png"));
    BatchState first;
    BatchState second;
    EXPECT_FALSE(first.UpToDate(a, QStringLiteral("fa")));
    EXPECT_FALSE(second.UpToDate(b, QStringLiteral("fb")));
    Draw(first, a, QStringLiteral("fa"));
    Draw(second, b, QStringLiteral("fb"));
    first.Save();
    second.Save();
    BatchState resumed;
    EXPECT_TRUE(resumed.UpToDate(a, QStringLiteral("fa")));
    EXPECT_TRUE(resumed.UpToDate(b, QStringLiteral("fb")));
    EXPECT_TRUE(QFileInfo::exists(Path(QStringLiteral("out/.cubiform-batch.lock"))));
}

TEST_F(BatchStateTest, ADamagedOrUnwritableRecordOnlyMeansRedrawing)
{
    const QString output = Path(QStringLiteral("out/a.png"));
    {
        BatchState state;
        Draw(state, output, QStringLiteral("f"));
        state.Save();
    }
    const QString file = Path(QStringLiteral("out/.cubiform-batch.json"));
    for (const QByteArray& damaged : {QByteArray("{\"pictures\": {\"a.png\": {\"fingerprint\": \"f\", \"fi"),
                                      QByteArray("[1, 2]"), QByteArray("{\"pictures\": {\"a.png\": 7}}"),
                                      QByteArray("\0\xff\xfe", 3)}) {
        Write(file, damaged);
        BatchState state;
        EXPECT_FALSE(state.UpToDate(output, QStringLiteral("f"))) << damaged.toStdString();
        Draw(state, output, QStringLiteral("f"));
        state.Save();
        EXPECT_TRUE(BatchState().UpToDate(output, QStringLiteral("f"))) << damaged.toStdString();
    }
    // A folder where the record cannot go: the picture is written all the same.
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkdir(file));
    BatchState state;
    EXPECT_NO_THROW(Draw(state, output, QStringLiteral("g"), "newer"));
    EXPECT_NO_THROW(state.Save());
    EXPECT_EQ(Read(output), QByteArray("newer"));
    EXPECT_FALSE(BatchState().UpToDate(output, QStringLiteral("g")));
}

} // namespace
