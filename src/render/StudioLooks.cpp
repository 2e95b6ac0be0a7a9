#include "render/StudioLooks.h"

#include "render/EyeLift.h"
#include "render/ProductMesh.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr float Pi = 3.14159265358979f;
// Not even a full-strength shadow is quite black.
constexpr float DarkestShadow = 0.9f;
// A face turned away keeps this much; a face turned to the light reaches
// full brightness (never more: the lit faces show their covers' own colours).
constexpr float Ambient = 0.45f;
constexpr float Diffuse = 0.75f;

float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec3 Sub(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec3 Lerp(Vec3 a, Vec3 b, float f) { return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f}; }

float LargestSide(const BoxPose& pose) { return 2.0f * std::max({pose.Half.x, pose.Half.y, pose.Half.z}); }

struct Point2 {
    float x, z;
};

float Cross(Point2 o, Point2 a, Point2 b) { return (a.x - o.x) * (b.z - o.z) - (a.z - o.z) * (b.x - o.x); }

// Counter-clockwise convex hull (monotone chain).
std::vector<Point2> Hull(std::vector<Point2> p)
{
    std::sort(p.begin(), p.end(), [](Point2 a, Point2 b) { return a.x < b.x || (a.x == b.x && a.z < b.z); });
    std::vector<Point2> h(2 * p.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        while (k >= 2 && Cross(h[k - 2], h[k - 1], p[i]) <= 0)
            --k;
        h[k++] = p[i];
    }
    for (std::size_t i = p.size() - 1, t = k + 1; i > 0; --i) {
        while (k >= t && Cross(h[k - 2], h[k - 1], p[i - 1]) <= 0)
            --k;
        h[k++] = p[i - 1];
    }
    h.resize(k > 0 ? k - 1 : 0);
    return h;
}

bool Inside(const std::vector<Point2>& hull, Point2 q)
{
    if (hull.size() < 3)
        return false;
    for (std::size_t i = 0; i < hull.size(); ++i)
        if (Cross(hull[i], hull[(i + 1) % hull.size()], q) < 0)
            return false;
    return true;
}

// The same 4 x 4 points per texel as Inside counts, by rows: a mesh's hull
// has many more edges than the block's, so each row of points finds where it
// enters and leaves the hull once.
void CoverHull(const std::vector<Point2>& hull, float minX, float minZ, float texelX, float texelZ, int size,
               std::vector<float>& cover)
{
    if (hull.size() < 3)
        return;
    for (int row = 0; row < size; ++row)
        for (int sy = 0; sy < 4; ++sy) {
            const float z = minZ + (static_cast<float>(row) + (sy + 0.5f) / 4) * texelZ;
            float left = 1e30f, right = -1e30f;
            for (std::size_t i = 0; i < hull.size(); ++i) {
                const Point2 a = hull[i], b = hull[(i + 1) % hull.size()];
                if (z < std::min(a.z, b.z) || z > std::max(a.z, b.z))
                    continue;
                // An edge along the row counts with both its ends.
                const float x0 = a.z == b.z ? a.x : a.x + (b.x - a.x) * (z - a.z) / (b.z - a.z);
                const float x1 = a.z == b.z ? b.x : x0;
                left = std::min({left, x0, x1});
                right = std::max({right, x0, x1});
            }
            if (left > right)
                continue;
            for (int col = 0; col < size; ++col)
                for (int sx = 0; sx < 4; ++sx) {
                    const float x = minX + (static_cast<float>(col) + (sx + 0.5f) / 4) * texelX;
                    if (x >= left && x <= right)
                        cover[static_cast<std::size_t>(row) * size + col] += 1.0f / 16.0f;
                }
        }
}

// One pass of a running box average along rows (step 1) or columns (step size).
void BoxBlur(std::vector<float>& v, int size, int radius, bool rows)
{
    if (radius < 1)
        return;
    std::vector<float> line(static_cast<std::size_t>(size));
    const float scale = 1.0f / static_cast<float>(2 * radius + 1);
    for (int a = 0; a < size; ++a) {
        const auto at = [&](int b) -> float& {
            return rows ? v[static_cast<std::size_t>(a) * size + b] : v[static_cast<std::size_t>(b) * size + a];
        };
        const auto value = [&](int b) { return b < 0 || b >= size ? 0.0f : at(b); };
        float sum = 0;
        for (int b = -radius; b <= radius; ++b)
            sum += value(b);
        for (int b = 0; b < size; ++b) {
            line[static_cast<std::size_t>(b)] = sum * scale;
            sum += value(b + radius + 1) - value(b - radius);
        }
        for (int b = 0; b < size; ++b)
            at(b) = line[static_cast<std::size_t>(b)];
    }
}

} // namespace

