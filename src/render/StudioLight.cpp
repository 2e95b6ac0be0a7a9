#include "render/StudioLight.h"

#include <cmath>

namespace {

Vec3 Unit(Vec3 v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

} // namespace

StudioLight StudioLightFor(const BoxParameters& p)
{
    StudioLight light;
    // The lights stand in the studio, on the floor of the box's bottom: the
    // eye's angle and a tilted view move the camera, not the lights, so a
    // view from above still lights the front. Seen from that floor the key
    // is in front of the camera, to its right and about 40 degrees up.
    const Mat3 floorToEye =
        RotationDegrees(static_cast<float>(p.EyeAngle), {1, 0, 0}) * FloorToWorld(p, p.TiltAngle);
    light.KeyDirection = floorToEye * Unit({0.4f, 0.65f, 0.65f});
    light.FillDirection = floorToEye * Unit({-0.6f, 0.25f, 0.75f});
    light.KeyAngularRadius = 0.25f;
    light.KeyRadiance = 12.0f;
    light.FillRadiance = 1.5f;
    light.EnvironmentRadiance = 0.6f;
    return light;
}
