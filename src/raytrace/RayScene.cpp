#include "raytrace/RayScene.h"

#include <embree3/rtcore.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <utility>

RayCamera::RayCamera(int width, int height, float tanHalf)
    : Width(std::max(width, 1)), Height(std::max(height, 1)), TanHalf(tanHalf),
      Aspect(static_cast<float>(Width) / static_cast<float>(Height))
{
}

Vec3 RayCamera::Direction(float x, float y) const
{
    const float nx = 2.0f * x / static_cast<float>(Width) - 1.0f;
    const float ny = 1.0f - 2.0f * y / static_cast<float>(Height);
    return {nx * TanHalf * Aspect, ny * TanHalf, -1.0f};
}

struct RayScene::Embree {
    RTCDevice Device = nullptr;
    RTCScene Scene = nullptr;
    ~Embree()
    {
        if (Scene)
            rtcReleaseScene(Scene);
        if (Device)
            rtcReleaseDevice(Device);
    }
};

RayScene::RayScene(const Scene& scene, ProductMesh mesh)
    : FloorPoint(scene.FloorPoint), FloorNormal(scene.FloorNormal), scene_(scene), mesh_(std::move(mesh)),
      embree_(std::make_unique<Embree>())
{
    // One rotation and one move for every vertex, as Scene::Seen.
    const Mat3 turn = scene.Pose.Rotation();
    const Vec3 move = scene.Pose.Translation();
    std::vector<float> positions;
    std::vector<unsigned> indices;
    float reach = 0;
    partSpans_.resize(mesh_.Parts.size());
    for (std::size_t part = 0; part < mesh_.Parts.size(); ++part) {
        const MeshPart& mp = mesh_.Parts[part];
        for (std::size_t i = 0; i + 2 < mp.Triangles.size(); i += 3) {
            Triangle triangle;
            triangle.Part = static_cast<int>(part);
            for (int c = 0; c < 3; ++c) {
                const MeshVertex& v = mp.Triangles[i + static_cast<std::size_t>(c)];
                const Vec3 box = v.Position;
                reach = std::max({reach, std::fabs(box.x), std::fabs(box.y), std::fabs(box.z)});
                const Vec3 at = turn * box + move;
                positions.insert(positions.end(), {at.x, at.y, at.z});
                indices.push_back(static_cast<unsigned>(indices.size()));
                triangle.C[c] = {Normalized(turn * v.Normal), v.S, v.T};
                Span& span = partSpans_[part];
                span.MinS = std::min(span.MinS, v.S);
                span.MaxS = std::max(span.MaxS, v.S);
                span.MinT = std::min(span.MinT, v.T);
                span.MaxT = std::max(span.MaxT, v.T);
            }
            triangles_.push_back(triangle);
            // The mapping's gradients from the edges' dual basis in the plane.
            const std::size_t at = positions.size() - 9;
            const Vec3 p0{positions[at], positions[at + 1], positions[at + 2]};
            const Vec3 e1 = Vec3{positions[at + 3], positions[at + 4], positions[at + 5]} - p0;
            const Vec3 e2 = Vec3{positions[at + 6], positions[at + 7], positions[at + 8]} - p0;
            const float d11 = Dot(e1, e1), d12 = Dot(e1, e2), d22 = Dot(e2, e2);
            const float det = d11 * d22 - d12 * d12;
            Mapping m{p0, {}, {}, {}};
            if (det > 0) {
                const Vec3 dual1 = (e1 * d22 - e2 * d12) * (1.0f / det);
                const Vec3 dual2 = (e2 * d11 - e1 * d12) * (1.0f / det);
                const Corner* c = triangle.C;
                m.GradientS = dual1 * (c[1].S - c[0].S) + dual2 * (c[2].S - c[0].S);
                m.GradientT = dual1 * (c[1].T - c[0].T) + dual2 * (c[2].T - c[0].T);
                m.Normal = Normalized(Cross(e1, e2));
            }
            mappings_.push_back(m);
        }
    }
    Scale = std::max(reach, 1e-3f);

    embree_->Device = rtcNewDevice("threads=1");
    if (!embree_->Device)
        throw std::runtime_error("the ray tracer could not start (Embree)");
    embree_->Scene = rtcNewScene(embree_->Device);
    rtcSetSceneFlags(embree_->Scene, RTC_SCENE_FLAG_ROBUST);
    RTCGeometry geometry = rtcNewGeometry(embree_->Device, RTC_GEOMETRY_TYPE_TRIANGLE);
    const std::size_t vertices = positions.size() / 3;
    auto* vb = static_cast<float*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                                           3 * sizeof(float), vertices + 1)); // padded for SSE reads
    std::copy(positions.begin(), positions.end(), vb);
    auto* ib = static_cast<unsigned*>(rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                                              3 * sizeof(unsigned), triangles_.size()));
    std::copy(indices.begin(), indices.end(), ib);
    rtcCommitGeometry(geometry);
    rtcAttachGeometry(embree_->Scene, geometry);
    rtcReleaseGeometry(geometry);
    rtcCommitScene(embree_->Scene);
}

