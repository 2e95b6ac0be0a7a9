// The row work on one thread and spread over two, as a cover and a result
// spread it: what the second thread buys, and what handing shares to other
// threads costs beside the work itself. The argument is the thread count.
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
void Rescale(benchmark::State& state)
{
    const std::vector<std::uint8_t> pixels = Noise(std::size_t{1500} * 1500 * 4);
    std::vector<std::uint8_t> out(std::size_t{1024} * 1024 * 4);
    for (auto _ : state) {
        ScaleToBaseLevel(pixels.data(), {1500, 1500}, out.data(), {1024, 1024}, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(Rescale)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// A 2048 x 2048 texture's levels, each large one split in shares.
void MipLevels(benchmark::State& state)
{
    const std::vector<std::uint8_t> pixels = Noise(std::size_t{2048} * 2048 * 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(LevelsUnder(pixels.data(), 2048, 2048, static_cast<int>(state.range(0))));
}
BENCHMARK(MipLevels)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

// An 1800 x 1800 result drawn at twice its size, averaged down.
void Downsample(benchmark::State& state)
{
    const std::vector<std::uint8_t> big = Noise(std::size_t{3600} * 3600 * 4);
    std::vector<std::uint8_t> out(std::size_t{1800} * 1800 * 4);
    for (auto _ : state) {
        BoxDownsample(big.data(), 3600, 3600, 2, out.data(), 1800, static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(Downsample)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
