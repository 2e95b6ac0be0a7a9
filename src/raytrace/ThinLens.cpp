#include "raytrace/PathTracer.h"
#include "raytrace/ThinLens.h"

#include "raytrace/RayMath.h"
#include "raytrace/RaySampler.h"

#include <algorithm>
#include <cmath>

// The open lens of the depth of field.

namespace {

// Concentric map of the unit square onto the unit disk: even spacing stays even.
void DiskPoint(float u, float v, float& x, float& y)
{
    const float a = 2.0f * u - 1.0f, b = 2.0f * v - 1.0f;
    if (a == 0 && b == 0) {
        x = y = 0;
        return;
    }
    float r = 0, phi = 0;
    if (std::fabs(a) > std::fabs(b)) {
        r = a;
        phi = Pi / 4 * (b / a);
    } else {
        r = b;
        phi = Pi / 2 - Pi / 4 * (a / b);
    }
    x = r * std::cos(phi);
    y = r * std::sin(phi);
}

} // namespace

ThinLens ThinLens::Of(float tanHalf, float fNumber, float focus)
{
    // Its focal length is the 12 mm of half a full frame's height over
    // tan(half the field), and a scene unit is 100 mm.
    const float focal = 0.12f / tanHalf;
    return {fNumber > 0 ? focal / (2.0f * fNumber) : 0.0f, std::max(focus, RayCamera::Near)};
}

void ThinLens::Ray(Vec3 pinhole, float u, float v, Vec3& origin, Vec3& direction) const
{
    float x = 0, y = 0;
    DiskPoint(u, v, x, y);
    origin = {x * Radius, y * Radius, 0};
    direction = (pinhole * Focus - origin) * (1.0f / Focus);
}

void PathTracer::OpenLens(const RayScene& scene, float fNumber)
{
    // In focus: the middle of the first box's front, else of the whole product.
    Vec3 front, all;
    int frontCount = 0, allCount = 0;
    for (const MeshPart& part : scene.Mesh().Parts)
        for (const MeshVertex& v : part.Triangles) {
            const Vec3 seen = scene.View().Seen(v.Position);
            all += seen;
            ++allCount;
            if (part.Side == BoxSide::Front && part.Group == 0) {
                front += seen;
                ++frontCount;
            }
        }
    const Vec3 middle = frontCount > 0 ? front * (1.0f / static_cast<float>(frontCount))
                        : allCount > 0 ? all * (1.0f / static_cast<float>(allCount))
                                       : Vec3{0, 0, -1};
    lens_ = ThinLens::Of(camera_.TanHalf, fNumber, -middle.z);
}

void PathTracer::EyeRay(float px, float py, RaySampler& sampler, Vec3& origin, Vec3& direction) const
{
    direction = camera_.Direction(px, py);
    origin = {};
    if (lens_.Radius <= 0)
        return; // no draw from the sampler: a pinhole's paths stay as they were
    // Hashed, not a pair of the sequence: that would tie the lens point to
    // the point in the pixel, whose pair follows the same sequence.
    const float u = sampler.Next(), v = sampler.Next();
    lens_.Ray(direction, u, v, origin, direction);
}
