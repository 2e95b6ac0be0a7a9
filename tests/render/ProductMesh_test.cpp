// The rounded shapes' geometry without GL: a closed surface at the right
// distance from its inner box, smooth normals, pictures laid by arc length
// in the classic orientation, the card's rounded corners, and the looks'
// floor, shadow and reflection following the mesh.
#include "document/BoxDocument.h"
#include "render/EyeLift.h"
#include "render/MeshMirror.h"
#include "render/ProductMesh.h"
#include "render/StudioLooks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>

namespace {

BoxParameters Kind(int form, float radius)
{
    BoxDocument model;
    model.ResetProject();
    model.SetForm(form);
    BoxParameters p = model.Params;
    p.Shape.EdgeRadius = radius;
    return p;
}

bool IsCard(int form)
{
    return Kind(form, 0).HalfThickness <= ThinCardLimit;
}

Vec3 Sub(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

using Key = std::array<float, 3>;
Key KeyOf(Vec3 v)
{
    return {v.x, v.y, v.z};
}

TEST(ProductMeshTest, EveryShapeOffOrNoRadiusLeavesTheClassicQuads)
{
    EXPECT_TRUE(BuildProductMesh(Kind(0, 0)).Empty());
    EXPECT_TRUE(BuildProductMesh(Kind(8, -5)).Empty());
    EXPECT_TRUE(BuildProductMesh(Kind(3, 0)).Empty());
    EXPECT_FALSE(BuildProductMesh(Kind(0, 10)).Empty());
}

TEST(ProductMeshTest, RadiusIsClampedToTheThinnestHalfExtentAndSegmentsGrowWithIt)
{
    const BoxParameters box = Kind(0, 100); // a software box 0.3 thick
    EXPECT_FLOAT_EQ(EdgeRadiusOf(box),
                    std::min({box.HalfWidth, box.HalfHeight, box.HalfThickness}));
    EXPECT_FLOAT_EQ(EdgeRadiusOf(Kind(0, 12)), 0.12f);
    // The card has no thickness to round: its corners take its width or height.
    const BoxParameters card = Kind(3, 100);
    EXPECT_FLOAT_EQ(EdgeRadiusOf(card), std::min(card.HalfWidth, card.HalfHeight));
    BoxParameters odd = box;
    odd.Shape.EdgeRadius = std::nanf("");
    EXPECT_EQ(EdgeRadiusOf(odd), 0.0f);

    EXPECT_EQ(RoundSegments(0.0001f), 2);
    EXPECT_LE(RoundSegments(0.05f), RoundSegments(0.3f));
    EXPECT_LT(RoundSegments(0.05f), RoundSegments(1.0f));
    EXPECT_EQ(RoundSegments(1.0f), 12);
    EXPECT_EQ(RoundSegments(100.0f), 12);
}

// Every kind with a thickness, a small, a middle and the largest radius (the
// thinnest side fully round, its flat part gone).
TEST(ProductMeshTest, RoundedBlockIsClosedWithoutSeamAndRoundedByTheRadius)
{
    for (int form = 0; form < FormCount; ++form) {
        if (IsCard(form))
            continue;
        for (const float asked : {2.0f, 15.0f, 100.0f}) {
            const BoxParameters p = Kind(form, asked);
            const float r = EdgeRadiusOf(p);
            const ProductMesh mesh = BuildProductMesh(p);
            ASSERT_EQ(mesh.Parts.size(), 6u);
            const Vec3 inner{p.HalfWidth - r, p.HalfHeight - r, p.HalfThickness - r};
            // Each directed edge is met once the other way round, by the
            // exact same positions: closed, no crack, consistent winding.
            std::map<std::pair<Key, Key>, int> edges;
            std::map<Key, Key> normals;
            float most[3] = {0, 0, 0};
            for (std::size_t side = 0; side < mesh.Parts.size(); ++side) {
                const MeshPart& part = mesh.Parts[side];
                EXPECT_EQ(part.Side, static_cast<BoxSide>(side));
                EXPECT_EQ(part.Surface, MeshSurface::Cover);
                ASSERT_EQ(part.Triangles.size() % 3, 0u);
                for (std::size_t i = 0; i < part.Triangles.size(); ++i) {
                    const MeshVertex& v = part.Triangles[i];
                    const MeshVertex& next = part.Triangles[i - i % 3 + (i + 1) % 3];
                    ++edges[{KeyOf(v.Position), KeyOf(next.Position)}];
                    // At the distance r from the inner box, along the normal.
                    const Vec3 nearest{std::clamp(v.Position.x, -inner.x, inner.x),
                                       std::clamp(v.Position.y, -inner.y, inner.y),
                                       std::clamp(v.Position.z, -inner.z, inner.z)};
                    const Vec3 out = Sub(v.Position, nearest);
                    ASSERT_NEAR(Length(out), r, 1e-5f) << form << " r " << r;
                    EXPECT_NEAR(Length(v.Normal), 1.0f, 1e-5f);
                    EXPECT_NEAR(out.x, r * v.Normal.x, 1e-5f);
                    EXPECT_NEAR(out.y, r * v.Normal.y, 1e-5f);
                    EXPECT_NEAR(out.z, r * v.Normal.z, 1e-5f);
                    // One normal per point, whichever face it belongs to: smooth.
                    const auto seen = normals.emplace(KeyOf(v.Position), KeyOf(v.Normal));
                    EXPECT_EQ(seen.first->second, KeyOf(v.Normal)) << form;
                    most[0] = std::max(most[0], std::abs(v.Position.x));
                    most[1] = std::max(most[1], std::abs(v.Position.y));
                    most[2] = std::max(most[2], std::abs(v.Position.z));
                }
            }
            for (const auto& [edge, count] : edges) {
                EXPECT_EQ(count, 1) << form;
                const auto back = edges.find({edge.second, edge.first});
                ASSERT_NE(back, edges.end())
                    << "an open edge, form " << form << " radius " << asked;
                EXPECT_EQ(back->second, 1);
            }
            // The flat faces stay where the classic faces are.
            EXPECT_NEAR(most[0], p.HalfWidth, 1e-5f);
            EXPECT_NEAR(most[1], p.HalfHeight, 1e-5f);
            EXPECT_NEAR(most[2], p.HalfThickness, 1e-5f);
        }
    }
}

TEST(ProductMeshTest, EachPictureKeepsTheClassicOrientationAndIsLaidByArcLength)
{
    const BoxParameters p = Kind(0, 30);
    const ProductMesh mesh = BuildProductMesh(p);
    ASSERT_EQ(mesh.Parts.size(), 6u);
    for (int f = 0; f < 6; ++f) {
        const MeshPart& part = mesh.Parts[static_cast<std::size_t>(f)];
        // The vertex nearest a classic corner shows that corner of the picture.
        for (const FaceCorner& c : BoxFaces[f].Corners) {
            const Vec3 corner{c.x * p.HalfWidth, c.y * p.HalfHeight, c.z * p.HalfThickness};
            const MeshVertex* nearest = &part.Triangles.front();
            for (const MeshVertex& v : part.Triangles)
                if (Length(Sub(v.Position, corner)) < Length(Sub(nearest->Position, corner)))
                    nearest = &v;
            EXPECT_FLOAT_EQ(nearest->S, c.s) << "face " << f;
            EXPECT_FLOAT_EQ(nearest->T, c.t) << "face " << f;
        }
    }
    // Across the front at mid height, from the middle of the left round to
    // the middle of the right one: the picture advances with the distance
    // travelled, over the round as on the flat, with no band squeezed or
    // stretched.
    std::vector<MeshVertex> row;
    for (const MeshVertex& v : mesh.Parts[0].Triangles)
        if (std::abs(v.Position.y) < 1e-6f &&
            std::none_of(row.begin(), row.end(),
                         [&](const MeshVertex& o) { return o.Position.x == v.Position.x; }))
            row.push_back(v);
    std::sort(row.begin(), row.end(),
              [](const MeshVertex& a, const MeshVertex& b) { return a.Position.x < b.Position.x; });
    ASSERT_GE(row.size(), 10u);
    EXPECT_FLOAT_EQ(row.front().S, 0.0f);
    EXPECT_FLOAT_EQ(row.back().S, 1.0f);
    float travelled = 0;
    for (std::size_t i = 1; i < row.size(); ++i)
        travelled += Length(Sub(row[i].Position, row[i - 1].Position));
    for (std::size_t i = 1; i < row.size(); ++i) {
        const float step = Length(Sub(row[i].Position, row[i - 1].Position));
        EXPECT_NEAR((row[i].S - row[i - 1].S) * travelled, step, 0.01f * step) << i;
    }
}

TEST(ProductMeshTest, CardHasTwoFlatFacesWithRoundedCornersAndItsPictureLaidFlat)
{
    const BoxParameters p = Kind(3, 40);
    const float r = EdgeRadiusOf(p);
    const ProductMesh mesh = BuildProductMesh(p);
    ASSERT_EQ(mesh.Parts.size(), 2u);
    float farthest = 0;
    for (std::size_t f = 0; f < 2; ++f) {
        const float sign = f == 0 ? 1.0f : -1.0f;
        for (const MeshVertex& v : mesh.Parts[f].Triangles) {
            EXPECT_EQ(v.Position.z, sign * p.HalfThickness);
            EXPECT_EQ(v.Normal.z, sign);
            // Inside the rounded rectangle.
            const float dx = std::max(0.0f, std::abs(v.Position.x) - (p.HalfWidth - r));
            const float dy = std::max(0.0f, std::abs(v.Position.y) - (p.HalfHeight - r));
            EXPECT_LE(std::hypot(dx, dy), r + 1e-5f);
            farthest = std::max(farthest, std::abs(v.Position.x) + std::abs(v.Position.y));
            // The classic card's picture, where the point lies.
            const float u = (v.Position.x / p.HalfWidth + 1) / 2,
                        w = (v.Position.y / p.HalfHeight + 1) / 2;
            EXPECT_NEAR(v.S, f == 0 ? u : 1 - u, 1e-5f);
            EXPECT_NEAR(v.T, w, 1e-5f);
        }
    }
    // The sharp corner is cut off: the farthest point is on the arc.
    EXPECT_NEAR(farthest, p.HalfWidth + p.HalfHeight - (2 - std::sqrt(2.0f)) * r, 1e-3f);
}

TEST(ProductMeshTest, TheFloorIsUnderTheMeshsLowestPoint)
{
    // The hard-cover book leans back: its lowest sharp corner is rounded off.
    const BoxParameters p = Kind(8, 60);
    const ProductMesh mesh = BuildProductMesh(p);
    const BoxPose sharp = PoseOf(p);
    const BoxPose round = PoseOf(p, 0, &mesh);
    float low = 1e30f, high = -1e30f;
    for (const MeshPart& part : mesh.Parts)
        for (const MeshVertex& v : part.Triangles) {
            low = std::min(low, (round.Box * v.Position).y);
            high = std::max(high, (round.Box * v.Position).y);
        }
    EXPECT_EQ(round.FloorY, low);
    EXPECT_EQ(round.TopY, high);
    EXPECT_GT(round.FloorY, sharp.FloorY + 0.01f);
    EXPECT_LT(round.TopY, sharp.TopY - 0.01f);
    EXPECT_TRUE(PoseOf(p).Points.empty());
}

TEST(ProductMeshTest, ShadowFootprintHasTheMeshsRoundedCorners)
{
    BoxParameters p = Kind(0, 100);
    p.SideAngle = 0; // the footprint's sides along the floor's axes
    const ProductMesh mesh = BuildProductMesh(p);
    // The key light overhead: the shadow is the footprint itself.
    BoxPose sharpPose = PoseOf(p), roundPose = PoseOf(p, 0, &mesh);
    sharpPose.Key = roundPose.Key = sharpPose.Eye * Vec3{0, 1, 0};
    const ShadowMask sharp = MakeShadowMask(sharpPose, 100, 0, 128);
    const ShadowMask round = MakeShadowMask(roundPose, 100, 0, 128);
    ASSERT_EQ(round.Alpha.size(), sharp.Alpha.size());
    // Nearly the same frame: the round box's smaller contact widens the blur's margin a little.
    EXPECT_NEAR(round.MinX, sharp.MinX, 0.1f * p.HalfWidth);
    EXPECT_NEAR(round.MaxZ, sharp.MaxZ, 0.1f * p.HalfWidth);
    const auto at = [](const ShadowMask& m, float x, float z) {
        const int col =
            static_cast<int>((x - m.MinX) / (m.MaxX - m.MinX) * static_cast<float>(m.Size));
        const int row =
            static_cast<int>((z - m.MinZ) / (m.MaxZ - m.MinZ) * static_cast<float>(m.Size));
        return static_cast<int>(m.Alpha[static_cast<std::size_t>(row * m.Size + col)]);
    };
    const float w = p.HalfWidth, t = p.HalfThickness;
    // Near a corner of the footprint: dark under the sharp box, light under
    // the round one; in the middle of a side and at the centre, alike.
    EXPECT_GT(at(sharp, w * 0.95f, t * 0.85f), 180);
    EXPECT_LT(at(round, w * 0.95f, t * 0.85f), at(sharp, w * 0.95f, t * 0.85f) - 100);
    // The rounded edge rises off the floor: a little lighter there.
    EXPECT_NEAR(at(round, 0, t * 0.9f), at(sharp, 0, t * 0.9f), 30);
    EXPECT_NEAR(at(round, 0, 0), at(sharp, 0, 0), 1);
}

TEST(ProductMeshTest, ReflectionMirrorsTheTrianglesTurnedToTheEyeUnderTheFloor)
{
    const BoxParameters p = Kind(0, 40);
    const ProductMesh mesh = BuildProductMesh(p);
    const BoxPose pose = PoseOf(p, 0, &mesh);
    const std::vector<MirrorPart> parts = MirrorMesh(pose, mesh, 50, 60);
    ASSERT_FALSE(parts.empty());
    std::size_t drawn = 0, total = 0;
    for (const MeshPart& part : mesh.Parts)
        total += part.Triangles.size();
    bool sawShade = false;
    for (const MirrorPart& m : parts) {
        ASSERT_LT(m.Part, mesh.Parts.size());
        ASSERT_EQ(m.Triangles.size() % 3, 0u);
        drawn += m.Triangles.size();
        for (const MirrorMeshVertex& v : m.Triangles) {
            EXPECT_LE(v.Position.y, pose.FloorY + 1e-5f);
            EXPECT_GE(v.Alpha, 0.0f);
            EXPECT_LE(v.Alpha, 0.5f);
            sawShade = sawShade || v.Brightness < 0.99f;
        }
    }
    // About half the surface faces the eye; the top never shows in a mirror.
    EXPECT_LT(drawn, total * 6 / 10);
    EXPECT_GT(drawn, total / 10);
    EXPECT_TRUE(sawShade);
    for (const MirrorPart& m : parts)
        EXPECT_NE(mesh.Parts[m.Part].Side, BoxSide::Top);
}

TEST(ProductMeshTest, ClassicBlockIsTheQuadsAsOutwardTrianglesOfEveryKind)
{
    for (int form = 0; form < 8; ++form) {
        SCOPED_TRACE(form);
        const BoxParameters p = Kind(form, 0);
        const ProductMesh mesh = SurfaceMeshOf(p);
        ASSERT_EQ(mesh.Parts.size(), IsCard(form) ? 2u : 6u);
        float area = 0;
        std::map<std::pair<Key, Key>, int> edges;
        for (std::size_t f = 0; f < mesh.Parts.size(); ++f) {
            const MeshPart& part = mesh.Parts[f];
            EXPECT_EQ(part.Side, static_cast<BoxSide>(f));
            ASSERT_EQ(part.Triangles.size(), 6u);
            for (std::size_t i = 0; i < 6; i += 3) {
                const Vec3 a = part.Triangles[i].Position, b = part.Triangles[i + 1].Position,
                           c = part.Triangles[i + 2].Position;
                const Vec3 n = Cross(Sub(b, a), Sub(c, a));
                const Vec3 outward = part.Triangles[i].Normal;
                // Counter-clockwise from outside: the winding agrees with the normal.
                EXPECT_GT(n.x * outward.x + n.y * outward.y + n.z * outward.z, 0);
                area += Length(n) / 2;
                const Vec3 corners[3] = {a, b, c};
                for (int e = 0; e < 3; ++e)
                    ++edges[{KeyOf(corners[e]), KeyOf(corners[(e + 1) % 3])}];
            }
            // The picture spans the whole face, corner to corner.
            float minS = 1, maxS = 0, minT = 1, maxT = 0;
            for (const MeshVertex& v : part.Triangles) {
                minS = std::min(minS, v.S), maxS = std::max(maxS, v.S);
                minT = std::min(minT, v.T), maxT = std::max(maxT, v.T);
                EXPECT_FLOAT_EQ(std::fabs(v.Position.x), p.HalfWidth);
                EXPECT_FLOAT_EQ(std::fabs(v.Position.y), p.HalfHeight);
            }
            EXPECT_EQ(minS, 0);
            EXPECT_EQ(maxS, 1);
            EXPECT_EQ(minT, 0);
            EXPECT_EQ(maxT, 1);
        }
        const float w = 2 * p.HalfWidth, h = 2 * p.HalfHeight, d = 2 * p.HalfThickness;
        EXPECT_NEAR(area, IsCard(form) ? 2 * w * h : 2 * (w * h + w * d + h * d), 1e-4f);
        if (!IsCard(form)) {
            // Closed: every edge is met once each way by its two triangles.
            for (const auto& [edge, count] : edges) {
                EXPECT_EQ(count, 1);
                EXPECT_EQ(edges.count({edge.second, edge.first}), 1u);
            }
        }
    }
    EXPECT_GT(SurfaceMeshOf(Kind(0, 10)).Parts[0].Triangles.size(), 6u); // a shape is its own mesh
}

} // namespace
