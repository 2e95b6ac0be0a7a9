#include "render/BoxGroup.h"

#include "render/EyeLift.h"
#include "render/StudioLooks.h"

#include <algorithm>
#include <cmath>

namespace {

// The classic block's faces as a grid of triangles: the reflection's alpha
// runs from vertex to vertex, so a face needs inner vertices to fade as the
// classic quads' grid does.
ProductMesh GridBlockMesh(const BoxParameters& p, int grid)
{
    ProductMesh mesh;
    for (const MeshPart& block : ClassicBlockMesh(p).Parts) {
        MeshPart part;
        part.Side = block.Side;
        const std::array<MeshVertex, 4> c = QuadCorners(block);
        const auto vertex = [&](int i, int j) {
            const float u = static_cast<float>(i) / static_cast<float>(grid);
            const float v = static_cast<float>(j) / static_cast<float>(grid);
            const float s0 = c[0].S + (c[1].S - c[0].S) * u, s1 = c[3].S + (c[2].S - c[3].S) * u;
            const float t0 = c[0].T + (c[1].T - c[0].T) * u, t1 = c[3].T + (c[2].T - c[3].T) * u;
            return MeshVertex{Lerp(Lerp(c[0].Position, c[1].Position, u), Lerp(c[3].Position, c[2].Position, u), v),
                              c[0].Normal, s0 + (s1 - s0) * v, t0 + (t1 - t0) * v};
        };
        for (int j = 0; j < grid; ++j)
            for (int i = 0; i < grid; ++i) {
                const MeshVertex q[4] = {vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1)};
                part.Triangles.insert(part.Triangles.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
            }
        mesh.Parts.push_back(std::move(part));
    }
    return mesh;
}

constexpr float DegreesToRadians = 3.14159265358979f / 180.0f;

} // namespace

std::vector<GroupPlace> ArrangeGroup(const std::vector<BoxParameters>& boxes, GroupArrangement arrangement,
                                     float spacing)
{
    const float gap = std::max(0.0f, spacing) / 100.0f;
    const float middle = (static_cast<float>(boxes.size()) - 1.0f) / 2.0f;
    std::vector<GroupPlace> places(boxes.size());
    float along = 0; // the next box's near edge: x for row and fan, y for a stack
    float low[3] = {1e30f, 1e30f, 1e30f}, high[3] = {-1e30f, -1e30f, -1e30f};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const BoxParameters& b = boxes[i];
        GroupPlace& place = places[i];
        // The turned box's half extents along x and z.
        float ex = b.HalfWidth, ez = b.HalfThickness;
        if (arrangement == GroupArrangement::Fan) {
            place.Turn = (middle - static_cast<float>(i)) * GroupLimits::FanStepDegrees;
            const float c = std::fabs(std::cos(place.Turn * DegreesToRadians));
            const float s = std::fabs(std::sin(place.Turn * DegreesToRadians));
            ex = b.HalfWidth * c + b.HalfThickness * s;
            ez = b.HalfWidth * s + b.HalfThickness * c;
        }
        if (arrangement == GroupArrangement::Stack) {
            place.Centre = {0, along + b.HalfHeight, 0};
            along += 2 * b.HalfHeight;
        } else {
            // Standing on one plane, the nearest points in one line.
            place.Centre = {along + ex, b.HalfHeight, -ez};
            along += 2 * ex + gap;
        }
        const float extent[3] = {ex, b.HalfHeight, ez};
        const float centre[3] = {place.Centre.x, place.Centre.y, place.Centre.z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], centre[axis] - extent[axis]);
            high[axis] = std::max(high[axis], centre[axis] + extent[axis]);
        }
    }
    const Vec3 shift{-(low[0] + high[0]) / 2, -(low[1] + high[1]) / 2, -(low[2] + high[2]) / 2};
    for (GroupPlace& place : places)
        place.Centre = {place.Centre.x + shift.x, place.Centre.y + shift.y, place.Centre.z + shift.z};
    return places;
}

ProductMesh PlaceGroupMeshes(const std::vector<BoxParameters>& boxes, GroupArrangement arrangement, float spacing,
                             const std::function<ProductMesh(const BoxParameters&)>& meshOf)
{
    ProductMesh group;
    const std::vector<GroupPlace> places = ArrangeGroup(boxes, arrangement, spacing);
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        ProductMesh mesh = meshOf(boxes[i]);
        const Mat3 turn = RotationDegrees(places[i].Turn, {0, 1, 0});
        const Vec3 at = places[i].Centre;
        for (MeshPart& part : mesh.Parts) {
            part.Group = static_cast<int>(i);
            for (MeshVertex& v : part.Triangles) {
                const Vec3 p = turn * v.Position;
                v.Position = {p.x + at.x, p.y + at.y, p.z + at.z};
                v.Normal = turn * v.Normal;
            }
            group.Parts.push_back(std::move(part));
        }
    }
    return group;
}

GroupScene BuildGroupScene(const std::vector<BoxParameters>& boxes, GroupArrangement arrangement, float spacing)
{
    GroupScene scene;
    scene.Covers.resize(boxes.size(), SlotTextures{});
    scene.Mesh = PlaceGroupMeshes(boxes, arrangement, spacing, [](const BoxParameters& box) {
        ProductMesh mesh = BuildProductMesh(box);
        if (mesh.Empty())
            mesh = GridBlockMesh(box, 8);
        return mesh;
    });
    return scene;
}

BoxParameters GroupView(const BoxParameters& view, const std::vector<BoxParameters>& boxes)
{
    BoxParameters p = view;
    p.HalfWidth = p.HalfHeight = p.HalfThickness = 0;
    for (const BoxParameters& b : boxes) {
        p.HalfWidth = std::max(p.HalfWidth, b.HalfWidth);
        p.HalfHeight = std::max(p.HalfHeight, b.HalfHeight);
        p.HalfThickness = std::max(p.HalfThickness, b.HalfThickness);
    }
    return p;
}
