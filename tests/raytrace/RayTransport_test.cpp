// The ray tracer's light transport, tested as renderers are: a white object
// in an even environment vanishes into it, a coated one reflects no more
// than it receives, the noise falls as one over the square root of the
// passes, and the same seed gives the same bytes on any number of threads.
#include "concurrency/ParallelWork.h"
#include "document/BoxParameters.h"
#include "raytrace/RayRender.h"
#include "render/StudioLight.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int Side = 32;

BoxParameters Book()
{
    BoxParameters p;
    p.Shape.BookPages = true; // boards over a page block: a product that sees itself
    p.TiltAngle = 20;
    return p;
}

// Furnace: only the environment, no floor, every surface white; exposed so
// that the environment itself reads 1.
std::vector<float> Furnace(const BoxParameters& p, int gloss, int passes)
{
    RaySettings s;
    s.Passes = passes;
    s.Floor = false;
    s.Lights = false;
    s.WhiteCovers = true;
    s.Transparent = true;
    s.Gloss = gloss;
    s.Exposure = 1.0f / StudioLightFor(p).EnvironmentRadiance;
    RayRender render(p, PlaceholderCovers(), s, QSize(Side, Side));
    render.Run();
    return render.Linear();
}

struct Covered {
    double Mean = 0, Max = 0;
    int Count = 0;
};

Covered OverTheProduct(const std::vector<float>& rgba)
{
    Covered c;
    double sum = 0;
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        if (rgba[i + 3] < 0.999f) // edges mix with the empty background
            continue;
        for (int k = 0; k < 3; ++k) {
            sum += rgba[i + static_cast<std::size_t>(k)];
            c.Max = std::max(c.Max, static_cast<double>(rgba[i + static_cast<std::size_t>(k)]));
        }
        ++c.Count;
    }
    c.Mean = c.Count ? sum / (3.0 * c.Count) : 0;
    return c;
}

double RmsDifference(const std::vector<float>& a, const std::vector<float>& b)
{
    double sum = 0;
    for (std::size_t i = 0; i < a.size(); ++i)
        sum += (a[i] - b[i]) * (a[i] - b[i]);
    return std::sqrt(sum / static_cast<double>(a.size()));
}

std::vector<float> Studio(std::uint32_t seed, int passes)
{
    RaySettings s;
    s.Passes = passes;
    s.Seed = seed;
    s.Gloss = 40;
    BoxParameters p;
    p.Looks.Reflection = 30;
    RayRender render(p, PlaceholderCovers(), s, QSize(24, 24));
    render.Run();
    return render.Linear();
}

} // namespace

TEST(RayTransportTest, AWhiteDiffuseProductVanishesIntoAnEvenEnvironment)
{
    for (const BoxParameters& p : {BoxParameters{}, Book()}) {
        const Covered c = OverTheProduct(Furnace(p, 0, 16));
        ASSERT_GT(c.Count, 50);
        EXPECT_NEAR(c.Mean, 1.0, 0.02) << (p.Shape.BookPages ? "book" : "box");
        EXPECT_LT(c.Max, 1.2);
    }
}

TEST(RayTransportTest, AWhiteCoatedProductReflectsNoMoreThanTheEnvironmentGives)
{
    for (int gloss : {10, 70, 100}) {
        const Covered c = OverTheProduct(Furnace(Book(), gloss, 16));
        ASSERT_GT(c.Count, 50);
        EXPECT_LE(c.Mean, 1.01) << "gloss " << gloss;
        EXPECT_GE(c.Mean, 0.9) << "gloss " << gloss;
    }
}

TEST(RayTransportTest, TheNoiseFallsAsOneOverTheSquareRootOfThePasses)
{
    const double few = RmsDifference(Studio(1, 4), Studio(2, 4));
    const double many = RmsDifference(Studio(1, 64), Studio(2, 64));
    ASSERT_GT(many, 0);
    // Sixteen times the passes: a quarter of the noise (a little better with
    // the stratified first samples).
    EXPECT_GT(few / many, 2.5);
    EXPECT_LT(few / many, 9.0);
}

TEST(RayTransportTest, TheSameSeedGivesTheSameBytesOnOneOrManyThreads)
{
    RaySettings s;
    s.Passes = 3;
    s.Seed = 7;
    BoxParameters p;
    p.Looks.Reflection = 50;
    const auto picture = [&](RaySettings settings) {
        RayRender render(p, PlaceholderCovers(), settings, QSize(40, 30));
        render.Run();
        return render.Picture();
    };
    const QImage many = picture(s);
    QImage one;
    {
        const OneThreadHere here;
        one = picture(s);
    }
    EXPECT_EQ(one, many);
    s.Seed = 8;
    EXPECT_NE(picture(s), many);
}

TEST(RayTransportTest, TheTimeLimitStopsAfterThePassThatCrossesItAndProgressMayStop)
{
    RaySettings s;
    s.Passes = 1000;
    s.TimeLimit = 1e-9;
    RayRender render(BoxParameters{}, PlaceholderCovers(), s, QSize(8, 8));
    EXPECT_EQ(render.Run(), 1);

    s.TimeLimit = 0;
    RayRender stopped(BoxParameters{}, PlaceholderCovers(), s, QSize(8, 8));
    int seen = 0;
    EXPECT_EQ(stopped.Run([&](int done, int total, double) {
        seen = done;
        EXPECT_EQ(total, 1000);
        return done < 3;
    }),
              3);
    EXPECT_EQ(seen, 3);
}
