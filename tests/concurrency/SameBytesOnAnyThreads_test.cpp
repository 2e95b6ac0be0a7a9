// The work spread over threads gives the same bytes on one thread, on
// several, and when the threads it asked for could not start.
#include "concurrency/ThreadPool.h"
#include "formats/ZlibParts.h"
#include "render/BaseLevel.h"
#include "render/MipLevels.h"
#include "render/Supersample.h"
#include "support/RefusedThreads.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace {

std::vector<std::uint8_t> Noise(std::size_t bytes)
{
    std::vector<std::uint8_t> data(bytes);
    std::uint32_t x = 2463534242u;
    for (std::uint8_t& b : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return data;
}

// `make(threads)` on one thread, on four, and on four that cannot start.
void ExpectSameOnAnyThreads(const std::function<std::vector<std::uint8_t>(int)>& make,
                            const char* what)
{
    ThreadPool working;
    ThreadPool refusing(StartsRefusedAfter(0));
    std::vector<std::uint8_t> one, four, refused;
    {
        const UseThreadPool use(working);
        one = make(1);
        four = make(4);
    }
    {
        const UseThreadPool use(refusing);
        refused = make(4);
    }
    EXPECT_GT(working.Threads(), 0) << what << ": spread over threads";
    EXPECT_EQ(one, four) << what;
    EXPECT_EQ(one, refused) << what;
}

} // namespace

TEST(SameBytesOnAnyThreads, RescaledBaseLevel)
{
    const PictureSize source{1500, 1100}, target{1024, 700};
    const std::vector<std::uint8_t> pixels = Noise(std::size_t{1500} * 1100 * 4);
    ExpectSameOnAnyThreads(
        [&](int threads) {
            std::vector<std::uint8_t> out(std::size_t{1024} * 700 * 4, 0x55);
            ScaleToBaseLevel(pixels.data(), source, out.data(), target, threads);
            return out;
        },
        "base level");
}

TEST(SameBytesOnAnyThreads, MipLevels)
{
    const std::vector<std::uint8_t> pixels = Noise(std::size_t{1024} * 1030 * 4);
    ExpectSameOnAnyThreads(
        [&](int threads) {
            std::vector<std::uint8_t> all;
            for (const MipLevel& level : LevelsUnder(pixels.data(), 1024, 1030, threads))
                all.insert(all.end(), level.Pixels.begin(), level.Pixels.end());
            return all;
        },
        "mip levels");
}

TEST(SameBytesOnAnyThreads, SupersampledPicture)
{
    const std::vector<std::uint8_t> big = Noise(std::size_t{900} * 840 * 4);
    ExpectSameOnAnyThreads(
        [&](int threads) {
            std::vector<std::uint8_t> out(std::size_t{300} * 280 * 4, 0x55);
            BoxDownsample(big.data(), 900, 840, 3, out.data(), 300, threads);
            return out;
        },
        "box downsample");
}

TEST(SameBytesOnAnyThreads, PngDeflateInParts)
{
    // Compressible: a gradient with some noise.
    std::vector<std::uint8_t> data = Noise(std::size_t{6} << 20);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i / 4096 + (data[i] & 3));
    ThreadPool working;
    ThreadPool refusing(StartsRefusedAfter(0));
    std::vector<std::uint8_t> spread, refused;
    {
        const UseThreadPool use(working);
        spread = ZlibCompressInParts(data.data(), data.size(), FastDeflate, 4);
    }
    {
        const UseThreadPool use(refusing);
        refused = ZlibCompressInParts(data.data(), data.size(), FastDeflate, 4);
    }
    EXPECT_GT(working.Threads(), 0);
    EXPECT_EQ(spread, refused) << "the parts, not the threads, make the bytes";
}
