// The looks' planning and arithmetic without GL: sample plans and tiles, the
// box filters, the floor under the box, the shadow's mask and the mirrored
// faces; and the recorded calls, which must stay the classic ones with the
// looks off.
#include "document/BoxDocument.h"
#include "render/BoxRenderer.h"
#include "render/MipLevels.h"
#include "render/StudioLooks.h"
#include "render/Supersample.h"
#include "render/GLTexture.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

TEST(SamplePlanTest, TheGLAloneWhileItHasEnoughThenLargerDrawing)
{
    struct Case {
        int samples, most, factor, multisample;
    } cases[] = {
        {1, 4, 1, 1},  {2, 4, 1, 2},  {4, 4, 1, 4},  // the GL's own, as before
        {8, 4, 2, 2},  {16, 4, 2, 4}, {32, 4, 3, 4}, // software GL today
        {32, 8, 2, 8}, {16, 16, 1, 16},              // a GL with more
        {8, 0, 3, 1},  {16, 0, 4, 1}, {32, 1, 6, 1}, // no multisampling at all
    };
    for (const Case& c : cases) {
        const SamplePlan plan = PlanSamples(c.samples, c.most);
        EXPECT_EQ(plan.Factor, c.factor) << c.samples << " on " << c.most;
        EXPECT_EQ(plan.Multisample, c.multisample) << c.samples << " on " << c.most;
        EXPECT_GE(plan.Samples(), c.samples);
        EXPECT_LE(plan.Multisample, std::max(1, c.most));
    }
    EXPECT_TRUE(PlanSamples(1, 4).Single());
    EXPECT_FALSE(PlanSamples(2, 0).Single());
}

TEST(SamplePlanTest, TilesCoverTheOutputOnceWithinTheLimits)
{
    const QSize output(1800, 1000);
    for (const SamplePlan plan : {SamplePlan{1, 4}, SamplePlan{2, 4}, SamplePlan{4, 2}, SamplePlan{6, 1}}) {
        for (const int maxSide : {16384, 4096, 1000}) {
            const std::int64_t budget = std::int64_t{1} << 24;
            const std::vector<SampleTile> tiles = PlanTiles(output, plan, maxSide, budget);
            std::vector<int> hits(static_cast<std::size_t>(output.width() * output.height()), 0);
            for (const SampleTile& t : tiles) {
                EXPECT_LE(t.Width * plan.Factor, maxSide);
                EXPECT_LE(t.Height * plan.Factor, maxSide);
                EXPECT_LE(std::int64_t{t.Width} * t.Height * plan.Samples(), budget);
                for (int y = t.Y; y < t.Y + t.Height; ++y)
                    for (int x = t.X; x < t.X + t.Width; ++x)
                        ++hits[static_cast<std::size_t>(y * output.width() + x)];
            }
            EXPECT_EQ(std::count(hits.begin(), hits.end(), 1), static_cast<long>(hits.size()))
                << plan.Factor << "x" << plan.Multisample << " within " << maxSide;
        }
    }
    // A small picture in one piece.
    EXPECT_EQ(PlanTiles({200, 100}, {2, 4}, 16384, std::int64_t{1} << 25).size(), 1u);
}

TEST(BoxFilterTest, DownsampleAveragesBlocksRoundedIntoItsPlace)
{
    // 6 x 3 picture, factor 3: two output pixels, written with a stride.
    std::vector<std::uint8_t> big(6 * 3 * 4);
    for (int i = 0; i < 6 * 3; ++i) {
        const int x = i % 6;
        big[static_cast<std::size_t>(i) * 4 + 0] = x < 3 ? 255 : 0;
        big[static_cast<std::size_t>(i) * 4 + 1] = static_cast<std::uint8_t>(x < 3 && i < 6 ? 0 : 9); // 6 of 9 at 9
        big[static_cast<std::size_t>(i) * 4 + 2] = static_cast<std::uint8_t>(i == 3 ? 5 : 0);          // 5/9 rounds to 1
        big[static_cast<std::size_t>(i) * 4 + 3] = 255;
    }
    std::vector<std::uint8_t> out(4 * 4, 77);
    BoxDownsample(big.data(), 6, 3, 3, out.data(), 4);
    EXPECT_EQ(out[0], 255);
    EXPECT_EQ(out[1], 6);
    EXPECT_EQ(out[4], 0);
    EXPECT_EQ(out[5], 9);
    EXPECT_EQ(out[6], 1);
    EXPECT_EQ(out[7], 255);
    EXPECT_EQ(out[8], 77) << "beyond the row's pixels nothing is written";
}

