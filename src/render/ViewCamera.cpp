#include "render/ViewCamera.h"

#include "render/Scene.h"

#include <cmath>

ViewCamera CameraOfView(const BoxParameters& given, float aspect)
{
    BoxParameters p = given;
    WrapViewAngles(p);
    // The scene: eye = Re (a + Rb x), with Re the eye angle's turn, a the
    // four translations after it and Rb the box's own three turns.
    const Scene scene = SceneOf(p, aspect);
    // Its inverse places the camera: x = Rb^T Re^T eye - Rb^T a.
    const Mat3 back = Transposed(scene.Pose.Box());
    const Vec3 origin = back * scene.Pose.Shift();
    ViewCamera camera;
    camera.Position = -origin;
    camera.Orientation = back * Transposed(scene.Pose.Eye());
    camera.Rotation = QuaternionOf(camera.Orientation);
    camera.YFov = scene.Camera.YFov;
    camera.Aspect = scene.Camera.Aspect;
    camera.ZNear = scene.Camera.Near;
    camera.ZFar = scene.Camera.Far;
    return camera;
}

std::array<float, 4> QuaternionOf(const Mat3& r)
{
    const auto& m = r.m;
    double x, y, z, w;
    const double trace = double{m[0][0]} + m[1][1] + m[2][2];
    // The largest of the four first, for precision near half turns.
    if (trace > 0) {
        const double s = std::sqrt(trace + 1.0) * 2;
        w = 0.25 * s;
        x = (m[2][1] - m[1][2]) / s;
        y = (m[0][2] - m[2][0]) / s;
        z = (m[1][0] - m[0][1]) / s;
    } else if (m[0][0] > m[1][1] && m[0][0] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[0][0] - m[1][1] - m[2][2]) * 2;
        w = (m[2][1] - m[1][2]) / s;
        x = 0.25 * s;
        y = (m[0][1] + m[1][0]) / s;
        z = (m[0][2] + m[2][0]) / s;
    } else if (m[1][1] > m[2][2]) {
        const double s = std::sqrt(1.0 + m[1][1] - m[0][0] - m[2][2]) * 2;
        w = (m[0][2] - m[2][0]) / s;
        x = (m[0][1] + m[1][0]) / s;
        y = 0.25 * s;
        z = (m[1][2] + m[2][1]) / s;
    } else {
        const double s = std::sqrt(1.0 + m[2][2] - m[0][0] - m[1][1]) * 2;
        w = (m[1][0] - m[0][1]) / s;
        x = (m[0][2] + m[2][0]) / s;
        y = (m[1][2] + m[2][1]) / s;
        z = 0.25 * s;
    }
    const double n = std::sqrt(x * x + y * y + z * z + w * w);
    // One sign for one rotation: w never negative.
    const double sign = w < 0 ? -1.0 : 1.0;
    return {static_cast<float>(sign * x / n), static_cast<float>(sign * y / n), static_cast<float>(sign * z / n),
            static_cast<float>(sign * w / n)};
}
