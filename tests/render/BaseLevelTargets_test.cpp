// The rescaler's instruction sets against each other, without a GL: each
// must be reachable, of its own width, and give the same bytes, row by row,
// writing nothing beyond the row it was asked for.
#include "render/BaseLevel.h"
#include "render/BaseLevelSimd.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// Back to the best instruction set whatever a test does.
struct TargetGuard {
    ~TargetGuard() { baselevel::UseTarget(0); }
};

std::vector<std::uint8_t> Noise(PictureSize size, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(size.Width) * size.Height * 4);
    for (std::uint8_t& byte : pixels)
        byte = static_cast<std::uint8_t>(random());
    for (std::size_t i = 0; i < pixels.size() / 4; ++i) // runs of 255: sums at the top
        pixels[i] = 255;
    return pixels;
}

TEST(BaseLevelTargetsTest, EachCompiledSetRunsWithItsOwnWidth)
{
    const TargetGuard guard;
    const std::vector<std::int64_t> targets = baselevel::CompiledTargets();
    ASSERT_FALSE(targets.empty());
    // The last is the portable one every processor runs.
    const std::string fallback = baselevel::TargetName(targets.back());
    EXPECT_TRUE(fallback == "SCALAR" || fallback == "EMU128") << fallback;
    int previous = 1 << 30;
    for (const std::int64_t target : targets) {
        baselevel::UseTarget(target);
        const baselevel::GroupShape shape = baselevel::ShapeOfGroups();
        const char* name = baselevel::TargetName(target);
        std::cout << "  " << name << ": " << shape.Lanes << " lanes, " << shape.Pixels << " pixels a group, "
                  << (shape.Planes ? "planes" : "widened rows") << "\n";
        EXPECT_LE(shape.Lanes, previous) << name << " is not the one running";
        EXPECT_GE(shape.Window, 4) << name << ": a column reads up to three source columns";
        // Planes hold a pixel per lane, widened rows a pixel per four.
        EXPECT_EQ(shape.Pixels * (shape.Planes ? 1 : 4), shape.Lanes) << name;
        previous = shape.Lanes;
    }
    if (targets.size() > 1) {
        baselevel::UseTarget(targets.front());
        EXPECT_GT(baselevel::ShapeOfGroups().Lanes, previous) << "the best set is wider than the fallback";
    }
}

// Shrinks by less than two (one to three rows and columns a pixel, groups cut
// short by the window or the row's end), one row in three, and a row's last columns past
// the groups; every row computed alone into a buffer with a guard after it.
TEST(BaseLevelTargetsTest, EverySetGivesTheSameBytesAndStaysInItsRow)
{
    const TargetGuard guard;
    const std::vector<std::int64_t> targets = baselevel::CompiledTargets();
    const PictureSize cases[][2] = {{{1500, 1500}, {1024, 1024}}, {{700, 1400}, {512, 1024}},
                                    {{1999, 37}, {1024, 32}},     {{6000 / 4, 4000 / 4}, {1024, 1024}},
                                    {{301, 7}, {256, 8}},         {{37, 23}, {32, 16}},
                                    {{77, 9}, {51, 6}}}; // an odd width: the last group is short
    for (const auto& [source, target] : cases) {
        const std::vector<std::uint8_t> pixels = Noise(source, static_cast<unsigned>(source.Width + source.Height));
        std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(source.Height));
        for (std::size_t r = 0; r < rows.size(); ++r)
            rows[r] = pixels.data() + r * static_cast<std::size_t>(source.Width) * 4;
        const std::size_t rowBytes = static_cast<std::size_t>(target.Width) * 4, guardBytes = 256;
        std::vector<std::uint8_t> first;
        for (const std::int64_t set : targets) {
            baselevel::UseTarget(set);
            const BaseLevelScaler scaler(source, target);
            BaseLevelScaler::RowCache cache;
            std::vector<std::uint8_t> all;
            std::vector<std::uint8_t> row(rowBytes + guardBytes);
            for (int y = 0; y < target.Height; ++y) {
                std::memset(row.data(), 0xA5, row.size());
                scaler.ScaleRow(y, rows.data(), row.data(), cache);
                for (std::size_t i = rowBytes; i < row.size(); ++i)
                    ASSERT_EQ(row[i], 0xA5) << baselevel::TargetName(set) << " wrote past row " << y << " of "
                                            << source.Width << "x" << source.Height;
                all.insert(all.end(), row.begin(), row.begin() + static_cast<std::ptrdiff_t>(rowBytes));
            }
            if (first.empty())
                first = all;
            else
                EXPECT_TRUE(all == first) << baselevel::TargetName(set) << " differs from "
                                          << baselevel::TargetName(targets.front()) << " at " << source.Width
                                          << "x" << source.Height;
        }
    }
}

} // namespace
