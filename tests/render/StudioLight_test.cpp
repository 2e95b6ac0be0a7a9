// The one studio light the raster looks follow: the faces shaded (and lit
// up) from its key light, the shadow thrown away from it, sharp and dark
// where the box touches its floor and soft further off, and the floor the
// plane of the box's bottom in every view.
#include "document/BoxDocument.h"
#include "render/EyeLift.h"
#include "render/StudioLight.h"
#include "render/StudioLooks.h"
#include "render/StudioLooksFloor.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct StudioLightTest : ::testing::Test {
    BoxDocument model;
    void SetUp() override { model.ResetProject(); }
    BoxParameters Form(int form)
    {
        model.SetForm(form);
        return model.Params;
    }
};


// Alpha-weighted centre of a mask, in floor units.
struct MaskCentre {
    double X = 0, Z = 0;
};
MaskCentre CentreOf(const ShadowMask& mask)
{
    double x = 0, z = 0, sum = 0;
    for (int row = 0; row < mask.Size; ++row)
        for (int col = 0; col < mask.Size; ++col) {
            const double a = mask.Alpha[static_cast<std::size_t>(row * mask.Size + col)];
            x += a * (mask.MinX + (col + 0.5) * (mask.MaxX - mask.MinX) / mask.Size);
            z += a * (mask.MinZ + (row + 0.5) * (mask.MaxZ - mask.MinZ) / mask.Size);
            sum += a;
        }
    return {x / sum, z / sum};
}

int AlphaAt(const ShadowMask& mask, float x, float z)
{
    const int col = static_cast<int>((x - mask.MinX) / (mask.MaxX - mask.MinX) * mask.Size);
    const int row = static_cast<int>((z - mask.MinZ) / (mask.MaxZ - mask.MinZ) * mask.Size);
    if (col < 0 || row < 0 || col >= mask.Size || row >= mask.Size)
        return 0;
    return mask.Alpha[static_cast<std::size_t>(row * mask.Size + col)];
}

TEST_F(StudioLightTest, FacesAreShadedFromTheKeyLightAndLitFacesBrighten)
{
    // The kinds' own views turn the front to the key light: lit above its
    // cover's own colour; the side turned from the light darker than its cover.
    for (const int form : {0, 1, 2, 5, 7, 8}) {
        SCOPED_TRACE(form);
        const BoxParameters own = Form(form);
        const BoxPose seen = PoseOf(own);
        const StudioLight light = StudioLightFor(own);
        EXPECT_EQ(seen.Key.x, light.KeyDirection.x);
        EXPECT_EQ(seen.Key.y, light.KeyDirection.y);
        EXPECT_EQ(seen.Key.z, light.KeyDirection.z);
        EXPECT_GT(FaceBrightness(seen, {0, 0, 1}, 100), 1.05f);
        EXPECT_LT(FaceBrightness(seen, {-1, 0, 0}, 100), 0.8f);
    }
    // Brightest of all where the face looks straight at the key light (the
    // eye frame is the box frame here, the eye looking level).
    BoxParameters p = Form(2);
    p.SideAngle = 0;
    const BoxPose pose = PoseOf(p);
    const StudioLight light = StudioLightFor(p);
    ASSERT_EQ(p.EyeAngle, 0);
    const float most = FaceBrightness(pose, light.KeyDirection, 100);
    for (const Vec3 n : {Vec3{0, 0, 1}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0.6f, 0, 0.8f}})
        EXPECT_GT(most, FaceBrightness(pose, n, 100));
    EXPECT_LE(most, MostBrightness);
    // The light stands in the studio: looking from higher or dragging the
    // view up or down moves the camera, not the light on the faces.
    for (const Vec3 n : {Vec3{0, 0, 1}, Vec3{-1, 0, 0}, Vec3{0, 1, 0}}) {
        BoxParameters moved = p;
        moved.EyeAngle = 40;
        EXPECT_NEAR(FaceBrightness(PoseOf(moved), n, 100), FaceBrightness(pose, n, 100), 1e-5f);
        moved.TiltAngle = 25;
        EXPECT_NEAR(FaceBrightness(PoseOf(moved), n, 100), FaceBrightness(pose, n, 100), 1e-5f);
    }
    // A lower light setting stays closer to the cover.
    EXPECT_LT(FaceBrightness(pose, {0, 0, 1}, 30), FaceBrightness(pose, {0, 0, 1}, 100));
    EXPECT_GT(FaceBrightness(pose, {0, 0, 1}, 30), 1.0f);
}

TEST_F(StudioLightTest, ShadowFallsAwayFromTheKeyLight)
{
    BoxParameters p = Form(2);
    p.SideAngle = 0;
    BoxPose pose = PoseOf(p);
    ASSERT_GT(pose.Key.x, 0.1f) << "the key light is right of the eye";
    const MaskCentre right = CentreOf(MakeShadowMask(pose, 80, 30));
    EXPECT_LT(right.X, -0.2 * p.HalfWidth) << "thrown to the left";
    EXPECT_LT(right.Z, -0.2 * p.HalfThickness) << "thrown back, away from the light in front";
    // The light moved to the other side throws the shadow to the other side.
    pose.Key.x = -pose.Key.x;
    const MaskCentre left = CentreOf(MakeShadowMask(pose, 80, 30));
    EXPECT_NEAR(left.X, -right.X, 0.05 * p.HalfWidth);
    EXPECT_NEAR(left.Z, right.Z, 0.05 * p.HalfThickness);
    // A light straight overhead keeps the shadow under the box.
    pose.Key = {0, 1, 0};
    const MaskCentre under = CentreOf(MakeShadowMask(pose, 80, 30));
    EXPECT_NEAR(under.X, 0, 0.02 * p.HalfWidth);
    EXPECT_NEAR(under.Z, 0, 0.02 * p.HalfThickness);
}

