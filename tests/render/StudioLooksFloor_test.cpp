// The floor the shadow and reflection lie on: a leaning-back box seen from
// above its bottom stands on the plane of that bottom, every other view on
// the level floor, and the looks fade out, never jump, as the eye comes
// down to the floor or one floor hands over to the other.
#include "document/BoxDocument.h"
#include "render/BoxRenderer.h"
#include "render/StudioLooks.h"
#include "render/StudioLooksFloor.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

struct FloorChoiceTest : ::testing::Test {
    BoxDocument model;
    void SetUp() override { model.ResetProject(); }
    BoxParameters Form(int form)
    {
        model.SetForm(form);
        return model.Params;
    }
};

Vec3 Minus(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }

TEST_F(FloorChoiceTest, TiltedFloorFrameShowsTheSameBoxStandingOnItsBottom)
{
    BoxParameters p = Form(1);
    for (const float tilt : {-2.0f, -25.0f, 350.0f}) {
        SCOPED_TRACE(tilt);
        p.TiltAngle = tilt;
        p.Turn = 0;
        const BoxPose world = PoseOf(p);
        const BoxPose floor = PoseOf(p, tilt);
        const Mat3 toWorld = FloorToWorld(p, tilt);
        for (int i = 0; i < 8; ++i) {
            const Vec3 w = world.Corners[static_cast<std::size_t>(i)];
            const Vec3 f = floor.Corners[static_cast<std::size_t>(i)];
            // The frames differ by the floor's turn, the picture does not.
            const Vec3 back = toWorld * f;
            EXPECT_NEAR(back.x, w.x, 1e-5f);
            EXPECT_NEAR(back.y, w.y, 1e-5f);
            EXPECT_NEAR(back.z, w.z, 1e-5f);
            const Vec3 seenWorld = world.Eye * Minus(w, world.Camera);
            const Vec3 seenFloor = floor.Eye * Minus(f, floor.Camera);
            EXPECT_NEAR(seenWorld.x, seenFloor.x, 1e-4f);
            EXPECT_NEAR(seenWorld.y, seenFloor.y, 1e-4f);
            EXPECT_NEAR(seenWorld.z, seenFloor.z, 1e-4f);
            // The four bottom corners lie on the floor, the top ones above.
            if ((i & 2) == 0)
                EXPECT_NEAR(f.y, floor.FloorY, 1e-5f);
            else
                EXPECT_GT(f.y, floor.FloorY + 1.0f);
        }
    }
    // A level floor is the world itself, to the bit.
    const BoxPose level = PoseOf(p, 0), plain = PoseOf(p);
    EXPECT_EQ(std::memcmp(&level, &plain, sizeof(BoxPose)), 0);
}

TEST_F(FloorChoiceTest, KindsAtTheirOwnAnglesStandOnTheFloorThatHidesNoEdge)
{
    // Leaning back seen from above the bottom, or leaning forward: the
    // floor tilts with the box.
    for (const int form : {1, 5, 6, 7, 8}) {
        const BoxParameters p = Form(form);
        const FloorChoice floor = ChooseFloor(p);
        EXPECT_EQ(floor.Tilt, p.TiltAngle) << form;
        EXPECT_EQ(floor.Side, p.SideAngle) << form;
        EXPECT_EQ(floor.Weight, 1.0f) << form;
    }
    // Upright, or with the bottom in sight: level, full.
    for (const int form : {0, 2, 3, 4, 9}) {
        const FloorChoice floor = ChooseFloor(Form(form));
        EXPECT_EQ(floor.Tilt, 0.0f) << form;
        EXPECT_EQ(floor.Weight, 1.0f) << form;
    }
}

TEST_F(FloorChoiceTest, NoFloorSeenFromBelow)
{
    BoxParameters p = Form(1);
    p.VerticalOffset = 100.0f; // the box far over the eye
    EXPECT_EQ(ChooseFloor(p).Weight, 0.0f);
    p = Form(2);
    p.VerticalOffset = 100.0f;
    EXPECT_EQ(ChooseFloor(p).Weight, 0.0f);
    EXPECT_EQ(FloorFade(-5.0f), 0.0f);
    EXPECT_EQ(FloorFade(0.0f), 0.0f);
    EXPECT_EQ(FloorFade(FloorFadeDegrees), 1.0f);
    EXPECT_EQ(FloorFade(40.0f), 1.0f);
}

// Through a tilt sweep and an eye coming down, the weight moves in small
// steps: no hard cut-off where the eye meets a floor, no switch between
// floors at full strength.
TEST_F(FloorChoiceTest, WeightNeverJumpsThroughTiltOrEyeHeight)
{
    constexpr float Step = 0.02f;
    // The largest step a fade over FloorFadeDegrees allows, with room.
    const float limit = 3.0f * Step / FloorFadeDegrees;
    for (const int form : {1, 2, 8, 9}) {
        for (const float eye : {0.0f, 5.0f, 8.5f}) {
            SCOPED_TRACE(::testing::Message() << "form " << form << ", vertical " << eye);
            BoxParameters p = Form(form);
            p.VerticalOffset = eye;
            float previous = -1, most = 0, least = 1;
            for (int i = 0; i <= 9000; ++i) {
                p.TiltAngle = 60.0f - Step * static_cast<float>(i);
                const float weight = ChooseFloor(p).Weight;
                if (previous >= 0) {
                    ASSERT_LE(std::abs(weight - previous), limit) << "at tilt " << p.TiltAngle;
                }
                previous = weight;
                most = std::max(most, weight);
                least = std::min(least, weight);
            }
            EXPECT_EQ(most, 1.0f);
            EXPECT_LT(least, 0.01f) << "the eye meets a floor somewhere in the sweep";
        }
        // The eye coming down past the box.
        BoxParameters p = Form(form);
        float previous = -1;
        for (int i = 0; i <= 10000; ++i) {
            p.VerticalOffset = static_cast<float>(i) * 0.005f;
            const float weight = ChooseFloor(p).Weight;
            if (previous >= 0) {
                ASSERT_LE(std::abs(weight - previous), 0.05f) << "form " << form << ", vertical " << p.VerticalOffset;
            }
            previous = weight;
        }
        EXPECT_EQ(previous, 0.0f);
    }
}

TEST(FloorPassTest, OnlyATiltedFloorTurnsTheFloorPass)
{
    RecordingGL gl;
    BoxRenderer renderer{gl};
    BoxDocument model;
    model.ResetProject();
    const auto rotations = [&](int form) {
        model.SetForm(form);
        BoxParameters p = model.Params;
        p.Looks.Reflection = 30;
        gl.Reset();
        renderer.DrawFrame(p, {}, DrawFlags{});
        return gl.Calls.filter("Rotatef");
    };
    // The box's own three turns, then the floor's into its frame.
    const QStringList leaning = rotations(1);
    ASSERT_EQ(leaning.size(), 4 + 1 + 3);
    EXPECT_EQ(leaning[5], "Rotatef(28,0,1,0)");
    EXPECT_EQ(leaning[6], "Rotatef(-2,1,0,0)");
    EXPECT_EQ(leaning[7], "Rotatef(-28,0,1,0)");
    // The level floor adds only the eye's turn, as before.
    EXPECT_EQ(rotations(0).size(), 4 + 1);
}

} // namespace
