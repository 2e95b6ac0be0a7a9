// Image file speed: decoding a large camera-sized JPEG cover and encoding a
// result image of the largest output size class.
#include "formats/PictureWriter.h"
#include "render/BaseLevel.h"
#include "render/BaseLevelSimd.h"
#include "formats/PictureFile.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace {

// A photo-like picture: smooth gradients with a little texture, so the
// encoder neither sees flat colour nor pure noise.
void PaintPhoto(RgbaPicture& picture, int width, int height)
{
    picture.AllocatePixels(width, height, QStringLiteral("bench"));
    std::uint32_t noise = 12345;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = picture.Pixels.get() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, p += 4) {
            noise = noise * 1664525u + 1013904223u;
            const int grain = static_cast<int>(noise >> 28) - 8;
            p[0] = static_cast<std::uint8_t>(std::clamp(x * 255 / width + grain, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(y * 255 / height + grain, 0, 255));
            p[2] = static_cast<std::uint8_t>(std::clamp((x + y) % 256 + grain, 0, 255));
            p[3] = 255;
        }
    }
}

const QTemporaryDir& Folder()
{
    static const QTemporaryDir folder;
    return folder;
}

void JpegDecode6000x4000(benchmark::State& state)
{
    const QString path = Folder().filePath(QStringLiteral("cover.jpg"));
    {
        RgbaPicture source;
        PaintPhoto(source, 6000, 4000);
        if (!WritePictureFile(source, path, 90)) {
            state.SkipWithError("could not write the JPEG");
            return;
        }
    }
    RgbaPicture picture;
    for (auto _ : state) {
        const bool loaded = ReadPictureFile(path, picture);
        benchmark::DoNotOptimize(loaded);
        benchmark::DoNotOptimize(picture.Pixels.get());
    }
    state.SetItemsProcessed(state.iterations() * 6000 * 4000);
}
BENCHMARK(JpegDecode6000x4000)->Unit(benchmark::kMillisecond);

void JpegEncode450x450(benchmark::State& state)
{
    const QString path = Folder().filePath(QStringLiteral("result.jpg"));
    RgbaPicture picture;
    PaintPhoto(picture, 450, 450);
    for (auto _ : state) {
        const bool saved = WritePictureFile(picture, path);
        benchmark::DoNotOptimize(saved);
    }
    state.SetItemsProcessed(state.iterations() * 450 * 450);
}
BENCHMARK(JpegEncode450x450)->Unit(benchmark::kMicrosecond);

// The base level of a 24 MP cover on one thread (its rows are rescaled on a
// thread of their own while the decoder runs): 6000 x 4000 -> 4096 x 4096,
// and a catalogue cover 1500 x 1500 -> 1024 x 1024. The last argument picks
// the instruction set: 0 the best this processor runs, 1 the next, and so
// on (the label names it).
void BaseLevelRescale(benchmark::State& state)
{
    const PictureSize source{static_cast<int>(state.range(0)), static_cast<int>(state.range(1))};
    const PictureSize target{static_cast<int>(state.range(2)), static_cast<int>(state.range(3))};
    const std::vector<std::int64_t> sets = baselevel::CompiledTargets();
    const auto set = static_cast<std::size_t>(state.range(4));
    if (set >= sets.size()) {
        state.SkipWithError("no such instruction set here");
        return;
    }
    baselevel::UseTarget(sets[set]);
    state.SetLabel(baselevel::TargetName(sets[set]));
    RgbaPicture picture;
    PaintPhoto(picture, source.Width, source.Height);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(target.Width) * target.Height * 4);
    for (auto _ : state) {
        ScaleToBaseLevel(picture.Pixels.get(), source, out.data(), target, 1);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * target.Width * target.Height);
    baselevel::UseTarget(0);
}
BENCHMARK(BaseLevelRescale)
    ->ArgsProduct({{6000}, {4000}, {4096}, {4096}, {0, 1, 4}})
    ->ArgsProduct({{1500}, {1500}, {1024}, {1024}, {0, 1, 4}})
    ->Unit(benchmark::kMillisecond);

// The command line's PNG of an 1800 x 1800 shot, on one thread and on two.
void PngEncode1800(benchmark::State& state)
{
    RgbaPicture picture;
    PaintPhoto(picture, 1800, 1800);
    const RgbaRows rows = RgbaRows::BottomUp(picture.Pixels.get(), 1800, 1800);
    for (auto _ : state) {
        const QByteArray file = EncodePng(rows, false, PngOutputLevel, QStringLiteral("bench"), {},
                                          static_cast<int>(state.range(0)));
        benchmark::DoNotOptimize(file.data());
    }
    state.SetItemsProcessed(state.iterations() * 1800 * 1800);
}
BENCHMARK(PngEncode1800)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
