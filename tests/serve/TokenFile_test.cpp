// The token file is read again when it changes, and a bad change keeps the
// token that was good.
#include "engine/JobError.h"
#include "serve/TokenFile.h"
#include "support/TempFiles.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class TokenFileTest : public TempFiles {
protected:
    // Written with a modification time of its own, as a later write has.
    void WriteAt(const QString& path, const QByteArray& text, int second)
    {
        Write(path, text);
        const timespec times[2] = {{second, 0}, {second, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
};

} // namespace

TEST_F(TokenFileTest, ANewTokenIsTakenWhenTheFileChanges)
{
    const QString path = Path(QStringLiteral("token"));
    WriteAt(path, "first-token\n", 1000);
    TokenFile tokens(path);
    EXPECT_EQ(tokens.Current(), "first-token");
    const struct {
        const char* Text;
        const char* Expected;
    } steps[] = {
        {"second-token\n", "second-token"}, // rotated
        {"", "second-token"},               // half written: the last good one stays
        {"two words\n", "second-token"},
        {"third\n", "third"},
    };
    int second = 1000;
    for (const auto& step : steps) {
        WriteAt(path, step.Text, ++second);
        EXPECT_EQ(tokens.Current(), step.Expected) << step.Text;
    }
    // A Secret's update swaps a link to a new file.
    const QString next = Path(QStringLiteral("token-next"));
    WriteAt(next, "linked\n", 500);
    const QString link = Path(QStringLiteral("token-link"));
    ASSERT_TRUE(QFile::link(path, link));
    TokenFile linked(link);
    EXPECT_EQ(linked.Current(), "third");
    ASSERT_TRUE(QFile::remove(link));
    ASSERT_TRUE(QFile::link(next, link));
    EXPECT_EQ(linked.Current(), "linked");
}

TEST_F(TokenFileTest, NoServiceStartsWithoutAToken)
{
    const QString empty = Path(QStringLiteral("empty"));
    Write(empty, "\n");
    for (const QString& path : {empty, Path(QStringLiteral("missing"))})
        EXPECT_THROW(TokenFile{path}, JobError) << path.toStdString();
}
