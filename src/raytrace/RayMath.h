#pragma once
// The ray tracer's colour and frame helpers over the scene's one vector
// type, in single precision as the raster's geometry is.
#include "render/SceneMath.h"

#include <cmath>

inline float Luminance(Vec3 c) { return 0.2126f * c.x + 0.7152f * c.y + 0.0722f * c.z; }
inline float MaxOf(Vec3 c) { return std::fmax(c.x, std::fmax(c.y, c.z)); }

// An orthonormal frame around a unit normal (Duff et al.'s branchless one).
struct Frame {
    Vec3 T, B, N;
    explicit Frame(Vec3 n) : N(n)
    {
        const float sign = std::copysign(1.0f, n.z);
        const float a = -1.0f / (sign + n.z);
        const float b = n.x * n.y * a;
        T = {1.0f + sign * n.x * n.x * a, sign * b, -sign * n.x};
        B = {b, sign + n.y * n.y * a, -n.y};
    }
    Vec3 ToWorld(Vec3 v) const { return T * v.x + B * v.y + N * v.z; }
    Vec3 ToLocal(Vec3 v) const { return {Dot(v, T), Dot(v, B), Dot(v, N)}; }
};

inline constexpr float Pi = 3.14159265358979323846f;