TEST(BoxFilterTest, MipLevelsHalveToOneTexelAndKeepTheMean)
{
    const int w = 8, h = 2;
    std::vector<std::uint8_t> base(w * h * 4);
    for (int i = 0; i < w * h; ++i)
        for (int c = 0; c < 4; ++c)
            base[static_cast<std::size_t>(i * 4 + c)] = static_cast<std::uint8_t>((i % 2) ? 200 : 100);
    const std::vector<MipLevel> levels = LevelsUnder(base.data(), w, h);
    ASSERT_EQ(levels.size(), 3u);
    EXPECT_EQ(levels[0].Width, 4);
    EXPECT_EQ(levels[0].Height, 1);
    EXPECT_EQ(levels[1].Width, 2);
    EXPECT_EQ(levels[2].Width, 1);
    EXPECT_EQ(levels[2].Height, 1);
    for (const MipLevel& level : levels)
        for (std::uint8_t v : level.Pixels)
            EXPECT_EQ(v, 150);
    // Threads give the same bytes as one.
    std::vector<std::uint8_t> large(1024 * 1024 * 4);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
    EXPECT_EQ(HalveLevel(large.data(), 1024, 1024, 1).Pixels, HalveLevel(large.data(), 1024, 1024, 2).Pixels);
}

struct PoseTest : ::testing::Test {
    BoxDocument model;
    void SetUp() override
    {
        model.ResetProject();
        model.SetForm(0);
    }
};

TEST_F(PoseTest, FloorTouchesTheLowestCornerWhateverTheTurn)
{
    for (const float side : {0.0f, 30.0f, 75.0f})
        for (const float tilt : {0.0f, -20.0f, 40.0f}) {
            model.Params.SideAngle = side;
            model.Params.TiltAngle = tilt;
            model.Params.Turn = 300;
            const BoxPose pose = PoseOf(model.Params);
            float lowest = 1e9f;
            for (const Vec3& c : pose.Corners)
                lowest = std::min(lowest, c.y);
            EXPECT_EQ(pose.FloorY, lowest) << "the box stands on its floor, no gap";
            EXPECT_GT(pose.TopY, pose.FloorY);
        }
    // The eye looks down from above the floor; under it, no floor looks.
    EXPECT_TRUE(PoseOf(model.Params).EyeAboveFloor());
    model.Params.VerticalOffset = 100.0f; // the box lifted 10 units, far over the eye
    EXPECT_FALSE(PoseOf(model.Params).EyeAboveFloor());
}

TEST_F(PoseTest, LightIsNeutralAtZeroAndShadesFacesAwayFromIt)
{
    const BoxPose pose = PoseOf(model.Params);
    for (const BoxFace& face : BoxFaces)
        EXPECT_EQ(FaceBrightness(pose, FaceNormal(face), 0), 1.0f);
    const float front = FaceBrightness(pose, {0, 0, 1}, 100);
    const float left = FaceBrightness(pose, {-1, 0, 0}, 100);
    const float top = FaceBrightness(pose, {0, 1, 0}, 100);
    EXPECT_LT(left, front - 0.2f);
    EXPECT_GT(top, left + 0.2f);
    EXPECT_GT(front, 1.0f) << "the key light lights the front up";
    EXPECT_LE(top, MostBrightness);
    EXPECT_LT(FaceBrightness(pose, {-1, 0, 0}, 100), FaceBrightness(pose, {-1, 0, 0}, 30));
}

TEST_F(PoseTest, ShadowMaskIsDarkUnderTheBoxAndClearAtItsBorder)
{
    const BoxPose pose = PoseOf(model.Params);
    // The texel under the box's centre (the world's origin).
    const auto centre = [](const ShadowMask& mask) {
        const int col = static_cast<int>(-mask.MinX / (mask.MaxX - mask.MinX) * mask.Size);
        const int row = static_cast<int>(-mask.MinZ / (mask.MaxZ - mask.MinZ) * mask.Size);
        return mask.Alpha[static_cast<std::size_t>(row * mask.Size + col)];
    };
    for (const int softness : {0, 50, 100}) {
        const ShadowMask mask = MakeShadowMask(pose, 100, softness, 64);
        ASSERT_EQ(mask.Alpha.size(), 64u * 64u);
        EXPECT_GT(centre(mask), 150) << softness;
        for (int i = 0; i < 64; ++i) {
            EXPECT_LT(mask.Alpha[static_cast<std::size_t>(i)], 8) << softness;
            EXPECT_LT(mask.Alpha[static_cast<std::size_t>(i * 64 + 63)], 8) << softness;
        }
    }
    // Strength scales it; none is none.
    const ShadowMask faint = MakeShadowMask(pose, 30, 50, 64);
    const ShadowMask none = MakeShadowMask(pose, 0, 50, 64);
    EXPECT_NEAR(centre(faint), 0.3 * 0.9 * 255, 3);
    EXPECT_EQ(*std::max_element(none.Alpha.begin(), none.Alpha.end()), 0);
}

