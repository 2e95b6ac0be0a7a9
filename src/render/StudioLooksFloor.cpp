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

FloorPlane FloorPlaneOf(const BoxParameters& p, const ProductMesh* mesh)
{
    const FloorChoice floor = ChooseFloor(p, mesh);
    FloorPlane plane;
    // The floor's frame turns about the world's origin: its plane y = FloorY
    // keeps its distance from there.
    plane.Normal = FloorToWorld(p, floor.Tilt) * Vec3{0, 1, 0};
    plane.Height = PoseOf(p, floor.Tilt, mesh).FloorY;
    plane.Weight = floor.Weight;
    return plane;
}

FloorChoice ChooseFloor(const BoxParameters& p, const ProductMesh* mesh)
{
    // The box stands on its bottom: a tilted view looks down onto the floor.
    const float bottom = EyeElevation(PoseOf(p, p.TiltAngle, mesh));
    if (bottom > 0)
        return {p.SideAngle, p.TiltAngle, FloorFade(bottom)};
    // The eye sees the bottom: the box rests on an edge of the level floor.
    const float level = FloorFade(EyeElevation(PoseOf(p, 0, mesh)));
    return {p.SideAngle, 0, level * FloorFade(-bottom)};
}
