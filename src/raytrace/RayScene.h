#pragma once
// The scene the raster draws, for rays: the product's surface mesh placed in
// the eye's frame by the frame's own turns and moves, the camera of the
// scene driver's perspective, and the floor the box stands on. Embree
// answers the ray queries.
#include "document/BoxParameters.h"
#include "raytrace/RayMath.h"
#include "render/ProductMesh.h"

#include <memory>
#include <vector>

// Box frame to eye frame: the rotate / translate sequence of the raster's frame.
struct BoxPlacement {
    float R[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    Vec3 T;
    Vec3 Point(Vec3 p) const { return Turn(p) + T; }
    Vec3 Turn(Vec3 v) const
    {
        return {R[0][0] * v.x + R[0][1] * v.y + R[0][2] * v.z, R[1][0] * v.x + R[1][1] * v.y + R[1][2] * v.z,
                R[2][0] * v.x + R[2][1] * v.y + R[2][2] * v.z};
    }
};
BoxPlacement PlacementOf(const BoxParameters& p);

// The perspective of the scene driver: 45 degrees high, the picture's
// aspect, near 0.1 and far 100. A camera ray's direction has z = -1, so its
// distance parameter is the eye depth the raster clips and fogs by.
struct RayCamera {
    int Width = 1, Height = 1;
    float TanHalf = 0, Aspect = 1;
    static constexpr float Near = 0.1f, Far = 100.0f;
    RayCamera(int width, int height);
    // (x, y) in pixels from the top left corner of the picture.
    Vec3 Direction(float x, float y) const;
};

struct RayHit {
    float Distance = 0;
    Vec3 Position, Normal; // the shading normal, turned towards the ray
    Vec3 GeometricNormal;  // of the triangle, turned towards the ray
    float S = 0, T = 0;
    int Part = -1;
};

class RayScene {
public:
    // The box of `p`.
    explicit RayScene(const BoxParameters& p);
    // `mesh` (in the box frame, a bundle's in the group's) seen as `view` says;
    // the floor under its lowest point.
    RayScene(const BoxParameters& view, ProductMesh mesh);
    ~RayScene();
    RayScene(const RayScene&) = delete;
    RayScene& operator=(const RayScene&) = delete;

    bool Intersect(Vec3 origin, Vec3 direction, float near, float far, RayHit& hit) const;
    bool Occluded(Vec3 origin, Vec3 direction, float near, float far) const;

    const MeshPart& Part(int index) const { return mesh_.Parts[static_cast<std::size_t>(index)]; }

    // The plane under the box's bottom face, in the eye's frame: its unit
    // normal points up from the floor into the room.
    Vec3 FloorPoint, FloorNormal;
    // A length of the scene's size, for ray offsets.
    float Scale = 1;

private:
    struct Corner {
        Vec3 Normal;
        float S, T;
    };
    struct Triangle {
        Corner C[3];
        int Part;
    };
    ProductMesh mesh_;
    std::vector<Triangle> triangles_;
    struct Embree;
    std::unique_ptr<Embree> embree_;
};
