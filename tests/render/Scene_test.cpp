// The scene's own rules: the view's depth and offsets come back from its
// shift, and the flat background is the classic quad unless asked to fill
// the view, then reaching its edges, never beyond the far plane.
#include "render/Scene.h"

#include <gtest/gtest.h>

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
