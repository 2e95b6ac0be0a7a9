#pragma once
// The raster's camera as a thing placed in the box's frame, for whatever
// shows the product elsewhere (a 3D model file): the same field of view,
// aspect, position and orientation as BoxRenderer::DrawFrame and
// SceneDriver::SetViewport give the picture.
#include "document/BoxParameters.h"
#include "render/StudioLooks.h"

#include <array>

// A model file's scale: one scene unit is a tenth of a metre, so a size
// label (half a side in hundredths of a unit) reads as millimetres of half
// the side; the default box (70, 100, 30) is 14 x 20 x 6 cm.
inline constexpr float MetresPerSceneUnit = 0.1f;

struct ViewCamera {
    Vec3 Position;                      // the eye, in the box's frame
    std::array<float, 4> Rotation{0, 0, 0, 1}; // unit quaternion x, y, z, w: camera to box frame
    Mat3 Orientation;                   // the same as a matrix (columns: right, up, back)
    float YFov = 0;                     // radians, of the full height
    float Aspect = 1;                   // width / height
    float ZNear = 0, ZFar = 0;          // in scene units, as the raster's
};

// The eye of a frame of `p` (angles wrapped as the raster wraps them) seen
// from the box's own frame, for a picture of that aspect. The camera looks
// down its -z with +y up, as GL's eye space and glTF's camera do.
ViewCamera CameraOfView(const BoxParameters& p, float aspect);

// Unit quaternion (x, y, z, w) of a rotation matrix.
std::array<float, 4> QuaternionOf(const Mat3& rotation);
