#pragma once
// A picture in the colours of a palette, with serpentine Floyd-Steinberg
// error diffusion: what a pixel's nearest colour misses is carried to the
// pixels after it and below it, so a smooth gradient between two palette
// colours comes out as a fine mix of both instead of a band of one. The
// error is damped and what a pixel receives is capped, so that it never
// builds up into a far colour. Deterministic, on one thread.
#include "formats/NearestColour.h"
#include "formats/PictureWriter.h"

#include <vector>

// Palette indexes, Width x Height, top row first; alpha is ignored.
std::vector<std::uint8_t> DitherToPalette(const RgbaRows& picture, NearestColour& nearest);

// A picture as a GIF frame holds it: its own palette and an index a pixel.
struct IndexedPicture {
    std::vector<PaletteColour> Colours; // 1..256
    std::vector<std::uint8_t> Indexes;  // top row first
};

// ChoosePalette, then DitherToPalette. A picture of at most 256 colours
// keeps every pixel exactly.
IndexedPicture ReduceTo256Colours(const RgbaRows& picture);
