// A pixel's numbers over the passes: its pairs cover the square evenly, and
// a choice made beside a pair (which light) is not tied to the pair, or
// part of each light's disc would never be sampled in that pixel.
#include "raytrace/RaySampler.h"

#include <gtest/gtest.h>

#include <array>

TEST(RaySamplerTest, PairsCoverTheSquareEvenlyAndChoicesAreNotTiedToThem)
{
    constexpr int Passes = 256;
    for (std::uint32_t pixel : {0u, 17u, 90001u}) {
        std::array<int, 16> cells{};          // 4 x 4 over the first light pair
        std::array<std::array<int, 4>, 2> tied{}; // choice half x the pair's first quarter
        for (std::uint32_t pass = 0; pass < Passes; ++pass) {
            RaySampler s(3, pixel, pass);
            float jx = 0, jy = 0, u = 0, v = 0;
            s.Next2(jx, jy);
            s.Next2(u, v);
            const float pick = s.Next();
            ++cells[static_cast<std::size_t>(static_cast<int>(u * 4) * 4 + static_cast<int>(v * 4))];
            ++tied[pick < 0.5f ? 0 : 1][static_cast<std::size_t>(u * 4)];
        }
        for (int c : cells) // 16 each; hashed numbers stray much further
            EXPECT_NEAR(c, Passes / 16, 5) << "pixel " << pixel;
        for (const auto& half : tied)
            for (int c : half)
                EXPECT_GT(c, Passes / 8 / 3) << "pixel " << pixel;
    }
}
