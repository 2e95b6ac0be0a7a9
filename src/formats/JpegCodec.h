#pragma once
// Reading JPEG pictures through libjpeg-turbo's TurboJPEG interface (the
// encoder is in output/PictureWriter.h).
#include "formats/ImageCodec.h"

// Decodes the whole file at full size. CMYK pictures (as print workflows make
// them) are turned into RGB. Every libjpeg warning counts as damage: they all
// mean corrupt or missing data. Throws ImageError.
void DecodeJpeg(const QString& fileName, const AllocateRgba& allocate);