const BoxFace BoxFaces[6] = {
    {0, {{0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}}},     // front
    {0, {{1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}, {0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}}}, // back
    {2, {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}}},     // top
    {2, {{1, 1, -1, -1, -1}, {0, 1, 1, -1, -1}, {0, 0, 1, -1, 1}, {1, 0, -1, -1, 1}}}, // bottom
    {1, {{1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}}},     // right
    {1, {{0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}}}, // left
};

Vec3 FaceNormal(const BoxFace& face)
{
    const auto shared = [&](float FaceCorner::*axis) {
        const float first = face.Corners[0].*axis;
        for (const FaceCorner& c : face.Corners)
            if (c.*axis != first)
                return 0.0f;
        return first;
    };
    return {shared(&FaceCorner::x), shared(&FaceCorner::y), shared(&FaceCorner::z)};
}

Vec3 Mat3::operator*(Vec3 v) const
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

Mat3 Mat3::operator*(const Mat3& o) const
{
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
    return r;
}

Mat3 Transposed(const Mat3& a)
{
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[j][i];
    return r;
}

Mat3 RotationDegrees(float angle, Vec3 axis)
{
    const float len = std::sqrt(Dot(axis, axis));
    const float x = axis.x / len, y = axis.y / len, z = axis.z / len;
    const float c = std::cos(angle * Pi / 180.0f), s = std::sin(angle * Pi / 180.0f), k = 1 - c;
    Mat3 r;
    r.m[0][0] = x * x * k + c;
    r.m[0][1] = x * y * k - z * s;
    r.m[0][2] = x * z * k + y * s;
    r.m[1][0] = y * x * k + z * s;
    r.m[1][1] = y * y * k + c;
    r.m[1][2] = y * z * k - x * s;
    r.m[2][0] = x * z * k - y * s;
    r.m[2][1] = y * z * k + x * s;
    r.m[2][2] = z * z * k + c;
    return r;
}

Mat3 FloorToWorld(const BoxParameters& p, float floorTilt)
{
    if (floorTilt == 0)
        return Mat3{};
    return RotationDegrees(p.SideAngle, {0, 1, 0}) * RotationDegrees(floorTilt, {1, 0, 0}) *
           RotationDegrees(-p.SideAngle, {0, 1, 0});
}

BoxPose PoseOf(const BoxParameters& p, float floorTilt, const ProductMesh* mesh)
{
    BoxPose pose;
    // Seen from the floor, the box keeps only the tilt the floor does not share.
    pose.Box = RotationDegrees(p.SideAngle, {0, 1, 0}) * RotationDegrees(p.TiltAngle - floorTilt, {1, 0, 0}) *
               RotationDegrees(p.Turn / 10.0f, {0, 0, 1});
    pose.Eye = RotationDegrees(static_cast<float>(p.EyeAngle), {1, 0, 0});
    // The view's translations, undone: where the eye is in the world.
    pose.Camera = {-p.HorizontalOffset / 100.0f, -(EyeLift(p.EyeAngle) + p.VerticalOffset / 10.0f),
                   p.Depth / 10.0f};
    if (floorTilt != 0) {
        // The floor frame turns about the box's centre, the world's origin.
        const Mat3 floor = FloorToWorld(p, floorTilt);
        pose.Eye = pose.Eye * floor;
        pose.Camera = Transposed(floor) * pose.Camera;
    }
    pose.Half = {p.HalfWidth, p.HalfHeight, p.HalfThickness};
    float low = 1e30f, high = -1e30f;
    for (int i = 0; i < 8; ++i) {
        const Vec3 local{(i & 1 ? 1.0f : -1.0f) * pose.Half.x, (i & 2 ? 1.0f : -1.0f) * pose.Half.y,
                         (i & 4 ? 1.0f : -1.0f) * pose.Half.z};
        pose.Corners[static_cast<std::size_t>(i)] = pose.Box * local;
        low = std::min(low, pose.Corners[static_cast<std::size_t>(i)].y);
        high = std::max(high, pose.Corners[static_cast<std::size_t>(i)].y);
    }
    if (p.HalfThickness <= ThinCardLimit) {
        // A card is drawn as two faces a hair apart and no edges: it stands on
        // the face turned to the eye, the other one hides behind it.
        const Vec3 normal = pose.Box * Vec3{0, 0, 1};
        const bool frontSeen = Dot(normal, Sub(pose.Camera, pose.Box * Vec3{0, 0, pose.Half.z})) > 0;
        low = 1e30f;
        for (int i = 0; i < 8; ++i)
            if (((i & 4) != 0) == frontSeen)
                low = std::min(low, pose.Corners[static_cast<std::size_t>(i)].y);
    }
    if (mesh && !mesh->Empty()) {
        // The card stands on the face seen, as above.
        const Vec3 normal = pose.Box * Vec3{0, 0, 1};
        const bool card = p.HalfThickness <= ThinCardLimit;
        const bool frontSeen = Dot(normal, Sub(pose.Camera, pose.Box * Vec3{0, 0, pose.Half.z})) > 0;
        low = 1e30f;
        high = -1e30f;
        for (const MeshPart& part : mesh->Parts) {
            if (&part != &mesh->Parts.front() && part.Group != (&part - 1)->Group)
                pose.OutlineEnds.push_back(pose.Points.size());
            const bool stands = !card || (part.Side == BoxSide::Front) == frontSeen;
            for (const MeshVertex& v : part.Triangles) {
                const Vec3 w = pose.Box * v.Position;
                pose.Points.push_back(w);
                if (stands)
                    low = std::min(low, w.y);
                high = std::max(high, w.y);
            }
        }
        if (!pose.OutlineEnds.empty())
            pose.OutlineEnds.push_back(pose.Points.size());
    }
    pose.FloorY = low;
    pose.TopY = high;
    return pose;
}

