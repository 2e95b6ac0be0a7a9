// The turntable's arguments, frame names, GIF timing and the frames of an
// earlier turn replaced all together or not at all.
#include "cli/Turntable.h"
#include "cli/TurntableFrames.h"
#include "document/BoxLooks.h"
#include "formats/GifAnimation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numeric>
#include <set>

namespace {

int StatusOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const JobError& e) {
        return e.Status();
    }
    return 0;
}

TEST(TurntableTest, GifDelaysCarryTheirRoundingSoTheTurnKeepsTime)
{
    EXPECT_EQ(GifFrameDelays(5, 25.0), (std::vector<int>{4, 4, 4, 4, 4}));
    EXPECT_EQ(GifFrameDelays(3, 30.0), (std::vector<int>{3, 4, 3}));
    for (int frames : {2, 7, 36, 100, 720})
        for (double fps : {1.0, 7.0, 12.5, 24.0, 29.97, 33.0, 50.0}) {
            const std::vector<int> delays = GifFrameDelays(frames, fps);
            ASSERT_EQ(delays.size(), static_cast<std::size_t>(frames));
            EXPECT_EQ(std::accumulate(delays.begin(), delays.end(), 0LL), std::llround(100.0 * frames / fps))
                << frames << " frames at " << fps;
            // No viewer slows a delay of two hundredths or more.
            EXPECT_GE(*std::min_element(delays.begin(), delays.end()), 2);
            EXPECT_LE(*std::max_element(delays.begin(), delays.end()) - *std::min_element(delays.begin(), delays.end()), 1);
        }
}

TEST(TurntableTest, FrameNamesTakeOneNumberAndRefuseEveryOtherPercent)
{
    EXPECT_FALSE(ParseFrameNamePattern(QStringLiteral("spin.gif")));
    const auto padded = ParseFrameNamePattern(QStringLiteral("frames/spin-%03d.png"));
    ASSERT_TRUE(padded);
    EXPECT_EQ(padded->NameOf(7), QStringLiteral("frames/spin-007.png"));
    EXPECT_EQ(padded->NameOf(1234), QStringLiteral("frames/spin-1234.png"));
    EXPECT_EQ(ParseFrameNamePattern(QStringLiteral("%d.tga"))->NameOf(12), QStringLiteral("12.tga"));
    EXPECT_EQ(ParseFrameNamePattern(QStringLiteral("100%%-%02d.jpg"))->NameOf(5), QStringLiteral("100%-05.jpg"));

    for (const char* bad : {"spin-%s.png", "a-%03d-%d.png", "%3d.png", "%00d.png", "%010d.png", "x%.png",
                            "x%", "only%%.png", "dir-%02d/spin.png"})
        EXPECT_EQ(StatusOf([&] { ParseFrameNamePattern(QString::fromUtf8(bad)); }), ExitUsage) << bad;
}

