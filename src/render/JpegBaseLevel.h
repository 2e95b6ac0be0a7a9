#pragma once
// A JPEG cover decoded straight into its texture base level: rows are
// rescaled on a second thread while later rows are still being decoded, so
// the two cores share the work and the full-size picture never exists in
// memory at once.
#include "formats/ImageCodec.h"
#include "render/BaseLevel.h"
#include "render/BaseLevelProgress.h"

#include <cstdint>
#include <memory>

struct DecodedBaseLevel {
    PictureSize Original;                // the picture as the file stores it
    PictureSize Base;                    // the base level in Pixels
    std::unique_ptr<std::uint8_t[]> Pixels; // RGBA, bottom row first, alpha 255
};

// Same pixels as DecodeJpeg followed by ScaleToBaseLevel, and the same
// errors (ImageError with DecodeJpeg's texts) for damaged files. With a
// progress, rows are reported as they become final (only while the rows
// stream; otherwise the picture is only there when this returns). With a
// progress that recycles rows, the rows made in its ring are not in Pixels
// until the progress gathers them.
DecodedBaseLevel DecodeJpegBaseLevel(const QString& fileName, int maxTextureSize,
                                     BaseLevelProgress* progress = nullptr);
