// The turntable's arguments, frame names and GIF timing.
#include "cli/Turntable.h"
#include "document/BoxLooks.h"
#include "formats/GifAnimation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

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

} // namespace
