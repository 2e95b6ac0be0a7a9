#pragma once
// Reading PNG pictures through libpng (the encoder is in
// output/PictureWriter.h).
#include "formats/ImageCodec.h"

// Decodes the whole file (any colour type and depth) to 8-bit RGBA; the
// colours of transparent pixels are kept as stored. libpng's warnings (about
// ancillary chunks such as colour profiles) are accepted; errors throw
// ImageError.
void DecodePng(const QString& fileName, const AllocateRgba& allocate);

// The deflate level WritePictureFile saves a PNG at, for its quality of
// 1..100: 0..9.
constexpr int PngCompressionLevel(int quality) { return quality * 9 / 100; }
