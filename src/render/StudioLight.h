#pragma once
// The one studio both engines light the product with: a large soft key light
// above, in front of and to the right of the camera, a dim fill from the
// other side, and an even environment. The lights stand on the floor the box
// stands on (the plane of its bottom), so the eye's angle and the tilt change
// where they are seen from, not how the box is lit. The raster's looks
// follow the same light, so the live view previews the ray-traced picture.
#include "document/BoxParameters.h"
#include "render/StudioLooks.h"

struct StudioLight {
    // Unit directions from the product towards each light, in the eye's frame
    // (x right, y up, z towards the eye).
    Vec3 KeyDirection;
    Vec3 FillDirection;
    // The key light's apparent radius, in radians: what softens its shadow.
    float KeyAngularRadius = 0;
    // Linear radiance, relative to the environment's.
    float KeyRadiance = 0;
    float FillRadiance = 0;
    float EnvironmentRadiance = 0;
};

StudioLight StudioLightFor(const BoxParameters& p);
