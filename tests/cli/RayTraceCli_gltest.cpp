// "render --engine": the raster stays the default and its bytes; the ray
// tracer writes a picture of the asked size; its options are refused where
// they mean nothing.
#include "engine/ProgressText.h"
#include "engine/RayTraceBox.h"
#include "support/TempFiles.h"
#include "cli/CliRunner.h"

#include <gtest/gtest.h>

namespace {

struct RayTraceCliTest : TempFiles {
    CliResult Render(const QStringList& arguments, const QString& output)
    {
        return RunCubiform(QStringList{QStringLiteral("render"), QStringLiteral("--size"), QStringLiteral("64x48")} +
                           arguments + QStringList{QStringLiteral("-o"), Path(output)});
    }
};

} // namespace

TEST_F(RayTraceCliTest, TheRasterIsTheDefaultAndItsBytesDoNotChange)
{
    ASSERT_EQ(Render({}, QStringLiteral("plain.png")).Status, 0);
    ASSERT_EQ(Render({QStringLiteral("--engine"), QStringLiteral("raster")}, QStringLiteral("raster.png")).Status, 0);
    EXPECT_EQ(Read(Path(QStringLiteral("plain.png"))), Read(Path(QStringLiteral("raster.png"))));
}

TEST_F(RayTraceCliTest, TheRayTracerWritesThePictureAndTheSameSeedTheSameBytes)
{
    const QStringList ray{QStringLiteral("--engine"), QStringLiteral("raytrace"), QStringLiteral("--passes"),
                          QStringLiteral("2"), QStringLiteral("--gloss"), QStringLiteral("50")};
    const CliResult first = Render(ray + QStringList{QStringLiteral("--seed"), QStringLiteral("5")}, QStringLiteral("a.png"));
    ASSERT_EQ(first.Status, 0) << first.Err.toStdString();
    EXPECT_TRUE(first.Err.isEmpty()) << first.Err.toStdString(); // no bar when not a terminal
    ASSERT_EQ(Render(ray + QStringList{QStringLiteral("--seed"), QStringLiteral("5")}, QStringLiteral("b.png")).Status, 0);
    ASSERT_EQ(Render(ray, QStringLiteral("c.png")).Status, 0);
    const QImage a(Path(QStringLiteral("a.png")));
    EXPECT_EQ(a.size(), QSize(64, 48));
    EXPECT_EQ(Read(Path(QStringLiteral("a.png"))), Read(Path(QStringLiteral("b.png"))));
    EXPECT_NE(Read(Path(QStringLiteral("a.png"))), Read(Path(QStringLiteral("c.png"))));
    // Not the raster's picture.
    ASSERT_EQ(Render({}, QStringLiteral("raster.png")).Status, 0);
    EXPECT_NE(Read(Path(QStringLiteral("a.png"))), Read(Path(QStringLiteral("raster.png"))));
}

TEST_F(RayTraceCliTest, RayOptionsNeedTheRayTracerAndBadValuesAreRefusedWithNothingWritten)
{
    for (const QStringList& args :
         {QStringList{QStringLiteral("--passes"), QStringLiteral("8")},
          QStringList{QStringLiteral("--gloss"), QStringLiteral("20")},
          QStringList{QStringLiteral("--engine"), QStringLiteral("raytrace"), QStringLiteral("--passes"), QStringLiteral("0")},
          QStringList{QStringLiteral("--engine"), QStringLiteral("raytrace"), QStringLiteral("--gloss"), QStringLiteral("101")},
          QStringList{QStringLiteral("--engine"), QStringLiteral("raytrace"), QStringLiteral("--time-limit"), QStringLiteral("-1")},
          QStringList{QStringLiteral("--engine"), QStringLiteral("pathtrace")},
          QStringList{QStringLiteral("--engine"), QStringLiteral("raster"), QStringLiteral("--seed"), QStringLiteral("2")}}) {
        const CliResult r = Render(args, QStringLiteral("x.png"));
        EXPECT_NE(r.Status, 0) << args.join(' ').toStdString();
        EXPECT_FALSE(r.Err.isEmpty()) << args.join(' ').toStdString();
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("x.png")))) << args.join(' ').toStdString();
    }
    // The raster's turntable takes none of them either.
    const CliResult turntable = RunCubiform({QStringLiteral("turntable"), QStringLiteral("--passes"), QStringLiteral("3"),
                                             QStringLiteral("-o"), Path(QStringLiteral("spin.gif"))});
    EXPECT_NE(turntable.Status, 0);
    EXPECT_TRUE(turntable.Err.contains(QStringLiteral("--engine"))) << turntable.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("spin.gif"))));
}

TEST(RayProgressTest, TheBarShowsPassesAndTheTimeLeft)
{
    EXPECT_EQ(RayProgressLine(0, 32, 0), QStringLiteral("[------------------------] pass 0/32"));
    EXPECT_EQ(RayProgressLine(8, 32, 2.0), QStringLiteral("[######------------------] pass 8/32  6.0 s left"));
    EXPECT_EQ(RayProgressLine(32, 32, 9.0), QStringLiteral("[########################] pass 32/32"));
}

TEST(RayProgressTest, UnderATimeLimitTheTimeLeftCountsDownToIt)
{
    const struct {
        int done, total;
        double seconds, limit;
        const char* left;
    } cases[] = {
        {2, 100000, 4.0, 60.0, "56.0 s"},  // the passes alone would take 55:33:16
        {8, 32, 2.0, 60.0, "6.0 s"},       // the passes end first
        {3, 1000, 61.5, 60.0, "0.0 s"},    // the pass that crosses it is the last
        {8, 32, 2.0, 0.0, "6.0 s"},        // no limit
        {1, 100000, 1.0, 86400.0, "23:59:59"},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(RayProgressLine(c.done, c.total, c.seconds, c.limit).endsWith(QStringLiteral("  %1 left").arg(QLatin1String(c.left))))
            << RayProgressLine(c.done, c.total, c.seconds, c.limit).toStdString();
}
