// The rounded block and the rounded card. The block is the inner box (each
// half extent less the radius) grown by a sphere of the radius: every face is
// a grid whose rows and columns follow one profile per world axis (the middle
// of the lower round, the flat part, the middle of the upper round), and a
// vertex's normal is the normalised (slope, slope, 1) of its two profile
// samples. Both faces that meet in the middle of a round compute their
// shared vertices from the same numbers, so the surface closes exactly.
#include "render/EyeLift.h"
#include "render/ProductMesh.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float QuarterPi = 0.785398163397448f;
// The flat part is cut into as many steps as the classic reflection's grid,
// so its fade (linear between vertices) looks the same.
constexpr int FlatSteps = 8;

float& At(Vec3& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}
float At(const Vec3& v, int axis)
{
    return axis == 0 ? v.x : axis == 1 ? v.y : v.z;
}

// One step along a world axis: the inner box's coordinate there, the slope of
// the round (tan of its angle; 0 on the flat) and the share of the profile's
// arc length from its lower end (0..1).
struct ProfileSample {
    float Inner;
    float Slope;
    float Along;
};

// The tangents of k steps of 45 degrees, exactly 0 and 1 at the ends, so that
// both sides of a round and both faces of a corner share them bit for bit.
std::vector<float> Slopes(int k)
{
    std::vector<float> s(static_cast<std::size_t>(k) + 1);
    for (int i = 0; i <= k; ++i)
        s[static_cast<std::size_t>(i)] =
            i == 0   ? 0.0f
            : i == k ? 1.0f
                     : std::tan(QuarterPi * static_cast<float>(i) / static_cast<float>(k));
    return s;
}

std::vector<ProfileSample> Profile(float flat, float radius, const std::vector<float>& slopes)
{
    const int k = static_cast<int>(slopes.size()) - 1;
    const float arc = radius * QuarterPi;
    const float length = 2 * flat + 2 * arc;
    std::vector<ProfileSample> out;
    for (int i = 0; i <= k; ++i)
        out.push_back({-flat, -slopes[static_cast<std::size_t>(k - i)],
                       arc * static_cast<float>(i) / static_cast<float>(k) / length});
    if (flat > 0)
        for (int m = 1; m < FlatSteps; ++m) {
            const float x = 2 * flat * static_cast<float>(m) / FlatSteps;
            out.push_back({-flat + x, 0.0f, (arc + x) / length});
        }
    // Without a flat part both rounds meet in one sample.
    for (int i = flat > 0 ? 0 : 1; i <= k; ++i)
        out.push_back(
            {flat, slopes[static_cast<std::size_t>(i)],
             i == k ? 1.0f
                    : (arc + 2 * flat + arc * static_cast<float>(i) / static_cast<float>(k)) /
                          length});
    return out;
}

// How a classic face lies: its normal axis and sign, and which world axis
// (and which way) its picture's u and v run along.
struct FaceFrame {
    const BoxFace* Face;
    int Normal;
    float Sign;
    int UAxis, VAxis;
    bool UFlipped, VFlipped;
};

int AxisBetween(const FaceCorner& a, const FaceCorner& b)
{
    return a.x != b.x ? 0 : a.y != b.y ? 1 : 2;
}

float Corner(const FaceCorner& c, int axis)
{
    return axis == 0 ? c.x : axis == 1 ? c.y : c.z;
}

FaceFrame FrameOf(int f)
{
    const BoxFace& face = BoxFaces[f];
    const Vec3 n = FaceNormal(face);
    FaceFrame fr{&face, n.x != 0 ? 0 : n.y != 0 ? 1 : 2, 0, 0, 0, false, false};
    fr.Sign = At(n, fr.Normal);
    fr.UAxis = AxisBetween(face.Corners[0], face.Corners[1]);
    fr.VAxis = AxisBetween(face.Corners[0], face.Corners[3]);
    fr.UFlipped = Corner(face.Corners[0], fr.UAxis) > 0;
    fr.VFlipped = Corner(face.Corners[0], fr.VAxis) > 0;
    return fr;
}

// The classic face's picture at these shares (0..1 from the minus end) of
// the world axes: the same bilinear mapping as its four corners give.
void TexCoord(const FaceFrame& fr, const Vec3& along, float& s, float& t)
{
    float u = At(along, fr.UAxis), v = At(along, fr.VAxis);
    if (fr.UFlipped)
        u = 1 - u;
    if (fr.VFlipped)
        v = 1 - v;
    const FaceCorner* c = fr.Face->Corners;
    s = (1 - u) * (1 - v) * c[0].s + u * (1 - v) * c[1].s + u * v * c[2].s + (1 - u) * v * c[3].s;
    t = (1 - u) * (1 - v) * c[0].t + u * (1 - v) * c[1].t + u * v * c[2].t + (1 - u) * v * c[3].t;
}

// The grid's quads as triangles, counter-clockwise from outside.
void AddGrid(MeshPart& part, const std::vector<MeshVertex>& grid, int columns, int rows,
             bool reversed)
{
    const auto at = [&](int i, int j) { return grid[static_cast<std::size_t>(j) * columns + i]; };
    for (int j = 0; j + 1 < rows; ++j)
        for (int i = 0; i + 1 < columns; ++i) {
            const MeshVertex q[4] = {at(i, j), at(i + 1, j), at(i + 1, j + 1), at(i, j + 1)};
            if (reversed)
                part.Triangles.insert(part.Triangles.end(), {q[0], q[2], q[1], q[0], q[3], q[2]});
            else
                part.Triangles.insert(part.Triangles.end(), {q[0], q[1], q[2], q[0], q[2], q[3]});
        }
}

} // namespace

