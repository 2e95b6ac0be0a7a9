#pragma once
// The scene the raster draws, for rays: the product's surface mesh placed in
// the eye's frame by the scene's pose, the camera of its perspective, and
// the raster's floor. Embree answers the ray queries.
#include "raytrace/RayMath.h"
#include "render/ProductMesh.h"
#include "render/Scene.h"

#include <memory>
#include <vector>

// The scene's perspective over the picture. A camera ray's direction has
// z = -1, so its distance parameter is the eye depth the raster clips and
// fogs by.
struct RayCamera {
    int Width = 1, Height = 1;
    float TanHalf = 0, Aspect = 1;
    static constexpr float Near = static_cast<float>(SceneLens::Near), Far = static_cast<float>(SceneLens::Far);
    // tanHalf: of half the vertical field (the scene camera's).
    RayCamera(int width, int height, float tanHalf);
    // (x, y) in pixels from the top left corner of the picture.
    Vec3 Direction(float x, float y) const;
};

struct RayHit {
    float Distance = 0;
    Vec3 Position, Normal; // the shading normal, turned towards the ray
    Vec3 GeometricNormal;  // of the triangle, turned towards the ray
    float S = 0, T = 0;
    int Part = -1;
    int Triangle = -1;
};

class RayScene {
public:
    // `mesh` (in the box frame, a bundle's in the group's) posed as `scene`
    // says, on the scene's floor (SceneOf with this mesh).
    RayScene(const Scene& scene, ProductMesh mesh);
    ~RayScene();
    RayScene(const RayScene&) = delete;
    RayScene& operator=(const RayScene&) = delete;

    bool Intersect(Vec3 origin, Vec3 direction, float near, float far, RayHit& hit) const;
    bool Occluded(Vec3 origin, Vec3 direction, float near, float far) const;
    // The texture point where a ray from `origin` along `direction` meets
    // the plane of the hit's triangle, its mapping carried on past the
    // triangle: where a neighbouring eye ray meets the same face. False when
    // the ray runs along the plane or away from it, or the point lies off
    // the texture of the triangle's part (on another face, or none).
    bool TexturePointNear(const RayHit& hit, Vec3 origin, Vec3 direction, float& s, float& t) const;

    const MeshPart& Part(int index) const { return mesh_.Parts[static_cast<std::size_t>(index)]; }
    const Scene& View() const { return scene_; }
    const ProductMesh& Mesh() const { return mesh_; }

    // The raster's floor in the eye's frame: its unit normal points up from
    // the floor into the room.
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
    // A triangle's texture mapping over its plane: S = S0 + GradientS . (p - Corner0).
    struct Mapping {
        Vec3 Corner0, Normal, GradientS, GradientT;
    };
    struct Span {
        float MinS = 1e30f, MaxS = -1e30f, MinT = 1e30f, MaxT = -1e30f;
    };
    std::vector<Mapping> mappings_;
    std::vector<Span> partSpans_;
    Scene scene_;
    ProductMesh mesh_;
    std::vector<Triangle> triangles_;
    struct Embree;
    std::unique_ptr<Embree> embree_;
};
