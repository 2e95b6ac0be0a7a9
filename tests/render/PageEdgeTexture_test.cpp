// The program's own page-edge paper: reproducible, lines of pages that are
// not all alike, and levels below that blend into an even tone.
#include "render/MipLevels.h"
#include "render/PageEdgeTexture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

namespace {

// The rows' mean brightness, across the pages.
std::vector<double> RowMeans(const std::uint8_t* pixels, int width, int height)
{
    std::vector<double> means(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* px = pixels + (static_cast<std::size_t>(y) * width + x) * 4;
            means[y] += (0.299 * px[0] + 0.587 * px[1] + 0.114 * px[2]) / width;
        }
    return means;
}

double Range(const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()) - *std::min_element(v.begin(), v.end()); }

TEST(PageEdgeTextureTest, ReproduciblePaperWithPagesOfUnevenSpacing)
{
    const RgbaPicture a = MakePageEdgePicture(), b = MakePageEdgePicture();
    ASSERT_EQ(a.Width, PageEdge::Width);
    ASSERT_EQ(a.Height, PageEdge::Height);
    ASSERT_EQ(std::memcmp(a.Pixels.get(), b.Pixels.get(), a.PixelBytes()), 0);
    const std::uint8_t* middle = a.Pixels.get() + a.PixelBytes() / 2;
    EXPECT_EQ(middle[3], 255);
    EXPECT_GT(middle[2], 180); // light paper, a little warm
    EXPECT_GT(middle[0], middle[2]);

    const std::vector<double> rows = RowMeans(a.Pixels.get(), a.Width, a.Height);
    std::vector<int> gaps; // rows darker than both neighbours
    for (int y = 1; y + 1 < a.Height; ++y)
        if (rows[y] < rows[y - 1] - 4 && rows[y] < rows[y + 1] - 4)
            gaps.push_back(y);
    EXPECT_GT(gaps.size(), 100u);
    EXPECT_LT(gaps.size(), 220u);
    std::set<int> spacings;
    for (std::size_t i = 1; i < gaps.size(); ++i)
        spacings.insert(gaps[i] - gaps[i - 1]);
    EXPECT_GE(spacings.size(), 3u);
    // Along one page the paper is a little uneven, never blotched.
    const std::uint8_t* page = a.Pixels.get() + static_cast<std::size_t>(gaps[50] - 1) * a.Width * 4;
    const std::vector<double> along = RowMeans(page, 1, a.Width);
    EXPECT_GE(Range(along), 2.0);
    EXPECT_LE(Range(along), 20.0);
}

// Drawn mipmapped, a level stands for the texels it averages: the lines must
// fade level by level, not come back as stripes where spacing and grid beat.
TEST(PageEdgeTextureTest, LevelsBelowBlendIntoAnEvenToneWithoutStripes)
{
    const RgbaPicture picture = MakePageEdgePicture();
    const double base = Range(RowMeans(picture.Pixels.get(), picture.Width, picture.Height));
    EXPECT_GT(base, 25.0); // close up, the pages show
    double above = base;
    for (const MipLevel& level : LevelsUnder(picture.Pixels.get(), picture.Width, picture.Height)) {
        if (level.Height < 2)
            break;
        const double range = Range(RowMeans(level.Pixels.data(), level.Width, level.Height));
        EXPECT_LT(range, above) << level.Height << " rows";
        if (level.Height <= 32) { // four or five pages to a texel
            EXPECT_LT(range, base / 5) << level.Height << " rows";
        }
        above = range;
    }
}

} // namespace
