// The fitting solver against a product whose drawing is known exactly: the
// corners of a turned box and a floor patch under it, projected as the
// frame projects them (eye angle, lift, the offsets, 45 degrees of
// perspective). What the GL really draws is the GL tests' part.
#include "render/EyeLift.h"
#include "render/FrameMeasure.h"
#include "render/StudioLooks.h"
#include "render/ViewFit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

const float Focal = static_cast<float>(1.0 / std::tan(22.5 * M_PI / 180.0));

struct PointProduct {
    std::vector<Vec3> Points; // world frame: after the box's own turns
    double Aspect = 1.0;
    int Measured = 0;

    FrameBounds operator()(const BoxParameters& p, float reach)
    {
        ++Measured;
        const Mat3 eye = RotationDegrees(static_cast<float>(p.EyeAngle), {1, 0, 0});
        const Vec3 u{p.HorizontalOffset / 100.0f, EyeLift(p.EyeAngle) + p.VerticalOffset / 10.0f, -p.Depth / 10.0f};
        FrameBounds b;
        for (const Vec3& w : Points) {
            const Vec3 c = eye * Vec3{w.x + u.x, w.y + u.y, w.z + u.z};
            if (c.z > -0.1f)
                continue; // behind the near plane
            FrameBounds one;
            one.Empty = false;
            // The measured picture ends at `reach`: what lies beyond is cut off there.
            one.Left = one.Right = std::clamp(Focal / static_cast<float>(Aspect) * c.x / -c.z, -reach, reach);
            one.Bottom = one.Top = std::clamp(Focal * c.y / -c.z, -reach, reach);
            b.Add(one);
        }
        return b;
    }
};

// A box 1.6 x 2 x 0.6 turned 30 degrees and tilted back 10, with a floor
// patch reaching out behind and beside it (a shadow, say).
PointProduct TurnedBox(double aspect)
{
    PointProduct product;
    product.Aspect = aspect;
    const Mat3 turn = RotationDegrees(30, {0, 1, 0}) * RotationDegrees(-10, {1, 0, 0});
    for (int i = 0; i < 8; ++i)
        product.Points.push_back(turn * Vec3{i & 1 ? 0.8f : -0.8f, i & 2 ? 1.0f : -1.0f, i & 4 ? 0.3f : -0.3f});
    for (const Vec3 floor : {Vec3{-1.4f, -1.1f, -1.5f}, Vec3{1.6f, -1.1f, -1.2f}, Vec3{0.2f, -1.1f, 0.9f}})
        product.Points.push_back(floor);
    return product;
}

BoxParameters View(int eye, float depth, float vertical, float horizontal)
{
    BoxParameters p;
    p.EyeAngle = eye;
    p.Depth = depth;
    p.VerticalOffset = vertical;
    p.HorizontalOffset = horizontal;
    p.SideAngle = 33;
    p.TiltAngle = -12;
    p.Turn = 45;
    return p;
}

} // namespace

TEST(ViewFitTest, ReachesTheMarginForEveryEyeAngleShapeAndMarginWithoutTurningTheView)
{
    for (const double aspect : {1.0, 16.0 / 9.0, 0.6})
        for (const int eye : {0, 12, 30, 60})
            for (const int margin : {0, 8, 30, 45}) {
                SCOPED_TRACE(::testing::Message() << "aspect " << aspect << ", eye " << eye << ", margin " << margin);
                PointProduct product = TurnedBox(aspect);
                const BoxParameters start = View(eye, 31, -2, 5);
                const FitOutcome fit = FitView(start, margin, aspect, std::ref(product));
                ASSERT_TRUE(fit.Found);
                EXPECT_LE(FitError(product(fit.View, 1.0f), margin), 0.001f);
                EXPECT_LE(product.Measured, 24) << "a few rounds, not a search";
                EXPECT_EQ(fit.View.SideAngle, start.SideAngle);
                EXPECT_EQ(fit.View.TiltAngle, start.TiltAngle);
                EXPECT_EQ(fit.View.EyeAngle, start.EyeAngle);
                EXPECT_EQ(fit.View.Turn, start.Turn);
            }
}

TEST(ViewFitTest, FindsAProductTheViewCutsOffOrDoesNotShowAtAll)
{
    PointProduct product = TurnedBox(1.0);
    // Far off to the side and so near that most of it is out of the picture.
    for (const BoxParameters& start : {View(20, 4, 0, 300), View(0, 2, 300, 0), View(0, 80, -300, -300)}) {
        const FitOutcome fit = FitView(start, 8, 1.0, std::ref(product));
        ASSERT_TRUE(fit.Found);
        EXPECT_LE(FitError(product(fit.View, 1.0f), 8), 0.001f);
    }
}

TEST(ViewFitTest, NothingDrawnLeavesTheViewAsItWas)
{
    PointProduct nothing;
    const BoxParameters start = View(10, 31, 3, -4);
    const FitOutcome fit = FitView(start, 8, 1.0, std::ref(nothing));
    EXPECT_FALSE(fit.Found);
    EXPECT_EQ(fit.View.Depth, start.Depth);
    EXPECT_EQ(fit.View.VerticalOffset, start.VerticalOffset);
    EXPECT_EQ(fit.View.HorizontalOffset, start.HorizontalOffset);
}

// A shadow's pixel is black over black and grey over white: drawn. Plain
// background in both is not; the edges are the pixels' outer edges.
TEST(ViewFitTest, DrawnBoundsCountWhatEitherBackgroundShowsAndScaleByTheReach)
{
    constexpr int W = 4, H = 2;
    std::vector<unsigned char> black(W * H * 4, 0), white(W * H * 4, 255);
    const auto set = [&](std::vector<unsigned char>& image, int x, int y, unsigned char v) {
        for (int c = 0; c < 3; ++c)
            image[static_cast<std::size_t>((y * W + x) * 4 + c)] = v;
    };
    EXPECT_TRUE(DrawnBounds(black.data(), white.data(), W, H, 1.0f).Empty);
    set(white, 1, 0, 128); // a shadow: black stays black
    set(black, 2, 0, 40);  // an opaque pixel of the product
    set(white, 2, 0, 40);
    const FrameBounds b = DrawnBounds(black.data(), white.data(), W, H, 2.0f);
    ASSERT_FALSE(b.Empty);
    EXPECT_FLOAT_EQ(b.Left, -1.0f);  // column 1 begins a quarter across: -0.5, times 2
    EXPECT_FLOAT_EQ(b.Right, 1.0f);  // column 2 ends three quarters across
    EXPECT_FLOAT_EQ(b.Bottom, -2.0f);
    EXPECT_FLOAT_EQ(b.Top, 0.0f);
    // A shadow's tail a person does not see (alpha up to 7 of 255) is not
    // counted; from 8 (about 3%) on it is.
    for (const auto& [grey, counted] : {std::pair{255 - 7, false}, {255 - 8, true}}) {
        set(white, 1, 0, static_cast<unsigned char>(grey));
        const FrameBounds tail = DrawnBounds(black.data(), white.data(), W, H, 1.0f);
        EXPECT_FLOAT_EQ(tail.Left, counted ? -0.5f : 0.0f) << grey;
    }
}
