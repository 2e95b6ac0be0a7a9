#pragma once
// The one small vector and rotation arithmetic of the scene, in single
// precision, for the raster's geometry and the ray tracer alike. Kept to
// plain floats in order: the stored pictures depend on every rounding.
#include <cmath>

struct Vec3 {
    float x = 0, y = 0, z = 0;
};
// Three packed floats: vertex buffers copy them as such.
static_assert(sizeof(Vec3) == 3 * sizeof(float));

inline Vec3 operator+(Vec3 a, Vec3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
inline Vec3 operator-(Vec3 a, Vec3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
inline Vec3 operator-(Vec3 a) { return {-a.x, -a.y, -a.z}; }
inline Vec3 operator*(Vec3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
inline Vec3 operator*(float s, Vec3 a) { return a * s; }
inline Vec3 operator*(Vec3 a, Vec3 b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
inline Vec3& operator+=(Vec3& a, Vec3 b) { return a = a + b; }
inline float Dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
inline Vec3 Cross(Vec3 a, Vec3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
inline float Length(Vec3 a) { return std::sqrt(Dot(a, a)); }
// A zero vector becomes +z, so a degenerate normal still faces somewhere.
inline Vec3 Normalized(Vec3 a)
{
    const float l = Length(a);
    return l > 0 ? a * (1.0f / l) : Vec3{0, 0, 1};
}
inline Vec3 Lerp(Vec3 a, Vec3 b, float f) { return {a.x + (b.x - a.x) * f, a.y + (b.y - a.y) * f, a.z + (b.z - a.z) * f}; }

// Row-major rotation, as glRotatef builds it.
struct Mat3 {
    float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 operator*(Vec3 v) const;
    Mat3 operator*(const Mat3& o) const;
};
Mat3 RotationDegrees(float angle, Vec3 axis);
// The inverse of a rotation.
Mat3 Transposed(const Mat3& a);
