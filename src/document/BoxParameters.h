#pragma once
#include "document/BoxForm.h"
#include "document/BoxLooks.h"
#include "document/BoxShape.h"

#include <cstdint>

// Derived values the drawing reads; recomputed from the controls by ApplySliders.
// The initial values are those before the first recompute.
struct BoxParameters {
    float HalfWidth = 0.8f;
    float HalfHeight = 1.0f;
    float HalfThickness = 0.3f;
    std::int32_t EyeAngle = 0;
    float Depth = 50.0f;
    float VerticalOffset = 0.0f;
    float HorizontalOffset = 0.0f;
    float Turn = 0.0f;
    float SideAngle = 30.0f;
    float TiltAngle = 0.0f;
    float BackgroundRed = 1.0f;
    float BackgroundGreen = 1.0f;
    float BackgroundBlue = 1.0f;
    std::uint8_t FogMode = 0;
    BoxForm CurrentForm;
    BoxLooks Looks;
    BoxShape Shape;
    // A fitted view may be deeper or wider than the classic background
    // reaches: the background then grows to fill it. Never set otherwise.
    bool BackgroundFillsView = false;
};

// An angle of 360 or more becomes 0 (not 360 less): a drag past a full turn
// starts again from the front, as it always has.
inline float WrappedViewAngle(float angle)
{
    return angle >= 360.0f ? 0.0f : angle;
}

inline void WrapViewAngles(BoxParameters& p)
{
    p.SideAngle = WrappedViewAngle(p.SideAngle);
    p.TiltAngle = WrappedViewAngle(p.TiltAngle);
}
