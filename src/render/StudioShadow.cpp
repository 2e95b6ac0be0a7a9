// The ground shadow: the box's outline thrown onto its floor away from the
// studio's key light, as a blurred alpha mask. A real shadow is sharp and
// darkest where the box touches the floor and grows soft further away (the
// penumbra widens with the distance to what casts it), so the blur grows with
// the distance from the contact.
#include "render/StudioLooks.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// Not even a full-strength shadow is quite black.
constexpr float DarkestShadow = 0.9f;
// A low key light would throw the shadow towards the horizon: it reaches no
// further than this many times the height of what casts it.
constexpr float LongestThrow = 1.5f;
// Far from the contact the shadow keeps this share of its darkness.
constexpr float FarShare = 0.6f;
// The blur doubles from one level to the next.
constexpr int MostLevels = 8;

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

// Coverage of a convex hull from 4 x 4 points per texel, so even a hard
// shadow has clean edges; by rows, as a mesh's hull has many edges: each row
// of points finds where it enters and leaves the hull once.
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


float SegmentDistance(Point2 q, Point2 a, Point2 b)
{
    const float dx = b.x - a.x, dz = b.z - a.z;
    const float length = dx * dx + dz * dz;
    const float t = length > 0 ? std::clamp(((q.x - a.x) * dx + (q.z - a.z) * dz) / length, 0.0f, 1.0f) : 0.0f;
    return std::hypot(q.x - (a.x + t * dx), q.z - (a.z + t * dz));
}

// Distance from q to a counter-clockwise convex hull (0 inside); a hull of
// one or two points is a point or a segment (a corner or an edge on the floor).
float HullDistance(const std::vector<Point2>& hull, Point2 q)
{
    if (hull.empty())
        return 0;
    if (hull.size() == 1)
        return std::hypot(q.x - hull[0].x, q.z - hull[0].z);
    bool inside = hull.size() >= 3;
    float nearest = 1e30f;
    for (std::size_t i = 0; i < hull.size(); ++i) {
        const Point2 a = hull[i], b = hull[(i + 1) % hull.size()];
        inside = inside && Cross(a, b, q) >= 0;
        nearest = std::min(nearest, SegmentDistance(q, a, b));
    }
    return inside ? 0.0f : nearest;
}

// The hull of the points, or the one point it is made of (Hull drops it).
std::vector<Point2> HullOrPoint(const std::vector<Point2>& points)
{
    if (points.empty())
        return {};
    std::vector<Point2> hull = Hull(points);
    if (hull.empty() && !points.empty())
        hull.push_back(points.front());
    return hull;
}

} // namespace

