// A bundle's geometry without GL: where each arrangement puts the boxes,
// which box each part of the group's mesh belongs to, and the one shadow
// that keeps each box's own outline.
#include "render/BoxGroup.h"
#include "render/StudioLooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

BoxParameters Box(float w, float h, float t)
{
    BoxParameters p;
    p.HalfWidth = w;
    p.HalfHeight = h;
    p.HalfThickness = t;
    return p;
}

const std::vector<BoxParameters> Three = {Box(0.8f, 1.0f, 0.3f), Box(0.5f, 0.7f, 0.1f), Box(1.2f, 0.4f, 0.6f)};

// The group's bounding box is centred on the origin.
void ExpectCentred(const std::vector<BoxParameters>& boxes, const std::vector<GroupPlace>& places)
{
    float low[3] = {1e9f, 1e9f, 1e9f}, high[3] = {-1e9f, -1e9f, -1e9f};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const float c[3] = {places[i].Centre.x, places[i].Centre.y, places[i].Centre.z};
        const float e[3] = {boxes[i].HalfWidth, boxes[i].HalfHeight, boxes[i].HalfThickness};
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], c[a] - e[a]);
            high[a] = std::max(high[a], c[a] + e[a]);
        }
    }
    for (int a = 0; a < 3; ++a)
        EXPECT_NEAR(low[a] + high[a], 0.0f, 1e-5f) << "axis " << a;
}

TEST(BoxGroup, RowStandsLeftToRightOnOneFloorWithTheGapBetweenAndFrontsInLine)
{
    const std::vector<GroupPlace> places = ArrangeGroup(Three, GroupArrangement::Row, 25);
    ASSERT_EQ(places.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(places[i].Turn, 0.0f);
        EXPECT_NEAR(places[i].Centre.y - Three[i].HalfHeight, places[0].Centre.y - Three[0].HalfHeight, 1e-5f);
        EXPECT_NEAR(places[i].Centre.z + Three[i].HalfThickness, places[0].Centre.z + Three[0].HalfThickness, 1e-5f);
    }
    for (std::size_t i = 1; i < 3; ++i) // 25 label units: a quarter of a world unit
        EXPECT_NEAR((places[i].Centre.x - Three[i].HalfWidth) - (places[i - 1].Centre.x + Three[i - 1].HalfWidth),
                    0.25f, 1e-5f);
    ExpectCentred(Three, places);
}

TEST(BoxGroup, StackPutsEachBoxOnTheOneBeforeCentred)
{
    const std::vector<GroupPlace> places = ArrangeGroup(Three, GroupArrangement::Stack, 50);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_NEAR(places[i].Centre.x, 0.0f, 1e-6f);
        EXPECT_NEAR(places[i].Centre.z, 0.0f, 1e-6f);
    }
    for (std::size_t i = 1; i < 3; ++i) // touching, whatever the spacing
        EXPECT_NEAR(places[i].Centre.y - Three[i].HalfHeight, places[i - 1].Centre.y + Three[i - 1].HalfHeight, 1e-5f);
    ExpectCentred(Three, places);
}

TEST(BoxGroup, FanTurnsTheOuterBoxesTowardsTheMiddleWithoutTheirFootprintsMeeting)
{
    const std::vector<BoxParameters> five(5, Box(0.8f, 1.0f, 0.3f));
    const std::vector<GroupPlace> places = ArrangeGroup(five, GroupArrangement::Fan, 0);
    EXPECT_EQ(places[2].Turn, 0.0f);
    EXPECT_EQ(places[0].Turn, 2 * GroupLimits::FanStepDegrees); // the left box faces right
    EXPECT_EQ(places[4].Turn, -places[0].Turn);
    EXPECT_EQ(places[1].Turn, -places[3].Turn);
    // The turned corners of neighbours stay apart along x.
    const auto corners = [&](std::size_t i) {
        const Mat3 turn = RotationDegrees(places[i].Turn, {0, 1, 0});
        float low = 1e9f, high = -1e9f;
        for (float sx : {-1.0f, 1.0f})
            for (float sz : {-1.0f, 1.0f}) {
                const float x = (turn * Vec3{sx * 0.8f, 0, sz * 0.3f}).x + places[i].Centre.x;
                low = std::min(low, x);
                high = std::max(high, x);
            }
        return std::pair{low, high};
    };
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_LE(corners(i - 1).second, corners(i).first + 1e-5f) << i;
}

TEST(BoxGroup, SceneTagsEachPartWithItsBoxAndPlacesItsVertices)
{
    std::vector<BoxParameters> boxes = Three;
    boxes[1].Shape.EdgeRadius = 5; // a shape of its own
    const GroupScene scene = BuildGroupScene(boxes, GroupArrangement::Row, 20);
    const std::vector<GroupPlace> places = ArrangeGroup(boxes, GroupArrangement::Row, 20);
    EXPECT_EQ(scene.Covers.size(), 3u);
    int last = 0;
    for (const MeshPart& part : scene.Mesh.Parts) {
        EXPECT_GE(part.Group, last); // in the boxes' order
        last = part.Group;
        const BoxParameters& b = boxes[static_cast<std::size_t>(part.Group)];
        const Vec3 c = places[static_cast<std::size_t>(part.Group)].Centre;
        for (const MeshVertex& v : part.Triangles) {
            EXPECT_LE(std::fabs(v.Position.x - c.x), b.HalfWidth + 1e-4f);
            EXPECT_LE(std::fabs(v.Position.y - c.y), b.HalfHeight + 1e-4f);
            EXPECT_LE(std::fabs(v.Position.z - c.z), b.HalfThickness + 1e-4f);
        }
    }
    EXPECT_EQ(last, 2);
    const BoxParameters view = GroupView(BoxParameters{}, boxes);
    EXPECT_EQ(view.HalfWidth, 1.2f);
    EXPECT_EQ(view.HalfHeight, 1.0f);
    EXPECT_EQ(view.HalfThickness, 0.6f);
}

TEST(BoxGroup, ShadowKeepsTheFloorBetweenTwoBoxesLight)
{
    // Two boxes a box's width apart, seen from above: a hard shadow under
    // each, and none in the gap the outline of the whole would fill.
    const std::vector<BoxParameters> two(2, Box(0.5f, 0.5f, 0.5f));
    const GroupScene scene = BuildGroupScene(two, GroupArrangement::Row, 100);
    BoxParameters view = GroupView(BoxParameters{}, two);
    view.SideAngle = 0;
    BoxPose pose = PoseOf(view, 0, &scene.Mesh);
    ASSERT_EQ(pose.OutlineEnds.size(), 2u);
    pose.Key = pose.Eye * Vec3{0, 1, 0}; // the key overhead: each shadow is its footprint
    const ShadowMask mask = MakeShadowMask(pose, 100, 0, 256);
    const auto alphaAt = [&](float x) {
        const int col = static_cast<int>((x - mask.MinX) / (mask.MaxX - mask.MinX) * static_cast<float>(mask.Size));
        return mask.Alpha[static_cast<std::size_t>(mask.Size / 2) * static_cast<std::size_t>(mask.Size) +
                          static_cast<std::size_t>(col)];
    };
    EXPECT_GT(alphaAt(-1.0f), 200); // under the left box (centre at x -1)
    EXPECT_GT(alphaAt(1.0f), 200);
    EXPECT_EQ(alphaAt(0.0f), 0); // the gap between them
    // A single box keeps its one outline.
    EXPECT_TRUE(PoseOf(view, 0, nullptr).OutlineEnds.empty());
}

} // namespace
