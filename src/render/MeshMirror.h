#pragma once
// The reflection of a shape drawn as a mesh: what MirrorFaces is for the
// classic block, triangle by triangle, with each vertex's own brightness
// from its smooth normal.
#include "render/ProductMesh.h"
#include "render/StudioLooks.h"

#include <cstddef>
#include <vector>

struct MirrorMeshVertex {
    Vec3 Position; // world, mirrored under the floor
    float S = 0, T = 0;
    float Alpha = 0;
    float Brightness = 1;
};

// The mirrored triangles of one part of the mesh (three vertices each,
// counter-clockwise as seen): only those turned to the eye, so that none
// lies over another on a convex shape, and none fully faded.
struct MirrorPart {
    std::size_t Part = 0; // index into the mesh's parts
    std::vector<MirrorMeshVertex> Triangles;
};

// The pose must have been made with the same mesh (its floor is the mesh's).
std::vector<MirrorPart> MirrorMesh(const BoxPose& pose, const ProductMesh& mesh, int strength,
                                   int light, float overlap = 0);
