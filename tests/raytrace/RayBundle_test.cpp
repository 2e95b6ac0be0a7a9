// A bundle in the ray tracer: each box keeps its own gloss coat, and the
// same seed gives the same bytes on one or many threads (each box's own
// covers: tests/cli/Bundle_gltest.cpp).
#include "concurrency/ParallelWork.h"
#include "raytrace/RayRender.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr int W = 96, H = 48;

RayCovers OneColour(unsigned rgb)
{
    RayCovers covers = PlaceholderCovers();
    for (std::size_t i = 0; i < 3; ++i)
        covers.Slots[i] = CoverTexels::Solid(rgb);
    return covers;
}

// Boxes in a row, seen square on from far enough to hold them all.
RayProduct Row(const std::vector<RayCovers>& covers, const std::vector<int>& gloss)
{
    RayProduct product;
    product.View.Depth = 60;
    for (std::size_t i = 0; i < covers.size(); ++i)
        product.Boxes.push_back({product.View, covers[i], gloss[i]});
    return product;
}

QImage Picture(RayProduct product, RaySettings s)
{
    RayRender render(std::move(product), s, QSize(W, H));
    render.Run();
    return render.Picture();
}

RaySettings Bare(int passes)
{
    RaySettings s;
    s.Passes = passes;
    s.Transparent = true;
    s.Floor = false;
    return s;
}

} // namespace

TEST(RayBundleTest, EachBoxKeepsItsOwnGloss)
{
    const std::vector<RayCovers> grey(3, OneColour(0x606060));
    RaySettings s = Bare(8);
    s.Transparent = false;
    const QImage matte = Picture(Row(grey, {0, 0, 0}), s);
    const QImage lastCoated = Picture(Row(grey, {0, 0, 100}), s);
    // The coat changes the third box, the right third of the picture; the
    // others only by what they see of it.
    double left = 0, right = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
            const double d = std::abs(qGray(matte.pixel(x, y)) - qGray(lastCoated.pixel(x, y)));
            if (x < W / 3)
                left += d;
            else if (x >= 2 * W / 3)
                right += d;
        }
    EXPECT_GT(right, 5 * left + 100);
}

TEST(RayBundleTest, TheSameSeedGivesTheSameBytesOnOneOrManyThreads)
{
    RaySettings s;
    s.Passes = 3;
    s.Seed = 11;
    const auto product = [] {
        RayProduct p = Row({OneColour(0xC04020), PlaceholderCovers()}, {30, 0});
        p.View.Looks.Reflection = 40;
        p.Arrangement = GroupArrangement::Fan;
        return p;
    };
    const QImage many = Picture(product(), s);
    QImage one;
    {
        const OneThreadHere here;
        one = Picture(product(), s);
    }
    EXPECT_EQ(one, many);
    s.Seed = 12;
    EXPECT_NE(Picture(product(), s), many);
}