TEST_F(PoseTest, MirroredFacesLieUnderTheFloorFacingTheEyeAndFade)
{
    const BoxPose pose = PoseOf(model.Params);
    const std::vector<MirrorFace> faces = MirrorFaces(pose, 6, 100, 0);
    ASSERT_FALSE(faces.empty());
    EXPECT_LE(faces.size(), 3u) << "a box shows at most three faces";
    for (const MirrorFace& face : faces) {
        EXPECT_NE(face.Face, 2) << "the top is not seen in the mirror from above";
        ASSERT_EQ(face.Quads.size() % 4, 0u);
        for (const MirrorVertex& v : face.Quads) {
            EXPECT_LE(v.Position.y, pose.FloorY + 1e-5f);
            EXPECT_GE(v.Alpha, 0.0f);
            EXPECT_LE(v.Alpha, 1.0f);
            // The further under the floor, the fainter.
            const float depth = pose.FloorY - v.Position.y;
            if (depth < 1e-4f) {
                EXPECT_GT(v.Alpha, 0.95f);
            }
        }
    }
    EXPECT_TRUE(MirrorFaces(pose, 6, 0, 0).empty());
}

TEST_F(PoseTest, MirrorMeetsTheBoxAtItsEdgeAndLeavesOutTheBottomItStandsOn)
{
    model.Params.SideAngle = 20.0f;
    model.Params.TiltAngle = 0.0f;
    const BoxPose pose = PoseOf(model.Params);
    const std::vector<MirrorFace> faces = MirrorFaces(pose, 6, 100, 0);
    ASSERT_FALSE(faces.empty());
    float highest = -1e9f;
    for (const MirrorFace& face : faces) {
        EXPECT_NE(face.Face, 3) << "the bottom lies on the floor, hidden under the box";
        for (const MirrorVertex& v : face.Quads)
            highest = std::max(highest, v.Position.y);
    }
    EXPECT_EQ(highest, pose.FloorY) << "the mirror image starts at the box's own edge";
    // Raised by the overlap, it reaches just under that edge.
    float raised = -1e9f;
    for (const MirrorFace& face : MirrorFaces(pose, 6, 100, 0, 8, 0.001f))
        for (const MirrorVertex& v : face.Quads)
            raised = std::max(raised, v.Position.y);
    EXPECT_NEAR(raised, pose.FloorY + 0.001f, 1e-6f);
    // A quarter pixel: halved by twice the pixels, never zero with a projection.
    const float focal = 1.0f / std::tan(22.5f * 3.14159265f / 180.0f);
    const float quarter = QuarterPixel(pose, focal, 1000);
    EXPECT_GT(quarter, 1e-4f);
    EXPECT_LT(quarter, 1e-2f);
    EXPECT_NEAR(QuarterPixel(pose, focal, 2000), quarter / 2, 1e-7f);
    EXPECT_EQ(QuarterPixel(pose, 0.0f, 1000), 0.0f) << "unknown projection: no overlap";
}

TEST_F(PoseTest, CardStandsOnTheFaceTurnedToTheEye)
{
    model.SetForm(3); // a card, leaning back
    const BoxPose pose = PoseOf(model.Params);
    ASSERT_LE(model.Params.HalfThickness, ThinCardLimit);
    // The front (z plus) is the face the eye sees: the floor is at its lowest corner.
    float front = 1e9f, all = 1e9f;
    for (int i = 0; i < 8; ++i) {
        all = std::min(all, pose.Corners[static_cast<std::size_t>(i)].y);
        if (i & 4)
            front = std::min(front, pose.Corners[static_cast<std::size_t>(i)].y);
    }
    EXPECT_LT(all, front) << "the back face dips lower, a hair behind";
    EXPECT_EQ(pose.FloorY, front);
}

struct RecordedLooksTest : ::testing::Test {
    RecordingGL gl;
    BoxRenderer renderer{gl};
    BoxDocument model;
    void SetUp() override
    {
        model.ResetProject();
        model.SetForm(0);
    }
    QStringList Frame(const BoxLooks& looks, const SlotTextures& textures = {})
    {
        gl.Reset();
        BoxParameters p = model.Params;
        p.Looks = looks;
        renderer.DrawFrame(p, textures, DrawFlags{});
        return gl.Calls;
    }
};

