#include "engine/PictureLimits.h"

#include <gtest/gtest.h>

#include <utility>

namespace {

TEST(PictureLimitsTest, EachLimitRefusesWithItsReason)
{
    struct Case {
        PictureLimit Limit;
        QSize Size;
        QString Refusal; // empty: drawn
    };
    const std::int64_t rayMemory = 50 * 3000 * 2000; // 50 bytes a pixel
    const std::vector<Case> cases = {
        // What a person met: 8000 and 6000 at 16 samples failed after OK, 5000 worked.
        {RasterLimit(16, 0), {5000, 5000}, ""},
        {RasterLimit(16, 0), {16000, 2000}, ""}, // the pixels count, not a side
        {RasterLimit(16, 0), {6000, 6000}, "6000 x 6000 is too large: with 16 samples the raster's video memory "
                                           "holds 33.6 megapixels (5792 x 5792); fewer samples allow more."},
        {RasterLimit(1, 0), {16385, 10}, "16385 x 10 is too large: pictures have at most 16384 pixels a side."},
        {RasterLimit(1, 4096), {4097, 10}, "4097 x 10 is too large: this OpenGL draws at most 4096 pixels a side."},
        {RayLimit(rayMemory, false), {3000, 2000}, ""},
        {RayLimit(rayMemory, false), {3000, 2001}, "3000 x 2001 is too large: the ray tracer takes 50 bytes a pixel and may "
                                            "use 300 MB here, enough for 6.0 megapixels (2449 x 2449)."},
        // The denoiser's buffers beside the tracer's.
        {RayLimit(rayMemory), {1000, 1000}, ""},
        {RayLimit(rayMemory), {1500, 1000}, "1500 x 1000 is too large: the ray tracer takes 224 bytes a pixel and may "
                                            "use 300 MB here, enough for 1.3 megapixels (1157 x 1157)."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.Limit.Refusal(c.Size), c.Refusal);
    // The raster's largest square shrinks with its samples: 2^29 in all.
    for (const auto& [samples, side] : {std::pair{1, 16384}, {4, 11585}, {16, 5792}, {32, 4096}})
        EXPECT_EQ(RasterLimit(samples, 0).SquareSide(), side) << samples;
}

} // namespace
