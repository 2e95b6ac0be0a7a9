#include "render/SceneMath.h"

namespace {

constexpr float Pi = 3.14159265358979f;

} // namespace

Vec3 Mat3::operator*(Vec3 v) const
{
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
}

Mat3 Mat3::operator*(const Mat3& o) const
{
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = m[i][0] * o.m[0][j] + m[i][1] * o.m[1][j] + m[i][2] * o.m[2][j];
    return r;
}

Mat3 Transposed(const Mat3& a)
{
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r.m[i][j] = a.m[j][i];
    return r;
}

Mat3 RotationDegrees(float angle, Vec3 axis)
{
    const float len = std::sqrt(Dot(axis, axis));
    const float x = axis.x / len, y = axis.y / len, z = axis.z / len;
    const float c = std::cos(angle * Pi / 180.0f), s = std::sin(angle * Pi / 180.0f), k = 1 - c;
    Mat3 r;
    r.m[0][0] = x * x * k + c;
    r.m[0][1] = x * y * k - z * s;
    r.m[0][2] = x * z * k + y * s;
    r.m[1][0] = y * x * k + z * s;
    r.m[1][1] = y * y * k + c;
    r.m[1][2] = y * z * k - x * s;
    r.m[2][0] = x * z * k - y * s;
    r.m[2][1] = y * z * k + x * s;
    r.m[2][2] = z * z * k + c;
    return r;
}
