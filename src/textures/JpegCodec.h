#pragma once
// JPEG pictures through libjpeg-turbo's TurboJPEG interface.
#include "textures/ImageCodec.h"

// Decodes the whole file at full size. CMYK pictures (as print workflows make
// them) are turned into RGB. Every libjpeg warning counts as damage: they all
// mean corrupt or missing data. Throws ImageError.
void DecodeJpeg(const QString& fileName, const AllocateRgba& allocate);

// Writes RGBA pixels (bottom row first, alpha ignored) as a baseline JPEG
// with 4:2:0 chroma subsampling at quality 1..100. Throws ImageError.
void EncodeJpeg(const QString& fileName, const std::uint8_t* rgba, int width, int height,
                int quality);