TEST(TurntableTest, ArgumentsShareRendersOptionsAndCheckTheirOwn)
{
    const TurntableOptions t = ParseTurntableArguments(
        {QStringLiteral("box.pcf"), QStringLiteral("--size"), QStringLiteral("40x30"), QStringLiteral("--frames=12"),
         QStringLiteral("--tilt"), QStringLiteral("--background"), QStringLiteral("#102030"),
         QStringLiteral("--fps"), QStringLiteral("12.5"), QStringLiteral("-o"), QStringLiteral("spin.gif")});
    EXPECT_EQ(t.Render.Project, QStringLiteral("box.pcf"));
    EXPECT_EQ(t.Render.Size, QSize(40, 30));
    EXPECT_TRUE(t.Render.Background);
    EXPECT_EQ(t.FrameCount, 12);
    EXPECT_EQ(t.Fps, 12.5);
    EXPECT_TRUE(t.Tilt);
    EXPECT_FALSE(t.Frames);

    const TurntableOptions d = ParseTurntableArguments({QStringLiteral("-o"), QStringLiteral("s-%02d.jpg"),
                                                        QStringLiteral("--quality"), QStringLiteral("90")});
    EXPECT_EQ(d.FrameCount, DefaultTurntableFrames);
    EXPECT_EQ(d.Render.Format, OutputFormat::Jpeg);
    EXPECT_EQ(d.Render.Quality, 90);
    ASSERT_TRUE(d.Frames);

    // Looks that are flags or take an optional number leave the next option alone.
    const TurntableOptions l = ParseTurntableArguments(
        {QStringLiteral("--shadow"), QStringLiteral("--frames"), QStringLiteral("8"), QStringLiteral("--light"),
         QStringLiteral("20"), QStringLiteral("--smooth-textures"), QStringLiteral("--tilt"),
         QStringLiteral("--reflection"), QStringLiteral("-o"), QStringLiteral("spin.gif")});
    EXPECT_EQ(l.FrameCount, 8);
    EXPECT_TRUE(l.Tilt);
    EXPECT_EQ(l.Render.Looks.Shadow, LookLimits::DefaultShadow);
    EXPECT_EQ(l.Render.Looks.Light, 20);
    EXPECT_EQ(l.Render.Looks.Reflection, LookLimits::DefaultReflection);
    EXPECT_TRUE(l.Render.Looks.SmoothTextures);

    const struct {
        QStringList args;
        int status;
    } cases[] = {
        {{QStringLiteral("--frames"), QStringLiteral("1"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitBadInput},
        {{QStringLiteral("--frames"), QStringLiteral("721"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitBadInput},
        {{QStringLiteral("--frames"), QStringLiteral("ten"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitBadInput},
        {{QStringLiteral("--fps"), QStringLiteral("60"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitBadInput},
        {{QStringLiteral("--fps"), QStringLiteral("nan"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitBadInput},
        {{QStringLiteral("--frames")}, ExitUsage},
        {{QStringLiteral("--size"), QStringLiteral("40x30")}, ExitUsage},                        // no output
        {{QStringLiteral("-o"), QStringLiteral("spin.png")}, ExitUsage},                         // not numbered
        {{QStringLiteral("--transparent"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitUsage},
        {{QStringLiteral("--quality"), QStringLiteral("80"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitUsage},
        {{QStringLiteral("--save-project"), QStringLiteral("p.pcf"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitUsage},
        {{QStringLiteral("--tilt=1"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitUsage},
        {{QStringLiteral("--bogus"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitUsage},
        {{QStringLiteral("--size"), QStringLiteral("0x9"), QStringLiteral("-o"), QStringLiteral("s.gif")}, ExitBadInput},
        {{QStringLiteral("-o"), QStringLiteral("s-%d.webp")}, ExitBadInput}, // as render: not a picture type
    };
    for (const auto& c : cases)
        EXPECT_EQ(StatusOf([&] { ParseTurntableArguments(c.args); }), c.status) << c.args.join(' ').toStdString();
}

TEST(TurntableTest, FpsWithNumberedPicturesIsNotedNotRefused)
{
    const TurntableOptions numbered = ParseTurntableArguments(
        {QStringLiteral("--fps"), QStringLiteral("10"), QStringLiteral("-o"), QStringLiteral("s-%d.png")});
    EXPECT_TRUE(numbered.FpsIgnored);
    EXPECT_TRUE(numbered.Frames);
    const TurntableOptions gif =
        ParseTurntableArguments({QStringLiteral("--fps"), QStringLiteral("10"), QStringLiteral("-o"), QStringLiteral("s.gif")});
    EXPECT_FALSE(gif.FpsIgnored);
    EXPECT_EQ(gif.Fps, 10.0);
    // Still checked: a value out of range is refused with numbered pictures too.
    EXPECT_EQ(StatusOf([] {
                  ParseTurntableArguments({QStringLiteral("--fps"), QStringLiteral("90"), QStringLiteral("-o"),
                                           QStringLiteral("s-%d.png")});
              }),
              ExitBadInput);
}

TEST(TurntableTest, AnglesGoOnceAroundAndStayBelowAFullTurn)
{
    EXPECT_EQ(TurntableAngle(0.0f, 0, 8), 0.0f);
    EXPECT_EQ(TurntableAngle(0.0f, 7, 8), 315.0f);
    EXPECT_EQ(TurntableAngle(300.0f, 3, 8), 75.0f);
    EXPECT_EQ(TurntableAngle(-30.0f, 1, 4), 60.0f);
    for (int k = 0; k < 720; ++k)
        EXPECT_LT(TurntableAngle(359.9f, k, 720), 360.0f);
}

// Frames 0 and 2 of an earlier turn are there, frame 1 is not; the move
// that fails is counted from 1: (old 0 aside, new 0 in, new 1 in, old 2
// aside, new 2 in), then the steps that undo them, last first.
TEST(TurntableTest, AFailedMoveTakesTheNewFramesOutAndPutsTheOldOnesBack)
{
    using Files = std::map<QString, QByteArray>;
    const Files earlier = {{QStringLiteral("f-0.png"), "old 0"}, {QStringLiteral("f-2.png"), "old 2"}};
    const Files turn = {{QStringLiteral("f-0.png"), "new 0"}, {QStringLiteral("f-1.png"), "new 1"},
                        {QStringLiteral("f-2.png"), "new 2"}};
    const struct {
        std::set<int> failing;
        QString target; // the frame that could not be written; empty: none failed
        Files after, aside; // the frames' folder, and what waits in the aside folder
    } cases[] = {
        {{}, {}, turn, earlier}, // the replaced frames go with the hidden folder
        {{1}, QStringLiteral("f-0.png"), earlier, {}},
        {{2}, QStringLiteral("f-0.png"), earlier, {}},
        {{3}, QStringLiteral("f-1.png"), earlier, {}},
        {{4}, QStringLiteral("f-2.png"), earlier, {}},
        {{5}, QStringLiteral("f-2.png"), earlier, {}},
        // Old 2 back, new 1 out, then old 0 cannot be put back: it waits, whole.
        {{5, 8}, QStringLiteral("f-2.png"), {{QStringLiteral("f-0.png"), "new 0"}, {QStringLiteral("f-2.png"), "old 2"}},
         {{QStringLiteral("f-0.png"), "old 0"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        QTemporaryDir dir;
        const QDir folder(dir.path()), staged(dir.filePath(QStringLiteral(".staged"))),
            aside(dir.filePath(QStringLiteral(".staged/.replaced")));
        ASSERT_TRUE(QDir().mkpath(aside.path()));
        const auto put = [](const QDir& where, const Files& files) {
            for (const auto& [name, bytes] : files) {
                QFile f(where.filePath(name));
                ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
            }
        };
        const auto filesIn = [](const QDir& where) {
            Files files;
            for (const QString& name : where.entryList(QDir::Files)) {
                QFile f(where.filePath(name));
                files[name] = f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("unreadable");
            }
            return files;
        };
        put(folder, earlier);
        put(staged, turn);
        int calls = 0;
        const std::optional<FrameSwapError> failure = SwapInFrames(
            staged.path(), folder.path(), QStringList{QStringLiteral("f-0.png"), QStringLiteral("f-1.png"), QStringLiteral("f-2.png")},
            aside.path(), [&](const QString& from, const QString& to, QString& why) {
                if (c.failing.count(++calls)) {
                    why = QStringLiteral("refused");
                    return false;
                }
                return RenameFile(from, to, why);
            });
        EXPECT_EQ(failure ? QFileInfo(failure->Target).fileName() : QString(), c.target);
        EXPECT_EQ(filesIn(folder), c.after);
        EXPECT_EQ(filesIn(aside), c.aside);
        if (failure) {
            EXPECT_EQ(failure->NotRestored.size(), static_cast<qsizetype>(c.aside.size())); // each one named
        }
    }
}

} // namespace
