#include "render/StudioLooks.h"

#include "render/EyeLift.h"
#include "render/ProductMesh.h"
#include "render/Scene.h"
#include "render/StudioLight.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

// A face turned away keeps this much; a face square to the key light gets
// more than its cover's own colour, as a lit face in a studio does.
constexpr float Ambient = 0.5f;
constexpr float Diffuse = 0.8f;

float LargestSide(const BoxPose& pose) { return 2.0f * std::max({pose.Half.x, pose.Half.y, pose.Half.z}); }

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
    const ScenePose view = ViewPoseOf(p);
    // Seen from the floor, the box keeps only the tilt the floor does not share.
    pose.Box = view.Box(floorTilt);
    pose.Eye = view.Eye();
    // The view's translations, undone: where the eye is in the world.
    pose.Camera = -view.Shift();
    if (floorTilt != 0) {
        // The floor frame turns about the box's centre, the world's origin.
        const Mat3 floor = FloorToWorld(p, floorTilt);
        pose.Eye = pose.Eye * floor;
        pose.Camera = Transposed(floor) * pose.Camera;
    }
    pose.Half = {p.HalfWidth, p.HalfHeight, p.HalfThickness};
    const StudioLight light = StudioLightFor(p);
    pose.Key = light.KeyDirection;
    pose.KeyRadius = light.KeyAngularRadius;
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
        const bool frontSeen = Dot(normal, pose.Camera - pose.Box * Vec3{0, 0, pose.Half.z}) > 0;
        low = 1e30f;
        for (int i = 0; i < 8; ++i)
            if (((i & 4) != 0) == frontSeen)
                low = std::min(low, pose.Corners[static_cast<std::size_t>(i)].y);
    }
    if (mesh && !mesh->Empty()) {
        // The card stands on the face seen, as above.
        const Vec3 normal = pose.Box * Vec3{0, 0, 1};
        const bool card = p.HalfThickness <= ThinCardLimit;
        const bool frontSeen = Dot(normal, pose.Camera - pose.Box * Vec3{0, 0, pose.Half.z}) > 0;
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
    // The studio's key light, fixed to the eye as the ray tracer's is.
    const Vec3 n = pose.Eye * (pose.Box * normal);
    const float shade = std::min(MostBrightness, Ambient + Diffuse * std::max(0.0f, Dot(n, pose.Key)));
    const float k = static_cast<float>(std::min(light, 100)) / 100.0f;
    return 1.0f - k * (1.0f - shade);
}

float ReflectionFadeHeight(const BoxPose& pose)
{
    return std::max(0.5f * (pose.TopY - pose.FloorY), 0.3f * LargestSide(pose));
}

std::vector<MirrorFace> MirrorFaces(const BoxPose& pose, int faceCount, int strength, int light, int grid,
                                    float overlap)
{
    std::vector<MirrorFace> out;
    const float floorY = pose.FloorY;
    const float fade = ReflectionFadeHeight(pose);
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
        if (Dot({n.x, -n.y, n.z}, pose.Camera - mirrored(centre)) <= 0)
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
