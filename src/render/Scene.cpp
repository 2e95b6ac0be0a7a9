#include "render/Scene.h"

#include "render/EyeLift.h"

#include <algorithm>

ScenePose ViewPoseOf(const BoxParameters& p)
{
    ScenePose pose;
    pose.EyeAngle = static_cast<float>(p.EyeAngle);
    pose.Lift = EyeLift(p.EyeAngle);
    pose.Depth = -p.Depth / 10.0f;
    pose.Up = p.VerticalOffset / 10.0f;
    pose.Across = p.HorizontalOffset / 100.0f;
    pose.Side = p.SideAngle;
    pose.Tilt = p.TiltAngle;
    pose.Turn = p.Turn / 10.0f;
    if (p.Looks.LensMm != LookLimits::ClassicLens) {
        Vec3 seen = pose.Translation();
        seen.z *= static_cast<float>(SceneLens::ZoomOf(p.Looks.LensMm));
        const Vec3 shift = Transposed(pose.Eye()) * seen;
        pose.Across = shift.x;
        pose.Up = shift.y - pose.Lift;
        pose.Depth = shift.z;
    }
    return pose;
}

void SetViewShift(BoxParameters& p, Vec3 shift)
{
    p.HorizontalOffset = shift.x * 100.0f;
    p.VerticalOffset = (shift.y - EyeLift(p.EyeAngle)) * 10.0f;
    p.Depth = -shift.z * 10.0f;
}

Mat3 ScenePose::Eye() const
{
    return RotationDegrees(EyeAngle, {1, 0, 0});
}

Mat3 ScenePose::Box(float floorTilt) const
{
    return RotationDegrees(Side, {0, 1, 0}) * RotationDegrees(Tilt - floorTilt, {1, 0, 0}) *
           RotationDegrees(Turn, {0, 0, 1});
}

BackgroundQuad BackgroundQuadFor(float depth, float aspect)
{
    // The classic quad (30 each way at depth + 10) where it fills the view;
    // larger where a deep or wide view would show the clear colour around
    // it, and never behind the far plane (100), where a fitted depth may
    // take it.
    BackgroundQuad quad;
    quad.Z = -std::min(depth + 10.0f, 99.0f);
    const float seen = -quad.Z * static_cast<float>(SceneLens::TanHalfFov()) * 1.01f;
    quad.HalfHeight = std::max(30.0f, seen);
    quad.HalfWidth = std::max(30.0f, seen * std::max(aspect, 1e-3f));
    return quad;
}

BackgroundQuad BackgroundOf(const BoxParameters& p, float aspect)
{
    return p.BackgroundFillsView ? BackgroundQuadFor(p.Depth, aspect)
                                 : BackgroundQuad{30.0f, 30.0f, -(p.Depth + 10.0f)};
}

Vec3 Scene::Seen(Vec3 box) const
{
    return Pose.Rotation() * box + Pose.Translation();
}

Scene SceneOf(const BoxParameters& p, float aspect, const ProductMesh* mesh)
{
    Scene scene;
    scene.Pose = ViewPoseOf(p);
    scene.Camera.Aspect = aspect;
    const double tanHalf = SceneLens::TanHalfOf(p.Looks.LensMm);
    scene.Camera.TanHalf = static_cast<float>(tanHalf);
    scene.Camera.YFov = static_cast<float>(p.Looks.LensMm == LookLimits::ClassicLens ? SceneLens::FovYDegrees * M_PI / 180.0
                                                                                      : 2.0 * std::atan(tanHalf));
    scene.Floor = FloorPlaneOf(p, mesh);
    // The world's point of the plane nearest its origin, moved and turned to the eye.
    const Mat3 eye = scene.Pose.Eye();
    scene.FloorNormal = Normalized(eye * scene.Floor.Normal);
    scene.FloorPoint = eye * (scene.Floor.Normal * scene.Floor.Height + scene.Pose.Shift());
    scene.Background = BackgroundOf(p, aspect);
    return scene;
}
