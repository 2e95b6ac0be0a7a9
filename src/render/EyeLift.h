#pragma once
// What the box drawing and the looks' shadow and reflection (which place
// the floor under the same view) must agree on.
#include <cmath>
#include <cstdint>

// Vertical lift of the view for an eye angle. The angle / 180 is used as
// radians as it stands: the look of every stored view depends on it.
inline float EyeLift(std::int32_t eyeAngle)
{
    return static_cast<float>(-10.0 * std::sin(static_cast<double>(eyeAngle) / 180.0));
}

// Below this half-thickness only the front and back are drawn (flat card).
inline constexpr float ThinCardLimit = 0.002f;
