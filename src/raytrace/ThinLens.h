#pragma once
// The open lens of the ray tracer's depth of field: a full-frame lens of
// the camera's field opened to an f-number, its rays through every point
// of the opening meeting again on the plane in focus.
#include "render/SceneMath.h"

struct ThinLens {
    float Radius = 0; // in scene units; 0: a pinhole
    float Focus = 1;  // the depth in focus

    // tanHalf: of half the vertical field, as the camera's.
    static ThinLens Of(float tanHalf, float fNumber, float focus);
    // The ray of picture direction `pinhole` (z = -1) through the lens
    // point that (u, v) in [0, 1)^2 picks; its direction's z stays -1.
    void Ray(Vec3 pinhole, float u, float v, Vec3& origin, Vec3& direction) const;
};