TEST_F(RecordedLooksTest, LooksOffMakeTheClassicCallsOnly)
{
    const QStringList classic = Frame({});
    BoxLooks samplesOnly;
    samplesOnly.Samples = 32;
    samplesOnly.ShadowSoftness = 0;
    EXPECT_EQ(Frame(samplesOnly), classic);
    for (const QString& call : classic)
        EXPECT_FALSE(call.startsWith("Blend") || call.startsWith("DepthMask") || call.startsWith("ColorMask") ||
                     call.startsWith("PolygonOffset") || call.contains("GL_POLYGON_OFFSET_FILL"));
}

TEST_F(RecordedLooksTest, FloorLooksPutTheStateBackForTheNextClassicFrame)
{
    BoxLooks looks{60, 50, 30, 40, false, 1};
    const QStringList calls = Frame(looks);
    EXPECT_EQ(calls.count("Enable(GL_BLEND)"), 1);
    EXPECT_EQ(calls.count("Disable(GL_BLEND)"), 1);
    EXPECT_LT(calls.indexOf("Disable(GL_BLEND)"), calls.indexOf("Flush()"));
    EXPECT_EQ(calls.count("DepthMask(0)"), 1);
    EXPECT_EQ(calls.count("DepthMask(1)"), 1);
    EXPECT_EQ(calls.count("ColorMask(1,1,1,0)"), 1) << "the background's alpha is kept";
    EXPECT_EQ(calls.count("ColorMask(1,1,1,1)"), 1);
    EXPECT_EQ(calls.count("Enable(GL_POLYGON_OFFSET_FILL)"), 1) << "the box wins where the floor meets it";
    EXPECT_EQ(calls.count("Disable(GL_POLYGON_OFFSET_FILL)"), 1);
    EXPECT_LT(calls.indexOf("Disable(GL_POLYGON_OFFSET_FILL)"), calls.indexOf("Flush()"));
    // The shadow's texture is made once and reused.
    EXPECT_EQ(calls.count("GenTextures(1)"), 1);
    EXPECT_EQ(Frame(looks).count("GenTextures(1)"), 0);
    // Shadow and reflection come after the background.
    EXPECT_GT(calls.indexOf("Enable(GL_BLEND)"), calls.indexOf("ColorMaterial(GL_FRONT,GL_AMBIENT_AND_DIFFUSE)"));
}

TEST_F(RecordedLooksTest, TexturesFollowTheSmoothLookAndBackOnlyWhenTheyWereSmooth)
{
    GLTexture texture(gl);
    QImage image(4, 4, QImage::Format_RGB888);
    image.fill(Qt::red);
    const RgbaPicture picture = PictureOfImage(image);
    texture.Upload(picture);
    const SlotTextures slots = {&texture, nullptr, nullptr};
    // A never-smooth texture is not touched with the look off.
    EXPECT_TRUE(Frame({}, slots).filter("TexParameter").isEmpty());

    gl.Extensions = "GL_ARB_multisample GL_EXT_texture_filter_anisotropic";
    gl.MaxAnisotropy = 16.0f;
    BoxLooks smooth;
    smooth.SmoothTextures = true;
    const QStringList on = Frame(smooth, slots);
    EXPECT_TRUE(on.contains("TexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MIN_FILTER,GL_LINEAR_MIPMAP_LINEAR)"));
    EXPECT_TRUE(on.contains("TexParameterf(GL_TEXTURE_2D,GL_TEXTURE_MAX_ANISOTROPY_EXT,8)"));
    EXPECT_TRUE(texture.Smooth());
    // Once smooth, no further calls while the look stays.
    EXPECT_TRUE(Frame(smooth, slots).filter("TexParameter").isEmpty());
    const QStringList off = Frame({}, slots);
    EXPECT_TRUE(off.contains("TexParameteri(GL_TEXTURE_2D,GL_TEXTURE_MIN_FILTER,GL_LINEAR)"));
    EXPECT_TRUE(off.contains("TexParameterf(GL_TEXTURE_2D,GL_TEXTURE_MAX_ANISOTROPY_EXT,1)"));
    EXPECT_FALSE(texture.Smooth());
    // A new picture in the texture is sharp until the next smooth frame.
    Frame(smooth, slots);
    texture.Upload(picture);
    EXPECT_FALSE(texture.Smooth());
}

} // namespace
