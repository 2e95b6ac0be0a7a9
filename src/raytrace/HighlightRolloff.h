#pragma once
// Light beyond white. Clipped channel by channel, an orange highlight turns
// yellow and then flat; here the colour keeps its hue and fades towards
// white as its brightest channel passes 1: c -> 1 - (1 - c / m) / m for
// m = that channel. Nothing at or below white changes, so a picture with no
// highlight keeps its bytes.
#include <algorithm>

inline void RollOffHighlights(float& red, float& green, float& blue)
{
    const float m = std::max({red, green, blue});
    if (!(m > 1.0f))
        return;
    for (float* c : {&red, &green, &blue})
        *c = 1.0f - (1.0f - std::max(*c, 0.0f) / m) / m;
}
