// The scene's own rules: the view's depth and offsets come back from its
// shift, and the flat background is the classic quad unless asked to fill
// the view, then reaching its edges, never beyond the far plane.
#include "render/Scene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

TEST(SceneTest, TheViewComesBackFromItsShift)
{
    const struct {
        int Eye;
        float Depth, Vertical, Horizontal;
    } views[] = {{0, 50, 0, 0}, {30, 80, -12, 35}, {-45, 12, 7.5f, -140}};
    for (const auto& v : views) {
        BoxParameters p;
        p.EyeAngle = v.Eye;
        p.Depth = v.Depth;
        p.VerticalOffset = v.Vertical;
        p.HorizontalOffset = v.Horizontal;
        BoxParameters back;
        back.EyeAngle = v.Eye;
        SetViewShift(back, ViewPoseOf(p).Shift());
        EXPECT_NEAR(back.Depth, v.Depth, 1e-4f) << v.Eye;
        EXPECT_NEAR(back.VerticalOffset, v.Vertical, 1e-4f) << v.Eye;
        EXPECT_NEAR(back.HorizontalOffset, v.Horizontal, 1e-3f) << v.Eye;
    }
}

TEST(SceneTest, TheBackgroundFillsTheViewOnlyWhenAsked)
{
    const struct {
        bool Fills;
        float Depth, Aspect;
        BackgroundQuad Expected; // 0: reaches the view's edge
    } cases[] = {
        {false, 50, 3.0f, {30, 30, -60}},
        {false, 400, 1.0f, {30, 30, -410}},
        {true, 20, 1.0f, {30, 30, -30}},
        {true, 20, 4.0f, {0, 30, -30}},
        {true, 200, 1.0f, {0, 0, -99}},
    };
    const float tanHalf = static_cast<float>(SceneLens::TanHalfFov());
    for (const auto& c : cases) {
        BoxParameters p;
        p.BackgroundFillsView = c.Fills;
        p.Depth = c.Depth;
        const BackgroundQuad quad = BackgroundOf(p, c.Aspect);
        const float edge = -quad.Z * tanHalf;
        EXPECT_EQ(quad.Z, c.Expected.Z) << c.Depth;
        EXPECT_FLOAT_EQ(quad.HalfHeight, c.Expected.HalfHeight > 0 ? c.Expected.HalfHeight : edge * 1.01f);
        EXPECT_FLOAT_EQ(quad.HalfWidth, c.Expected.HalfWidth > 0 ? c.Expected.HalfWidth : edge * 1.01f * c.Aspect);
    }
}

// Another lens moves the box along the eye's axis by its zoom: the box's
// centre stays where the classic lens shows it, the box about its size, and
// the perspective flattens as the focal length grows.
TEST(SceneTest, ALensKeepsTheProductsPlaceAndSizeAndFlattensThePerspective)
{
    BoxParameters p;
    p.EyeAngle = 20;
    p.Depth = 40;
    p.VerticalOffset = -5;
    p.HorizontalOffset = 30;
    const auto onScreen = [](const Scene& s, Vec3 box) {
        const Vec3 e = s.Seen(box);
        return Vec3{e.x / (-e.z * s.Camera.TanHalf), e.y / (-e.z * s.Camera.TanHalf), 0};
    };
    // Two vertical edges of the turned box, one nearer than the other: the
    // first's length, and how much longer the nearer shows.
    const auto edges = [&](const Scene& s) {
        const float a = onScreen(s, {1, 1, 1}).y - onScreen(s, {1, -1, 1}).y;
        const float b = onScreen(s, {1, 1, -1}).y - onScreen(s, {1, -1, -1}).y;
        return std::pair{a, std::max(a, b) / std::min(a, b)};
    };
    p.Looks.LensMm = LookLimits::ClassicLens;
    const Scene classic = SceneOf(p, 1.0f);
    const auto [classicEdge, classicConvergence] = edges(classic);
    float convergence = classicConvergence;
    for (const int lens : {35, 50, 85, 135, 200}) {
        p.Looks.LensMm = lens;
        const Scene s = SceneOf(p, 1.0f);
        EXPECT_NEAR(s.Camera.TanHalf, 12.0f / static_cast<float>(lens), 1e-6f);
        const Vec3 centre = onScreen(s, {}), classicCentre = onScreen(classic, {});
        EXPECT_NEAR(centre.x, classicCentre.x, 1e-4f) << lens;
        EXPECT_NEAR(centre.y, classicCentre.y, 1e-4f) << lens;
        const auto [edge, nearOverFar] = edges(s);
        EXPECT_NEAR(edge / classicEdge, 1.0f, 0.1f) << lens;
        EXPECT_LT(nearOverFar, convergence) << lens;
        convergence = nearOverFar;
    }
}
