#pragma once
// The scene of a frame, derived once from the document's view: how the box
// is turned and moved before the eye (the one view transform), the camera,
// the floor it stands on and the flat background. The raster's GL
// transform, its looks, the ray tracer, a model file's camera and the
// framing fit all read it, so the engines cannot drift apart.
#include "document/BoxParameters.h"
#include "render/SceneMath.h"
#include "render/StudioLooksFloor.h"

#include <cmath>

struct ProductMesh;

// The raster's perspective (SceneDriver::SetViewport).
namespace SceneLens {
inline constexpr double FovYDegrees = 45.0; // from top to bottom
inline constexpr double Near = 0.1, Far = 100.0;
inline double TanHalfFov() { return std::tan(FovYDegrees / 2 * M_PI / 180.0); }
// A lens of `lensMm` on a full-frame camera held level: half its 24 mm
// height over the focal length. The classic lens (0) is the field above.
inline double TanHalfOf(int lensMm) { return lensMm > 0 ? 12.0 / lensMm : TanHalfFov(); }
// How much larger the lens shows the world than the classic field does.
inline double ZoomOf(int lensMm) { return TanHalfFov() / TanHalfOf(lensMm); }
} // namespace SceneLens

// A point x of the box's frame is seen at Eye() * (Shift() + Box() * x):
// GL's calls in the frame's order, the eye angle's turn, the lift and the
// three moves, then the box's side angle, tilt and turn. Another lens than
// the classic one moves the box away along the eye's axis by its zoom, so
// that the product keeps its size and place and only the perspective
// changes.
struct ScenePose {
    float EyeAngle = 0;               // degrees about x
    float Lift = 0;                   // EyeLift of the eye angle
    float Depth = 0, Up = 0, Across = 0; // the moves along z, y and x
    float Side = 0, Tilt = 0, Turn = 0;  // degrees about y, x and z

    Mat3 Eye() const;
    // Seen from a floor tilted by floorTilt, the box keeps only the rest of its tilt.
    Mat3 Box(float floorTilt = 0) const;
    // The world's move before the eye's turn.
    Vec3 Shift() const { return {Across, Lift + Up, Depth}; }
    // The whole as one rotation and one move: Rotation() * x + Translation().
    Mat3 Rotation() const { return Eye() * Box(); }
    Vec3 Translation() const { return Eye() * Shift(); }
};
ScenePose ViewPoseOf(const BoxParameters& p);
// The depth and offsets whose pose has this Shift() (the eye angle kept).
void SetViewShift(BoxParameters& p, Vec3 shift);

struct SceneCamera {
    float Aspect = 1;  // width / height
    float TanHalf = 0; // of the vertical field of view
    float YFov = 0;    // radians, of the full height
    float Near = static_cast<float>(SceneLens::Near), Far = static_cast<float>(SceneLens::Far);
};

// The flat background behind the box, in the eye's frame: the classic
// quad, 30 each way at depth + 10, where that fills a view of this aspect
// (width / height), else as large as it must be to fill it. The classic
// frame draws the classic quad at any depth (a deep or wide view shows the
// clear colour around it); a fitted view (BackgroundFillsView) this one.
struct BackgroundQuad {
    float HalfWidth = 30.0f, HalfHeight = 30.0f, Z = -60.0f;
};
BackgroundQuad BackgroundQuadFor(float depth, float aspect);
// The quad a frame of `p` draws.
BackgroundQuad BackgroundOf(const BoxParameters& p, float aspect);

struct Scene {
    ScenePose Pose;
    SceneCamera Camera;
    // The raster's floor (FloorPlaneOf), in the world; and the same plane in
    // the eye's frame, its unit normal pointing up into the room.
    FloorPlane Floor;
    Vec3 FloorPoint, FloorNormal;
    BackgroundQuad Background;

    // A point of the box's frame in the eye's.
    Vec3 Seen(Vec3 box) const;
};
// With a mesh that is not empty, the product stands on the mesh's lowest
// point, as in PoseOf.
Scene SceneOf(const BoxParameters& p, float aspect, const ProductMesh* mesh = nullptr);
