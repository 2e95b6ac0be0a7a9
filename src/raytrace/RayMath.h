#pragma once
// Small vector arithmetic for the ray tracer, in single precision as the
// raster's geometry is.
#include <cmath>

struct V3 {
    float x = 0, y = 0, z = 0;
};

inline V3 operator+(V3 a, V3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline V3 operator-(V3 a) { return {-a.x, -a.y, -a.z}; }
inline V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline V3 operator*(float s, V3 a) { return a * s; }
inline V3 operator*(V3 a, V3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline V3& operator+=(V3& a, V3 b) { return a = a + b; }
inline float Dot(V3 a, V3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline V3 Cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(V3 a) { return std::sqrt(Dot(a, a)); }
inline V3 Normalized(V3 a)
{
    const float l = Length(a);
    return l > 0 ? a * (1.0f / l) : V3{0, 0, 1};
}
inline float Luminance(V3 c) { return 0.2126f * c.x + 0.7152f * c.y + 0.0722f * c.z; }
inline float MaxOf(V3 c) { return std::fmax(c.x, std::fmax(c.y, c.z)); }

// An orthonormal frame around a unit normal (Duff et al.'s branchless one).
struct Frame {
    V3 T, B, N;
    explicit Frame(V3 n) : N(n)
    {
        const float sign = std::copysign(1.0f, n.z);
        const float a = -1.0f / (sign + n.z);
        const float b = n.x * n.y * a;
        T = {1.0f + sign * n.x * n.x * a, sign * b, -sign * n.x};
        B = {b, sign + n.y * n.y * a, -n.y};
    }
    V3 ToWorld(V3 v) const { return T * v.x + B * v.y + N * v.z; }
    V3 ToLocal(V3 v) const { return {Dot(v, T), Dot(v, B), Dot(v, N)}; }
};

inline constexpr float Pi = 3.14159265358979323846f;
