#include "render/StudioLooksFloor.h"

#include <algorithm>
#include <cmath>

float EyeElevation(const BoxPose& pose)
{
    const Vec3 d{pose.Camera.x, pose.Camera.y - pose.FloorY, pose.Camera.z};
    const float length = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    if (length <= 0)
        return 0;
    return std::asin(std::clamp(d.y / length, -1.0f, 1.0f)) * 180.0f / 3.14159265358979f;
}

float FloorFade(float elevation)
{
    const float x = std::clamp(elevation / FloorFadeDegrees, 0.0f, 1.0f);
    return x * x * (3 - 2 * x);
}

FloorChoice ChooseFloor(const BoxParameters& p, const ProductMesh* mesh)
{
    const float level = FloorFade(EyeElevation(PoseOf(p, 0, mesh)));
    // Leaning back, short of lying on its back: the only views whose level
    // floor can hide the edge the box rests on.
    const float lean = std::remainder(p.TiltAngle, 360.0f);
    if (lean < 0 && lean > -90) {
        const float bottom = EyeElevation(PoseOf(p, p.TiltAngle, mesh));
        if (bottom > 0)
            return {p.SideAngle, p.TiltAngle, FloorFade(bottom)};
        return {p.SideAngle, 0, level * FloorFade(-bottom)};
    }
    return {p.SideAngle, 0, level};
}