ShadowMask MakeShadowMask(const BoxPose& pose, int strength, int softness, int size)
{
    ShadowMask mask;
    mask.Size = size;
    const float largest = LargestSide(pose);
    // The key light seen from the floor; the shadow falls away from it.
    const Vec3 key = Transposed(pose.Eye) * pose.Key;
    const float run = std::hypot(key.x, key.z);
    const float reachPerHeight = key.y > 0 ? std::min(run / key.y, LongestThrow) : LongestThrow;
    const float throwX = run > 0 ? -key.x / run * reachPerHeight : 0.0f;
    const float throwZ = run > 0 ? -key.z / run * reachPerHeight : 0.0f;

    const std::vector<Vec3> corners(pose.Corners.begin(), pose.Corners.end());
    const std::vector<Vec3>& points = pose.Points.empty() ? corners : pose.Points;
    const float touch = 1e-3f * largest;
    std::vector<Point2> cast, footprint, contact;
    for (const Vec3& p : points) {
        const float height = std::max(0.0f, p.y - pose.FloorY);
        cast.push_back({p.x + throwX * height, p.z + throwZ * height});
        footprint.push_back({p.x, p.z});
        if (height <= touch)
            contact.push_back({p.x, p.z});
    }
    const std::vector<Point2> shadowHull = Hull(cast);
    const std::vector<Point2> footprintHull = Hull(footprint);
    const std::vector<Point2> contactHull = HullOrPoint(contact);

    const float soft = static_cast<float>(std::clamp(softness, 0, 100)) / 100.0f;
    // At the contact the blur is a touch; it widens with the distance as the
    // key light's size makes it, the softness look scaling both.
    const float contactReach = (0.01f + 0.05f * soft) * largest;
    const float spread = 2.0f * std::tan(pose.KeyRadius) * (0.2f + 1.3f * soft);
    float farthest = 0;
    for (const Point2& p : shadowHull)
        farthest = std::max(farthest, HullDistance(contactHull, p));
    const float widest = contactReach + spread * farthest;

    float minX = 1e30f, maxX = -1e30f, minZ = 1e30f, maxZ = -1e30f;
    for (const std::vector<Point2>* set : {&cast, &footprint})
        for (const Point2& p : *set) {
            minX = std::min(minX, p.x);
            maxX = std::max(maxX, p.x);
            minZ = std::min(minZ, p.z);
            maxZ = std::max(maxZ, p.z);
        }
    const float margin = 1.5f * widest + 0.01f;
    mask.MinX = minX - margin;
    mask.MaxX = maxX + margin;
    mask.MinZ = minZ - margin;
    mask.MaxZ = maxZ + margin;
    const float texelX = (mask.MaxX - mask.MinX) / static_cast<float>(size);
    const float texelZ = (mask.MaxZ - mask.MinZ) / static_cast<float>(size);
    const std::size_t count = static_cast<std::size_t>(size) * static_cast<std::size_t>(size);

    std::vector<float> cover(count, 0.0f), under(count, 0.0f);
    if (pose.OutlineEnds.empty()) {
        CoverHull(shadowHull, mask.MinX, mask.MinZ, texelX, texelZ, size, cover);
        CoverHull(footprintHull, mask.MinX, mask.MinZ, texelX, texelZ, size, under);
    } else {
        // A bundle: each box's own outline, so the floor between two boxes
        // stays light; where they overlap (a stack) as dark as one.
        const auto coverEach = [&](const std::vector<Point2>& all, std::vector<float>& out) {
            std::vector<float> one(count);
            for (std::size_t k = 0, begin = 0; k < pose.OutlineEnds.size(); begin = pose.OutlineEnds[k++]) {
                std::fill(one.begin(), one.end(), 0.0f);
                CoverHull(Hull({all.begin() + static_cast<std::ptrdiff_t>(begin),
                                all.begin() + static_cast<std::ptrdiff_t>(pose.OutlineEnds[k])}),
                          mask.MinX, mask.MinZ, texelX, texelZ, size, one);
                for (std::size_t i = 0; i < count; ++i)
                    out[i] = std::max(out[i], one[i]);
            }
        };
        coverEach(cast, cover);
        coverEach(footprint, under);
    }
    // Three box passes come close to a Gaussian reaching about `reach`.
    const auto blur = [&](std::vector<float>& v, float reach) {
        const int radiusX = std::max(1, static_cast<int>(std::lround(reach / texelX / 3.0f)));
        const int radiusZ = std::max(1, static_cast<int>(std::lround(reach / texelZ / 3.0f)));
        for (int pass = 0; pass < 3; ++pass) {
            BoxBlur(v, size, radiusX, true);
            BoxBlur(v, size, radiusZ, false);
        }
    };
    // The shadow blurred at doubling reaches; each texel takes the blur its
    // distance from the contact asks for, between two of them.
    int levelCount = 1;
    while (levelCount < MostLevels && contactReach * static_cast<float>(1 << (levelCount - 1)) < widest)
        ++levelCount;
    std::vector<std::vector<float>> levels(static_cast<std::size_t>(levelCount), cover);
    for (int k = 0; k < levelCount; ++k)
        blur(levels[static_cast<std::size_t>(k)], contactReach * static_cast<float>(1 << k));
    // The floor right round the box's foot, darkened as the box shuts out
    // the studio's light there.
    blur(under, 1.5f * contactReach);

    const float peak = DarkestShadow * static_cast<float>(std::clamp(strength, 0, 100)) / 100.0f;
    mask.Alpha.resize(count);
    for (int row = 0; row < size; ++row)
        for (int col = 0; col < size; ++col) {
            const std::size_t i = static_cast<std::size_t>(row) * static_cast<std::size_t>(size) +
                                  static_cast<std::size_t>(col);
            const Point2 q{mask.MinX + (static_cast<float>(col) + 0.5f) * texelX,
                           mask.MinZ + (static_cast<float>(row) + 0.5f) * texelZ};
            const float distance = HullDistance(contactHull, q);
            const float wanted = std::log2((contactReach + spread * distance) / contactReach);
            const float at = std::clamp(wanted, 0.0f, static_cast<float>(levelCount - 1));
            const std::size_t low = static_cast<std::size_t>(at);
            const std::size_t high = std::min(low + 1, levels.size() - 1);
            const float f = at - static_cast<float>(low);
            const float shadow = levels[low][i] + (levels[high][i] - levels[low][i]) * f;
            const float darkness = FarShare + (1.0f - FarShare) * std::exp(-distance / (0.25f * largest));
            const float value = 1.0f - (1.0f - shadow * darkness) * (1.0f - 0.5f * under[i]);
            mask.Alpha[i] = static_cast<std::uint8_t>(std::lround(std::clamp(value * peak, 0.0f, 1.0f) * 255.0f));
        }
    return mask;
}
