#pragma once
// The pictures the ray tracer lays on the product: each kept as the 8-bit
// RGBA the readers make (bottom row first, as a texture takes it) and read
// through a table from sRGB to linear light, bilinearly at full resolution
// and repeating as the raster's textures do. A large cover never becomes a
// float copy.
#include "formats/RgbaPicture.h"
#include "raytrace/RayMath.h"
#include "render/BoxSides.h"

#include <array>
#include <memory>

class CoverTexels {
public:
    // Takes the picture (it must have pixels).
    explicit CoverTexels(RgbaPicture picture);
    // One colour, as the placeholders are: 0xRRGGBB.
    static std::shared_ptr<const CoverTexels> Solid(unsigned rgb);

    int Width() const { return picture_.Width; }
    int Height() const { return picture_.Height; }
    // Linear light at (s, t); t = 0 is the picture's bottom row.
    Vec3 Sample(float s, float t) const;

private:
    RgbaPicture picture_;
};

// sRGB byte to linear light, and back (rounded, clamped).
float DecodeSrgb(int byte);
int EncodeSrgb(float linear);

// What each slot shows (SlotIndex order): a classic slot always has a
// picture (its placeholder at least), an own slot only when it has one.
struct RayCovers {
    std::array<std::shared_ptr<const CoverTexels>, SlotCount> Slots;
    std::shared_ptr<const CoverTexels> PageEdges;

    // As SideTexture: the side's own picture, else its pair's.
    const CoverTexels* OfSide(BoxSide side) const;
    bool HasOwn(BoxSide side) const;
};

// Every classic slot with its placeholder colour, no own pictures, the paper.
RayCovers PlaceholderCovers();