RayScene::~RayScene() = default;

bool RayScene::Intersect(Vec3 origin, Vec3 direction, float near, float far, RayHit& hit) const
{
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRayHit rh{};
    rh.ray.org_x = origin.x;
    rh.ray.org_y = origin.y;
    rh.ray.org_z = origin.z;
    rh.ray.dir_x = direction.x;
    rh.ray.dir_y = direction.y;
    rh.ray.dir_z = direction.z;
    rh.ray.tnear = near;
    rh.ray.tfar = far;
    rh.ray.mask = 0xFFFFFFFFu;
    rh.hit.geomID = RTC_INVALID_GEOMETRY_ID;
    rh.hit.instID[0] = RTC_INVALID_GEOMETRY_ID;
    rtcIntersect1(embree_->Scene, &context, &rh);
    if (rh.hit.geomID == RTC_INVALID_GEOMETRY_ID)
        return false;
    const Triangle& tri = triangles_[rh.hit.primID];
    const float u = rh.hit.u, v = rh.hit.v, w = 1.0f - u - v;
    hit.Distance = rh.ray.tfar;
    hit.Position = origin + direction * rh.ray.tfar;
    hit.S = w * tri.C[0].S + u * tri.C[1].S + v * tri.C[2].S;
    hit.T = w * tri.C[0].T + u * tri.C[1].T + v * tri.C[2].T;
    hit.Part = tri.Part;
    hit.Triangle = static_cast<int>(rh.hit.primID);
    Vec3 ng = Normalized({rh.hit.Ng_x, rh.hit.Ng_y, rh.hit.Ng_z});
    Vec3 n = Normalized(tri.C[0].Normal * w + tri.C[1].Normal * u + tri.C[2].Normal * v);
    // Seen from behind (a card's far face, the inside of a thin shape): turned to the ray.
    if (Dot(ng, direction) > 0)
        ng = -ng;
    if (Dot(n, ng) < 0)
        n = -n;
    hit.GeometricNormal = ng;
    hit.Normal = n;
    return true;
}

bool RayScene::Occluded(Vec3 origin, Vec3 direction, float near, float far) const
{
    RTCIntersectContext context;
    rtcInitIntersectContext(&context);
    RTCRay ray{};
    ray.org_x = origin.x;
    ray.org_y = origin.y;
    ray.org_z = origin.z;
    ray.dir_x = direction.x;
    ray.dir_y = direction.y;
    ray.dir_z = direction.z;
    ray.tnear = near;
    ray.tfar = far;
    ray.mask = 0xFFFFFFFFu;
    rtcOccluded1(embree_->Scene, &context, &ray);
    return ray.tfar < 0; // Embree marks a blocked ray so
}

bool RayScene::TexturePointNear(const RayHit& hit, Vec3 origin, Vec3 direction, float& s, float& t) const
{
    if (hit.Triangle < 0)
        return false;
    const Mapping& m = mappings_[static_cast<std::size_t>(hit.Triangle)];
    const Triangle& tri = triangles_[static_cast<std::size_t>(hit.Triangle)];
    const float facing = Dot(direction, m.Normal);
    if (std::fabs(facing) < 1e-6f)
        return false;
    const float distance = Dot(m.Corner0 - origin, m.Normal) / facing;
    if (!(distance > 0))
        return false;
    const Vec3 offset = origin + direction * distance - m.Corner0;
    const Span& span = partSpans_[static_cast<std::size_t>(tri.Part)];
    s = tri.C[0].S + Dot(m.GradientS, offset);
    t = tri.C[0].T + Dot(m.GradientT, offset);
    return s >= span.MinS && s <= span.MaxS && t >= span.MinT && t <= span.MaxT;
}
