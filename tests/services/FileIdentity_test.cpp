// Telling whether two names lead to one file: links, dots, files not yet
// there, and the guard that refuses to write a command's output over one of
// its inputs (also across the rows of a batch).
#include "support/CliErrors.h"
#include "cli/BatchJobFiles.h"
#include "cli/BatchManifest.h"
#include "engine/OutputGuard.h"
#include "services/FileIdentity.h"
#include "support/TempFiles.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

struct FileIdentityTest : TempFiles {
    void SetUp() override
    {
        ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("a/b")));
        Write(Path(QStringLiteral("a/cover.jpg")), "artwork");
        ASSERT_TRUE(QFile::link(Path(QStringLiteral("a/b")), Path(QStringLiteral("link-to-b"))));
        ASSERT_TRUE(QFile::link(Path(QStringLiteral("a/cover.jpg")), Path(QStringLiteral("cover-link.jpg"))));
    }

};

TEST_F(FileIdentityTest, AnExistingFileIsOneFileHoweverItIsNamed)
{
    const QString cover = Path(QStringLiteral("a/cover.jpg"));
    ASSERT_EQ(::link(QFile::encodeName(cover).constData(), QFile::encodeName(Path(QStringLiteral("hard.jpg"))).constData()), 0);
    for (const char* name : {"a/cover.jpg", "./a/../a/cover.jpg", "a//b/../cover.jpg", "cover-link.jpg", "hard.jpg",
                             "link-to-b/../cover.jpg"}) // ".." after a link leaves where the link leads
        EXPECT_TRUE(SameFile(cover, Path(QLatin1String(name)))) << name;
    const QString current = QDir::currentPath();
    QDir::setCurrent(dir.path());
    EXPECT_TRUE(SameFile(QStringLiteral("a/cover.jpg"), cover));
    QDir::setCurrent(current);
    EXPECT_FALSE(SameFile(cover, Path(QStringLiteral("a/other.jpg"))));
    Write(Path(QStringLiteral("copy.jpg")), "artwork"); // the same bytes are still another file
    EXPECT_FALSE(SameFile(cover, Path(QStringLiteral("copy.jpg"))));
}

TEST_F(FileIdentityTest, FilesNotThereYetAreComparedByTheirResolvedPaths)
{
    const QString real = Path(QStringLiteral("a/b/new.png"));
    EXPECT_TRUE(SameFile(real, Path(QStringLiteral("link-to-b/new.png"))));
    EXPECT_TRUE(SameFile(real, Path(QStringLiteral("a/./b/x/../new.png"))));
    EXPECT_TRUE(SameFile(real, Path(QStringLiteral("link-to-b/../b/new.png"))));
    EXPECT_FALSE(SameFile(real, Path(QStringLiteral("a/new.png"))));
    // A link to a file not there yet leads to that file.
    ASSERT_TRUE(QFile::link(real, Path(QStringLiteral("dangling.png"))));
    EXPECT_TRUE(SameFile(real, Path(QStringLiteral("dangling.png"))));
    EXPECT_EQ(NormalisedPath(Path(QStringLiteral("link-to-b/c/../d.png"))), QDir(dir.path()).canonicalPath() + QStringLiteral("/a/b/d.png"));
    // A loop of links ends.
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("loop1")), Path(QStringLiteral("loop2"))));
    ASSERT_TRUE(QFile::link(Path(QStringLiteral("loop2")), Path(QStringLiteral("loop1"))));
    EXPECT_FALSE(SameFile(Path(QStringLiteral("loop1/x")), real));
}

