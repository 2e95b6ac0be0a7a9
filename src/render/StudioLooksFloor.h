#pragma once
// Which floor the shadow and the reflection lie on, and how strongly.
//
// The box stands on its bottom face, whatever the view: the floor is the
// plane of the bottom, turned with the side angle and the tilt, so a tilted
// view looks down onto (or along) the floor, as if the camera moved, and
// never shows the box balancing on one edge of a level floor. Once the eye
// sees the bottom (leaning far back, or upside down), it looks at that
// floor from below; the box then rests on an edge of the level floor at its
// lowest corner, which is in sight and right again.
//
// No floor is seen from below: the looks fade out as the eye comes down to
// the floor's plane, so a tilt sweep never jumps, also where one floor
// hands over to the other (both are faded out there).
#include "document/BoxParameters.h"
#include "render/StudioLooks.h"

struct FloorChoice {
    float Side = 0;   // the side angle and tilt the floor turns by (0 tilt:
    float Tilt = 0;   // level), as PoseOf's floorTilt
    float Weight = 0; // 0..1: scales the shadow and the reflection
};
// A mesh that is not empty is the box (see PoseOf).
FloorChoice ChooseFloor(const BoxParameters& p, const ProductMesh* mesh = nullptr);

// The chosen floor as a plane of the world (the frame PoseOf(p) uses): a
// point w lies on it when Dot(Normal, w) == Height, above it when greater.
// The ray tracer's floor is this plane, so both engines stand the box alike.
struct FloorPlane {
    Vec3 Normal{0, 1, 0};
    float Height = 0;
    float Weight = 0; // as FloorChoice's
};
FloorPlane FloorPlaneOf(const BoxParameters& p, const ProductMesh* mesh = nullptr);

// The eye's height over the pose's floor, as an angle seen from the floor
// under the box's centre: degrees, negative below the floor.
float EyeElevation(const BoxPose& pose);

// The looks are full from this elevation up and gone at the floor's plane.
inline constexpr float FloorFadeDegrees = 2.0f;
float FloorFade(float elevation);
