// Telling whether two names lead to one file: links, dots, files not yet
// there, and the guard that refuses to write a command's output over one of
// its inputs (also across the rows of a batch).
#include "support/CliErrors.h"
#include "cli/BatchManifest.h"
#include "cli/OutputGuard.h"
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

TEST_F(FileIdentityTest, AnOutputThatIsAnInputIsRefusedNamingBoth)
{
    const std::vector<JobInput> inputs = {{Path(QStringLiteral("a/cover.jpg")), QStringLiteral("front cover")},
                                          {Path(QStringLiteral("box.pcf")), QStringLiteral("project")}};
    const std::string text = CommandErrorOf([&] {
        RefuseOutputsOverInputs({Path(QStringLiteral("shot.png")), Path(QStringLiteral("cover-link.jpg"))}, inputs);
    });
    EXPECT_NE(text.find("cover-link.jpg: is the front cover "), std::string::npos) << text;
    EXPECT_NE(text.find("a/cover.jpg"), std::string::npos) << text;
    EXPECT_NE(CommandErrorOf([&] { RefuseOutputsOverInputs({Path(QStringLiteral("a/b/../../box.pcf"))}, inputs); }).find("is the project"),
              std::string::npos);
    EXPECT_EQ(CommandErrorOf([&] { RefuseOutputsOverInputs({Path(QStringLiteral("shot.png")), QString()}, inputs); }), "no error");
}

TEST_F(FileIdentityTest, ABatchRowMayNotWriteAnotherRowsInput)
{
    const auto jobs = [&](const QByteArray& csv) {
        return PrepareJobs(ParseManifest(csv, ManifestKind::Csv, dir.path()));
    };
    // Line 3 writes the cover line 2 reads (by another spelling of its name).
    std::string text = CommandErrorOf([&] {
        RefuseRowsReadingOtherRowsOutputs(jobs("front,output\n"
                                               "a/cover.jpg,shots/one.png\n"
                                               "other.jpg,./a/b/../cover.jpg\n"),
                                          QStringLiteral("m.csv"));
    });
    EXPECT_NE(text.find("m.csv: line 3 writes "), std::string::npos) << text;
    EXPECT_NE(text.find("which line 2 reads as its front cover"), std::string::npos) << text;
    // A cover not there yet, that an earlier row would make, counts too.
    text = CommandErrorOf([&] {
        RefuseRowsReadingOtherRowsOutputs(jobs("output,top\nshots/made.png,\nshots/next.png,./shots/../shots/made.png\n"),
                                          QStringLiteral("m.csv"));
    });
    EXPECT_NE(text.find("line 2 writes "), std::string::npos) << text;
    EXPECT_NE(text.find("which line 3 reads as its top cover"), std::string::npos) << text;
    // A row over its own cover is that row's failure, and rows that cannot
    // be drawn anyway are passed over.
    EXPECT_EQ(CommandErrorOf([&] {
                  RefuseRowsReadingOtherRowsOutputs(jobs("front,output,size\na/cover.jpg,a/cover.jpg,\n"
                                                         "other.jpg,shots/x.png,\nshots/x.png,shots/y.png,0x0\n"),
                                                    QStringLiteral("m.csv"));
              }),
              "no error");
}

} // namespace