TEST_F(StudioLightTest, ShadowIsDarkAndSharpAtTheContactAndSoftFarAway)
{
    BoxParameters p = Form(2);
    p.SideAngle = 0;
    BoxPose pose = PoseOf(p);
    // From the right alone, level with the box's top over its foot: the
    // shadow runs along x, its tip a box height away from the foot.
    pose.Eye = Mat3{};
    pose.Key = {std::sqrt(0.5f), std::sqrt(0.5f), 0};
    const ShadowMask mask = MakeShadowMask(pose, 100, 30, 256);
    const float foot = -p.HalfWidth, height = 2 * p.HalfHeight;
    const int near = AlphaAt(mask, foot - 0.1f * height, 0);
    const int far = AlphaAt(mask, foot - 0.85f * height, 0);
    EXPECT_GT(near, far + 30) << "darker next to the box than far from it";
    EXPECT_GT(far, 20) << "the far part is still shadow";
    // Across the shadow (along z) the edge is sharper at the foot.
    const auto edgeWidth = [&](float x) {
        // How far the alpha takes to fall from 80% to 20% of its middle value.
        const int middle = AlphaAt(mask, x, 0);
        float inner = 0, outer = 0;
        for (float z = 0; z < 2 * height; z += 0.002f) {
            const int a = AlphaAt(mask, x, z);
            if (inner == 0 && a < 0.8 * middle)
                inner = z;
            if (outer == 0 && a < 0.2 * middle)
                outer = z;
        }
        EXPECT_GT(outer, inner) << "the shadow fades out within the mask at " << x;
        return outer - inner;
    };
    EXPECT_LT(2 * edgeWidth(foot - 0.1f * height), edgeWidth(foot - 0.85f * height));
}

// Every kind's own view, and views dragged up and down: the floor is the
// plane of the bottom face, so the bottom's four corners lie on it.
TEST_F(StudioLightTest, FloorIsThePlaneOfTheBottomInTiltedViews)
{
    for (int form = 0; form < FormCount; ++form)
        for (const float drag : {0.0f, 15.0f, 30.0f, -8.0f}) {
            SCOPED_TRACE(::testing::Message() << "form " << form << ", tilt +" << drag);
            BoxParameters p = Form(form);
            p.TiltAngle += drag;
            const BoxPose bottomPose = PoseOf(p, p.TiltAngle);
            if (EyeElevation(bottomPose) <= 0)
                continue; // the eye sees the bottom: the level floor is right
            const FloorChoice floor = ChooseFloor(p);
            EXPECT_EQ(floor.Tilt, p.TiltAngle);
            EXPECT_EQ(floor.Side, p.SideAngle);
            EXPECT_GT(floor.Weight, 0.0f);
            if (p.HalfThickness <= ThinCardLimit)
                continue; // a card stands on the face seen, checked elsewhere
            const BoxPose pose = PoseOf(p, floor.Tilt);
            for (int i = 0; i < 8; ++i) {
                if ((i & 2) == 0)
                    EXPECT_NEAR(pose.Corners[static_cast<std::size_t>(i)].y, pose.FloorY, 1e-5f) << i;
                else
                    EXPECT_GT(pose.Corners[static_cast<std::size_t>(i)].y, pose.FloorY + 0.01f) << i;
            }
            // Seen from the floor, the eye looks down at it.
            EXPECT_GT(pose.Camera.y, pose.FloorY);
        }
    // The CD case's and the shoe box's own views lean forward: their floors tilt.
    EXPECT_EQ(ChooseFloor(Form(5)).Tilt, 16.0f);
    EXPECT_EQ(ChooseFloor(Form(7)).Tilt, 6.0f);
    EXPECT_EQ(ChooseFloor(Form(5)).Weight, 1.0f);
}

} // namespace

namespace {

// The plane the ray tracer takes: the same floor, in the world's frame.
TEST_F(StudioLightTest, FloorPlaneHoldsTheBottomCornersInTheWorld)
{
    for (const int form : {0, 1, 5, 7, 8}) {
        SCOPED_TRACE(form);
        const BoxParameters p = Form(form);
        const FloorPlane plane = FloorPlaneOf(p);
        EXPECT_NEAR(Dot(plane.Normal, plane.Normal), 1.0f, 1e-5f);
        EXPECT_EQ(plane.Weight, ChooseFloor(p).Weight);
        const BoxPose world = PoseOf(p);
        for (int i = 0; i < 8; ++i) {
            const float above = Dot(plane.Normal, world.Corners[static_cast<std::size_t>(i)]) - plane.Height;
            if ((i & 2) == 0)
                EXPECT_NEAR(above, 0.0f, 1e-5f) << i;
            else
                EXPECT_GT(above, 0.01f) << i;
        }
        EXPECT_GT(Dot(plane.Normal, world.Camera), plane.Height) << "the eye is above the floor";
    }
}

} // namespace