TEST_F(FileIdentityTest, AnOutputThatIsAnInputOrAnotherOutputIsRefusedNamingBoth)
{
    // The rule's cases; each face's job is tested end to end in OutputSafety.
    // Files as "role@line:path"; a refusal holds every text of `said`.
    struct Case {
        std::vector<const char*> reads, writes, said;
    };
    const Case cases[] = {
        {{"front cover:a/cover.jpg", "project:box.pcf"}, {"picture:shot.png", "picture:cover-link.jpg"},
         {"cover-link.jpg: is the front cover ", "a/cover.jpg"}},
        {{"front cover:a/cover.jpg", "project:box.pcf"}, {"project:a/b/../../box.pcf"}, {"is the project"}},
        {{"front cover:a/cover.jpg"}, {"picture:shot.png", "model:"}, {}},
        {{"front cover@2:a/cover.jpg"}, {"picture@2:hard.jpg"}, {}}, // the row's own: its own job refuses it
        {{"front cover@2:a/cover.jpg"}, {"picture@3:link-to-b/../cover.jpg"},
         {"m.csv: line 3 writes ", "which line 2 reads as its front cover"}},
    };
    ASSERT_EQ(::link(QFile::encodeName(Path(QStringLiteral("a/cover.jpg"))).constData(),
                     QFile::encodeName(Path(QStringLiteral("hard.jpg"))).constData()),
              0);
    const auto file = [&](const char* text) {
        const QString t = QLatin1String(text);
        const qsizetype colon = t.indexOf(QLatin1Char(':')), at = t.indexOf(QLatin1Char('@'));
        const QString path = t.mid(colon + 1);
        return JobFile{path.isEmpty() ? path : Path(path), t.left(at < 0 ? colon : at),
                       at < 0 ? 0 : t.mid(at + 1, colon - at - 1).toInt()};
    };
    for (const Case& c : cases) {
        JobFiles job;
        for (const char* in : c.reads)
            job.Reads(file(in).Path, file(in).Role, file(in).Line);
        for (const char* out : c.writes)
            job.Writes(file(out).Path, file(out).Role, file(out).Line);
        if (job.Outputs.front().Line)
            job.Source = QStringLiteral("m.csv");
        const std::optional<QString> refusal = OutputRefusal(job);
        SCOPED_TRACE(c.writes.back());
        EXPECT_EQ(refusal.has_value(), !c.said.empty()) << refusal.value_or(QString()).toStdString();
        for (const char* text : c.said)
            EXPECT_TRUE(refusal.value_or(QString()).contains(QLatin1String(text))) << refusal.value_or(QString()).toStdString();
    }
}

TEST_F(FileIdentityTest, ABatchRowMayNotWriteAnotherRowsInput)
{
    const auto jobs = [&](const QByteArray& csv) {
        return PrepareJobs(ParseManifest(csv, ManifestKind::Csv, dir.path()));
    };
    // Line 3 writes the cover line 2 reads (by another spelling of its name).
    std::string text = CommandErrorOf([&] {
        RefuseUnsafeOutputs(BatchJobFiles(jobs("front,output\n"
                                               "a/cover.jpg,shots/one.png\n"
                                               "other.jpg,./a/b/../cover.jpg\n"),
                                          QStringLiteral("m.csv"), QString()));
    });
    EXPECT_NE(text.find("m.csv: line 3 writes "), std::string::npos) << text;
    EXPECT_NE(text.find("which line 2 reads as its front cover"), std::string::npos) << text;
    // A cover not there yet, that an earlier row would make, counts too.
    text = CommandErrorOf([&] {
        RefuseUnsafeOutputs(BatchJobFiles(jobs("output,top\nshots/made.png,\nshots/next.png,./shots/../shots/made.png\n"),
                                          QStringLiteral("m.csv"), QString()));
    });
    EXPECT_NE(text.find("line 2 writes "), std::string::npos) << text;
    EXPECT_NE(text.find("which line 3 reads as its top cover"), std::string::npos) << text;
    // A row over its own cover is that row's failure, and rows that cannot
    // be drawn anyway are passed over.
    EXPECT_EQ(CommandErrorOf([&] {
                  RefuseUnsafeOutputs(BatchJobFiles(jobs("front,output,size\na/cover.jpg,a/cover.jpg,\n"
                                                         "other.jpg,shots/x.png,\nshots/x.png,shots/y.png,0x0\n"),
                                                    QStringLiteral("m.csv"), QString()));
              }),
              "no error");
}

} // namespace
