#pragma once
// What the ray tracer draws: one box, or a bundle's boxes placed exactly as
// the raster places them (BoxGroup.h), each with its own covers and gloss
// coat, under one view and on one floor.
#include "document/BoxParameters.h"
#include "raytrace/CoverTexels.h"
#include "render/BoxGroup.h"
#include "render/ProductMesh.h"

#include <vector>

struct RayBox {
    BoxParameters Params; // its kind, size and shape
    RayCovers Covers;
    int Gloss = 0;        // 0..100
};

struct RayProduct {
    // The view, looks, background and fog: the box's, or a bundle's first box's.
    BoxParameters View;
    std::vector<RayBox> Boxes; // one, or a bundle's in their order
    GroupArrangement Arrangement = GroupArrangement::Row;
    float Spacing = static_cast<float>(GroupLimits::DefaultSpacing);

    bool IsBundle() const { return Boxes.size() > 1; }
    // What the scene is seen and lit with: the view, for a bundle with its
    // largest half extents, as the raster's GroupView.
    BoxParameters SceneView() const;
    // The surface in the frame the view turns: the box's own (SurfaceMeshOf),
    // or every box's placed in the group, each part tagged with its box.
    ProductMesh Mesh() const;
};

RayProduct OneBoxProduct(const BoxParameters& p, RayCovers covers, int gloss);
