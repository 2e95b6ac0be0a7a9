// The program's own page-edge paper: reproducible, lines of pages that are
// not all alike, and levels below that blend into an even tone.
#include "render/MipLevels.h"
#include "render/PageEdgeTexture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <set>
#include <vector>

namespace {

double Luma(const std::uint8_t* px) { return 0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2]; }

// The rows' mean brightness down the picture (across the pages).
std::vector<double> RowMeans(const std::uint8_t* pixels, int width, int height)
{
    std::vector<double> means;
    for (int y = 0; y < height; ++y) {
        double sum = 0;
        for (int x = 0; x < width; ++x)
            sum += Luma(pixels + (static_cast<std::size_t>(y) * width + x) * 4);
        means.push_back(sum / width);
    }
    return means;
}

TEST(PageEdgeTextureTest, SameBytesEveryTimeOpaqueAndPaperColoured)
{
    const RgbaPicture a = MakePageEdgePicture();
    const RgbaPicture b = MakePageEdgePicture();
    ASSERT_EQ(a.Width, PageEdge::Width);
    ASSERT_EQ(a.Height, PageEdge::Height);
    ASSERT_EQ(std::memcmp(a.Pixels.get(), b.Pixels.get(), a.PixelBytes()), 0);
    double red = 0, green = 0, blue = 0;
    for (std::size_t i = 0; i < a.PixelBytes(); i += 4) {
        ASSERT_EQ(a.Pixels[i + 3], 255);
        red += a.Pixels[i];
        green += a.Pixels[i + 1];
        blue += a.Pixels[i + 2];
    }
    const double n = static_cast<double>(a.PixelBytes() / 4);
    EXPECT_GT(blue / n, 180.0); // light
    EXPECT_GT(red, green);      // and a little warm
    EXPECT_GT(green, blue);
}

TEST(PageEdgeTextureTest, PagesAreLinesOfUnevenSpacingAndTone)
{
    const RgbaPicture picture = MakePageEdgePicture();
    const std::vector<double> rows = RowMeans(picture.Pixels.get(), picture.Width, picture.Height);
    // The gaps: rows darker than both neighbours.
    std::vector<int> gaps;
    for (int y = 1; y + 1 < picture.Height; ++y)
        if (rows[y] < rows[y - 1] - 4 && rows[y] < rows[y + 1] - 4)
            gaps.push_back(y);
    EXPECT_GT(gaps.size(), 100u);
    EXPECT_LT(gaps.size(), 220u);
    std::set<int> spacings;
    for (std::size_t i = 1; i < gaps.size(); ++i)
        spacings.insert(gaps[i] - gaps[i - 1]);
    EXPECT_GE(spacings.size(), 3u);
    // Along one page the paper is a little uneven, never blotched.
    const int middle = gaps[gaps.size() / 2] - 1;
    double low = 255, high = 0;
    for (int x = 0; x < picture.Width; ++x) {
        const double l = Luma(picture.Pixels.get() + (static_cast<std::size_t>(middle) * picture.Width + x) * 4);
        low = std::min(low, l);
        high = std::max(high, l);
    }
    EXPECT_GE(high - low, 2.0);
    EXPECT_LE(high - low, 20.0);
}

double RowRange(const std::uint8_t* pixels, int width, int height)
{
    const std::vector<double> rows = RowMeans(pixels, width, height);
    const auto [low, high] = std::minmax_element(rows.begin(), rows.end());
    return *high - *low;
}

// Drawn mipmapped, a level stands for the texels it averages: the lines must
// fade level by level, not come back as stripes where spacing and grid beat.
TEST(PageEdgeTextureTest, LevelsBelowBlendIntoAnEvenToneWithoutStripes)
{
    const RgbaPicture picture = MakePageEdgePicture();
    const double base = RowRange(picture.Pixels.get(), picture.Width, picture.Height);
    EXPECT_GT(base, 25.0); // close up, the pages show
    double above = base;
    for (const MipLevel& level : LevelsUnder(picture.Pixels.get(), picture.Width, picture.Height)) {
        if (level.Height < 2)
            break;
        const double range = RowRange(level.Pixels.data(), level.Width, level.Height);
        EXPECT_LT(range, above) << level.Height << " rows";
        if (level.Height <= 32) { // four or five pages to a texel
            EXPECT_LT(range, base / 5) << level.Height << " rows";
        }
        above = range;
    }
}

} // namespace
