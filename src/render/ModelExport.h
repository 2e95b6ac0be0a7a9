#pragma once
// The product as a 3D model: binary glTF 2.0 with the surface the raster
// draws (SurfaceMeshOf), in metres (MetresPerSceneUnit), one material per
// picture with the picture embedded, and the view's camera. No files: the
// caller says where the bytes go (the command line, the service).
#include "document/BoxParameters.h"
#include "render/BoxSides.h"
#include "render/ModelPictures.h"

#include <QByteArray>

#include <array>
#include <optional>

struct ModelCovers {
    // By SlotIndex. An empty slot shows what the render shows there: a
    // classic slot its placeholder's colour, an own side its pair's picture.
    std::array<std::optional<ModelPicture>, SlotCount> Slots;
};

// The whole .glb file for a view of `aspect` (width / height of the
// picture). Throws std::length_error beyond what a GLB can hold.
QByteArray ExportGlb(const BoxParameters& p, const ModelCovers& covers, float aspect);
