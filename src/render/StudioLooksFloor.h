#pragma once
// Which floor the shadow and the reflection lie on, and how strongly.
//
// A box leaning back rests on one bottom edge of a level floor. Seen from
// above the plane of its bottom, the level mirror would show the mirrored
// underside as a wedge under the raised front edge; so such a box stands on
// the plane of its own bottom instead, a floor tilted with it, as if the
// camera looked from higher. Once the eye sees the bottom, the edge the box
// rests on is in sight and the level floor is right again. Every other
// view keeps the level floor at the lowest corner.
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

// The eye's height over the pose's floor, as an angle seen from the floor
// under the box's centre: degrees, negative below the floor.
float EyeElevation(const BoxPose& pose);

// The looks are full from this elevation up and gone at the floor's plane.
inline constexpr float FloorFadeDegrees = 2.0f;
float FloorFade(float elevation);