float EdgeRadiusOf(const BoxParameters& p)
{
    if (!(p.Shape.EdgeRadius > 0))
        return 0;
    const float thinnest = p.HalfThickness > ThinCardLimit
                               ? std::min({p.HalfWidth, p.HalfHeight, p.HalfThickness})
                               : std::min(p.HalfWidth, p.HalfHeight);
    return std::clamp(p.Shape.EdgeRadius / 100.0f, 0.0f, std::max(thinnest, 0.0f));
}

int RoundSegments(float radius)
{
    // A 45-degree arc of radius 1 (about 435 pixels at 1800 x 1800 and the
    // classic depth) in 12 chords strays a quarter of a pixel from the circle.
    return std::clamp(static_cast<int>(std::ceil(12.0f * std::sqrt(std::max(radius, 0.0f)))), 2,
                      12);
}

ProductMesh RoundedBoxMesh(const BoxParameters& p, float radius)
{
    const Vec3 half{p.HalfWidth, p.HalfHeight, p.HalfThickness};
    const std::vector<float> slopes = Slopes(RoundSegments(radius));
    Vec3 flat;
    std::vector<ProfileSample> profiles[3];
    for (int axis = 0; axis < 3; ++axis) {
        At(flat, axis) = std::max(0.0f, At(half, axis) - radius);
        profiles[axis] = Profile(At(flat, axis), radius, slopes);
    }

    ProductMesh mesh;
    for (int f = 0; f < 6; ++f) {
        const FaceFrame fr = FrameOf(f);
        // (a, b, normal) is right-handed, so the grid's winding is outward
        // on the plus side.
        const int a = (fr.Normal + 1) % 3, b = (fr.Normal + 2) % 3;
        const std::vector<ProfileSample>& pa = profiles[a];
        const std::vector<ProfileSample>& pb = profiles[b];
        std::vector<MeshVertex> grid;
        grid.reserve(pa.size() * pb.size());
        for (const ProfileSample& sb : pb)
            for (const ProfileSample& sa : pa) {
                Vec3 d, inner, along;
                At(d, fr.Normal) = fr.Sign;
                At(d, a) = sa.Slope;
                At(d, b) = sb.Slope;
                At(inner, fr.Normal) = fr.Sign * At(flat, fr.Normal);
                At(inner, a) = sa.Inner;
                At(inner, b) = sb.Inner;
                At(along, a) = sa.Along;
                At(along, b) = sb.Along;
                const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
                MeshVertex v;
                v.Normal = {d.x / length, d.y / length, d.z / length};
                v.Position = {inner.x + radius * v.Normal.x, inner.y + radius * v.Normal.y,
                              inner.z + radius * v.Normal.z};
                TexCoord(fr, along, v.S, v.T);
                grid.push_back(v);
            }
        MeshPart part;
        part.Side = static_cast<BoxSide>(f);
        AddGrid(part, grid, static_cast<int>(pa.size()), static_cast<int>(pb.size()), fr.Sign < 0);
        mesh.Parts.push_back(std::move(part));
    }
    return mesh;
}

ProductMesh RoundedCardMesh(const BoxParameters& p, float radius)
{
    const float w = p.HalfWidth, h = p.HalfHeight;
    const float flatX = std::max(0.0f, w - radius), flatY = std::max(0.0f, h - radius);
    // Rows from the bottom: the lower corners' quarter circles, the flat
    // part, the upper ones; each row spans the card's width at its height.
    const std::vector<float> slopes = Slopes(2 * RoundSegments(radius));
    const int k = static_cast<int>(slopes.size()) - 1;
    struct Row {
        float Y, HalfWidth;
    };
    std::vector<Row> rows;
    const auto arcRow = [&](float centre, float sign, int i) {
        // i steps of 90 / k degrees from the side towards the top or bottom.
        const float angle = 2 * QuarterPi * static_cast<float>(i) / static_cast<float>(k);
        const float up = i == k ? 1.0f : std::sin(angle), out = i == k ? 0.0f : std::cos(angle);
        rows.push_back({centre + sign * radius * up, flatX + radius * out});
    };
    for (int i = k; i >= 1; --i)
        arcRow(-flatY, -1, i);
    for (int m = 0; m <= FlatSteps; ++m)
        if (m == 0 || flatY > 0)
            rows.push_back({-flatY + 2 * flatY * static_cast<float>(m) / FlatSteps, w});
    for (int i = 1; i <= k; ++i)
        arcRow(flatY, 1, i);

    ProductMesh mesh;
    for (int f = 0; f < 2; ++f) {
        const FaceFrame fr = FrameOf(f);
        std::vector<MeshVertex> grid;
        for (const Row& row : rows)
            for (int c = 0; c <= FlatSteps; ++c) {
                MeshVertex v;
                const float x =
                    -row.HalfWidth + 2 * row.HalfWidth * static_cast<float>(c) / FlatSteps;
                v.Position = {x, row.Y, fr.Sign * p.HalfThickness};
                v.Normal = {0, 0, fr.Sign};
                const Vec3 along{(x / w + 1) / 2, (row.Y / h + 1) / 2, 0};
                TexCoord(fr, along, v.S, v.T);
                grid.push_back(v);
            }
        MeshPart part;
        part.Side = static_cast<BoxSide>(f);
        AddGrid(part, grid, FlatSteps + 1, static_cast<int>(rows.size()), fr.Sign < 0);
        mesh.Parts.push_back(std::move(part));
    }
    return mesh;
}
