#pragma once
// PNG pictures through libpng.
#include "textures/ImageCodec.h"

// Decodes the whole file (any colour type and depth) to 8-bit RGBA; the
// colours of transparent pixels are kept as stored. libpng's warnings (about
// ancillary chunks such as colour profiles) are accepted; errors throw
// ImageError.
void DecodePng(const QString& fileName, const AllocateRgba& allocate);

// The deflate level for an encoder quality of 1..100: 0..9.
constexpr int PngCompressionLevel(int quality) { return quality * 9 / 100; }

// Writes RGBA pixels (bottom row first, alpha ignored) as an 8-bit RGB PNG at
// the given deflate level. Throws ImageError.
void EncodePng(const QString& fileName, const std::uint8_t* rgba, int width, int height,
               int level);