bool DrawsLooks(const BoxLooks& looks)
{
    return looks.Shadow > 0 || looks.Reflection > 0 || looks.Light > 0 || looks.SmoothTextures;
}

float FaceBrightness(const BoxPose& pose, Vec3 normal, int light)
{
    if (light <= 0)
        return 1.0f;
    // From above, in front and a little to the right of the eye.
    const Vec3 toLight{0.35f / 0.9937f, 0.55f / 0.9937f, 0.75f / 0.9937f};
    const Vec3 n = pose.Eye * (pose.Box * normal);
    const float shade = std::min(1.0f, Ambient + Diffuse * std::max(0.0f, Dot(n, toLight)));
    const float k = static_cast<float>(std::min(light, 100)) / 100.0f;
    return 1.0f - k * (1.0f - shade);
}

ShadowMask MakeShadowMask(const BoxPose& pose, int strength, int softness, int size)
{
    ShadowMask mask;
    mask.Size = size;
    std::vector<Point2> footprint;
    for (const Vec3& c : pose.Corners)
        footprint.push_back({c.x, c.z});
    if (!pose.Points.empty()) {
        footprint.clear();
        for (const Vec3& c : pose.Points)
            footprint.push_back({c.x, c.z});
    }
    const std::vector<Point2> hull = pose.OutlineEnds.empty() ? Hull(footprint) : std::vector<Point2>{};
    float minX = 1e30f, maxX = -1e30f, minZ = 1e30f, maxZ = -1e30f;
    for (const Point2& p : footprint) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minZ = std::min(minZ, p.z);
        maxZ = std::max(maxZ, p.z);
    }
    const float soft = static_cast<float>(std::clamp(softness, 0, 100)) / 100.0f;
    const float reach = (0.03f + 0.25f * soft) * LargestSide(pose);
    const float margin = 1.5f * reach + 0.01f;
    mask.MinX = minX - margin;
    mask.MaxX = maxX + margin;
    mask.MinZ = minZ - margin;
    mask.MaxZ = maxZ + margin;
    const float texelX = (mask.MaxX - mask.MinX) / static_cast<float>(size);
    const float texelZ = (mask.MaxZ - mask.MinZ) / static_cast<float>(size);

    // Coverage from 4 x 4 points per texel, so even a hard shadow has clean edges.
    std::vector<float> cover(static_cast<std::size_t>(size) * size, 0.0f);
    if (!pose.Points.empty())
        CoverHull(hull, mask.MinX, mask.MinZ, texelX, texelZ, size, cover);
    // A bundle: each box's outline, where they overlap (a stack) as dark as one.
    for (std::size_t k = 0, begin = 0; k < pose.OutlineEnds.size(); begin = pose.OutlineEnds[k++]) {
        const auto first = footprint.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = footprint.begin() + static_cast<std::ptrdiff_t>(pose.OutlineEnds[k]);
        std::vector<float> one(cover.size(), 0.0f);
        CoverHull(Hull({first, last}), mask.MinX, mask.MinZ, texelX, texelZ, size, one);
        for (std::size_t i = 0; i < cover.size(); ++i)
            cover[i] = std::max(cover[i], one[i]);
    }
    for (int row = 0; pose.Points.empty() && row < size; ++row)
        for (int col = 0; col < size; ++col) {
            int in = 0;
            for (int sy = 0; sy < 4; ++sy)
                for (int sx = 0; sx < 4; ++sx)
                    in += Inside(hull, {mask.MinX + (static_cast<float>(col) + (sx + 0.5f) / 4) * texelX,
                                        mask.MinZ + (static_cast<float>(row) + (sy + 0.5f) / 4) * texelZ});
            cover[static_cast<std::size_t>(row) * size + col] = static_cast<float>(in) / 16.0f;
        }
    // Three box passes come close to a Gaussian reaching about `reach`.
    const int radiusX = std::max(1, static_cast<int>(std::lround(reach / texelX / 3.0f)));
    const int radiusZ = std::max(1, static_cast<int>(std::lround(reach / texelZ / 3.0f)));
    for (int pass = 0; pass < 3; ++pass) {
        BoxBlur(cover, size, radiusX, true);
        BoxBlur(cover, size, radiusZ, false);
    }
    const float peak = DarkestShadow * static_cast<float>(std::clamp(strength, 0, 100)) / 100.0f;
    mask.Alpha.resize(cover.size());
    for (std::size_t i = 0; i < cover.size(); ++i)
        mask.Alpha[i] = static_cast<std::uint8_t>(std::lround(std::clamp(cover[i] * peak, 0.0f, 1.0f) * 255.0f));
    return mask;
}

