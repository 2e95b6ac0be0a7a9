// The row work spread over two threads, as a cover and a result spread it:
// what handing shares to other threads costs beside the work itself.
#include "render/BaseLevel.h"
#include "render/MipLevels.h"
#include "render/Supersample.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

std::vector<std::uint8_t> Noise(std::size_t bytes)
{
    std::vector<std::uint8_t> data(bytes);
    std::uint32_t x = 2463534242u;
    for (std::uint8_t& b : data) {
        x = x * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(x >> 24);
    }
    return data;
}

// A catalogue cover's base level: 1500 x 1500 -> 1024 x 1024.
void RescaleOnTwo(benchmark::State& state)
{
    const std::vector<std::uint8_t> pixels = Noise(std::size_t{1500} * 1500 * 4);
    std::vector<std::uint8_t> out(std::size_t{1024} * 1024 * 4);
    for (auto _ : state) {
        ScaleToBaseLevel(pixels.data(), {1500, 1500}, out.data(), {1024, 1024}, 2);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(RescaleOnTwo)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 2048 x 2048 texture's levels, each large one split in two.
void MipLevelsOnTwo(benchmark::State& state)
{
    const std::vector<std::uint8_t> pixels = Noise(std::size_t{2048} * 2048 * 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(LevelsUnder(pixels.data(), 2048, 2048, 2));
}
BENCHMARK(MipLevelsOnTwo)->Unit(benchmark::kMillisecond)->UseRealTime();

// An 1800 x 1800 result drawn at twice its size, averaged down.
void DownsampleOnTwo(benchmark::State& state)
{
    const std::vector<std::uint8_t> big = Noise(std::size_t{3600} * 3600 * 4);
    std::vector<std::uint8_t> out(std::size_t{1800} * 1800 * 4);
    for (auto _ : state) {
        BoxDownsample(big.data(), 3600, 3600, 2, out.data(), 1800, 2);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(DownsampleOnTwo)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
