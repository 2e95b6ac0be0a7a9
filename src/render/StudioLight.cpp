#include "render/StudioLight.h"

#include <cmath>

namespace {

Vec3 Unit(Vec3 v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    return {v.x / length, v.y / length, v.z / length};
}

} // namespace

StudioLight StudioLightFor(const BoxParameters&)
{
    StudioLight light;
    // The direction the classic light shading has always used.
    light.KeyDirection = Unit({0.35f, 0.55f, 0.75f});
    light.FillDirection = Unit({-0.6f, 0.2f, 0.75f});
    light.KeyAngularRadius = 0.25f;
    light.KeyRadiance = 12.0f;
    light.FillRadiance = 1.5f;
    light.EnvironmentRadiance = 0.6f;
    return light;
}