std::vector<MirrorFace> MirrorFaces(const BoxPose& pose, int faceCount, int strength, int light, int grid,
                                    float overlap)
{
    std::vector<MirrorFace> out;
    const float floorY = pose.FloorY;
    // The reflection is gone at this height above the floor.
    const float fade = std::max(0.5f * (pose.TopY - floorY), 0.3f * LargestSide(pose));
    const float top = static_cast<float>(std::clamp(strength, 0, 100)) / 100.0f;
    const auto mirrored = [&](Vec3 w) { return Vec3{w.x, 2 * floorY - w.y + overlap, w.z}; };
    const float onFloor = 1e-6f * LargestSide(pose);
    for (int f = 0; f < faceCount; ++f) {
        const BoxFace& face = BoxFaces[f];
        const Vec3 normal = FaceNormal(face);
        const Vec3 n = pose.Box * normal;
        Vec3 world[4];
        for (int i = 0; i < 4; ++i) {
            const FaceCorner& c = face.Corners[i];
            world[i] = pose.Box * Vec3{c.x * pose.Half.x, c.y * pose.Half.y, c.z * pose.Half.z};
        }
        // A face lying on the floor is hidden under the box, and so is its
        // mirror image; drawn, it would show at the box's edge.
        if (std::all_of(std::begin(world), std::end(world), [&](Vec3 w) { return w.y <= floorY + onFloor; }))
            continue;
        const Vec3 centre = Lerp(Lerp(world[0], world[1], 0.5f), Lerp(world[3], world[2], 0.5f), 0.5f);
        // Only faces that turn to the eye: the box is convex, so they never overlap.
        if (Dot({n.x, -n.y, n.z}, Sub(pose.Camera, mirrored(centre))) <= 0)
            continue;
        MirrorFace mf;
        mf.Face = f;
        mf.Slot = face.Slot;
        mf.Brightness = FaceBrightness(pose, normal, light);
        const auto vertex = [&](int i, int j) {
            const float u = static_cast<float>(i) / static_cast<float>(grid);
            const float v = static_cast<float>(j) / static_cast<float>(grid);
            const Vec3 w = Lerp(Lerp(world[0], world[1], u), Lerp(world[3], world[2], u), v);
            const FaceCorner* c = face.Corners;
            const float s0 = c[0].s + (c[1].s - c[0].s) * u, s1 = c[3].s + (c[2].s - c[3].s) * u;
            const float t0 = c[0].t + (c[1].t - c[0].t) * u, t1 = c[3].t + (c[2].t - c[3].t) * u;
            MirrorVertex mv;
            mv.Position = mirrored(w);
            mv.S = s0 + (s1 - s0) * v;
            mv.T = t0 + (t1 - t0) * v;
            mv.Alpha = top * std::clamp(1.0f - (w.y - floorY) / fade, 0.0f, 1.0f);
            return mv;
        };
        for (int j = 0; j < grid; ++j)
            for (int i = 0; i < grid; ++i) {
                const MirrorVertex q[4] = {vertex(i, j), vertex(i + 1, j), vertex(i + 1, j + 1), vertex(i, j + 1)};
                if (q[0].Alpha <= 0 && q[1].Alpha <= 0 && q[2].Alpha <= 0 && q[3].Alpha <= 0)
                    continue;
                // Mirroring turns the winding round; keep it counter-clockwise as seen.
                mf.Quads.insert(mf.Quads.end(), {q[0], q[3], q[2], q[1]});
            }
        if (!mf.Quads.empty())
            out.push_back(std::move(mf));
    }
    return out;
}

float QuarterPixel(const BoxPose& pose, float focal, int viewportHeight)
{
    const float distance = -(pose.Eye * Vec3{-pose.Camera.x, -pose.Camera.y, -pose.Camera.z}).z;
    if (focal <= 0 || viewportHeight <= 0 || distance <= 0)
        return 0;
    return 0.25f * distance / (focal * 0.5f * static_cast<float>(viewportHeight));
}
