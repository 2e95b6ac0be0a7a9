#include "engine/PictureLimits.h"

#include "engine/RenderOptions.h"
#include "raytrace/RayRender.h"

#include <gtest/gtest.h>

namespace {

TEST(PictureLimitsTest, TheRastersLargestSquareShrinksWithItsSamples)
{
    // The video memory holds MaxRasterSamples in all, the GL its longest side.
    struct Case {
        int Samples;
        int GLSide;
        int Square;
    };
    for (const Case& c : std::vector<Case>{{1, 0, 16384},
                                           {2, 0, 16384},
                                           {4, 0, 11585},
                                           {8, 0, 8192},
                                           {16, 0, 5792},
                                           {32, 0, 4096},
                                           {1, 8192, 8192},
                                           {16, 8192, 5792},
                                           {1, 32768, MaxOutputSide}}) {
        const PictureLimit limit = RasterLimit(c.Samples, c.GLSide);
        EXPECT_EQ(limit.SquareSide(), c.Square) << c.Samples << " " << c.GLSide;
        const std::int64_t square = c.Square;
        EXPECT_LE(square * square * c.Samples, MaxRasterSamples);
    }
}

TEST(PictureLimitsTest, ARefusalSaysWhichLimitAndWhy)
{
    struct Case {
        PictureLimit Limit;
        QSize Size;
        QString Refusal;
    };
    const std::vector<Case> cases = {
        // What a person met: 8000 and 6000 at 16 samples failed after OK, 5000 worked.
        {RasterLimit(16, 0), {5000, 5000}, QString()},
        {RasterLimit(16, 0), {6000, 6000},
         "6000 x 6000 is too large: with 16 samples the raster's video memory holds 33.6 megapixels "
         "(5792 x 5792); fewer samples allow more."},
        {RasterLimit(16, 0), {8000, 8000}, "8000 x 8000 is too large: with 16 samples the raster's video memory"},
        {RasterLimit(16, 0), {16000, 2000}, QString()},
        {RasterLimit(1, 0), {16385, 10}, "16385 x 10 is too large: pictures have at most 16384 pixels a side."},
        {RasterLimit(1, 4096), {4097, 10}, "4097 x 10 is too large: this OpenGL draws at most 4096 pixels a side."},
        {RayLimit(0), {16384, 16384}, QString()},
        {RayLimit(5'000'000'000), {10000, 10000}, QString()},
        {RayLimit(5'000'000'000), {10001, 10000},
         "10001 x 10000 is too large: the ray tracer takes 50 bytes a pixel and may use 5.0 GB here, enough for "
         "100.0 megapixels (10000 x 10000)"},
    };
    for (const Case& c : cases) {
        const QString refusal = c.Limit.Refusal(c.Size);
        if (c.Refusal.isEmpty())
            EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
        else
            EXPECT_TRUE(refusal.startsWith(c.Refusal)) << refusal.toStdString();
    }
}

TEST(PictureLimitsTest, TheRayTracersMemoryIsItsPixelsAtTheirPeak)
{
    EXPECT_EQ(RayRender::PeakBytesPerPixel, 50);
    const PictureLimit limit = RayLimit(RayRender::PeakBytesPerPixel * 3000 * 2000);
    EXPECT_EQ(limit.MaxPixels, 3000 * 2000);
    EXPECT_TRUE(limit.Refusal({3000, 2000}).isEmpty());
    EXPECT_FALSE(limit.Refusal({3000, 2001}).isEmpty());
    EXPECT_GT(RayMemoryBudget(), 0);
}

} // namespace
