// Frame, capture and texture upload costs on the windowless context, in wall
// time: the software rasteriser works on threads of its own.
// Run: cmake --preset bench && ninja -C build-bench Render_bench && build-bench/bench/Render_bench
#include "document/BoxDocument.h"
#include "render/BoxRenderer.h"
#include "render/HeadlessContext.h"
#include "render/SceneDriver.h"
#include "render/GLTexture.h"
#include "render/ViewportCapture.h"

#include <benchmark/benchmark.h>

#include <QImage>

#include <memory>

namespace {

constexpr int Side = 450;

struct Scene {
    HeadlessContext context{Side, Side};
    GLTexture front, side, top;
    BoxRenderer renderer;
    SceneDriver driver;
    BoxDocument model;

    Scene()
    {
        QImage thumbs[3] = {QImage(80, 100, QImage::Format_RGB888), QImage(20, 100, QImage::Format_RGB888),
                            QImage(100, 20, QImage::Format_RGB888)};
        thumbs[0].fill(qRgb(255, 185, 151));
        thumbs[1].fill(qRgb(150, 203, 203));
        thumbs[2].fill(qRgb(168, 255, 168));
        model.ResetProject();
        renderer.InitGL(driver, model.Params);
        renderer.PrepareGL(Textures(), {&thumbs[0], &thumbs[1], &thumbs[2]});
        driver.SetViewport(SystemGL(), Side, Side);
    }
    SlotTextures Textures() { return {&front, &side, &top}; }
};

void BM_DrawFrame450(benchmark::State& state)
{
    Scene scene;
    const DrawFlags flags;
    for (auto _ : state) {
        scene.renderer.DrawFrame(scene.model.Params, scene.Textures(), flags);
        SystemGL().Finish();
    }
}
BENCHMARK(BM_DrawFrame450)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Capture450(benchmark::State& state)
{
    Scene scene;
    scene.renderer.DrawFrame(scene.model.Params, scene.Textures(), DrawFlags{});
    for (auto _ : state) {
        QImage bitmap;
        benchmark::DoNotOptimize(CaptureViewportImage(bitmap));
    }
}
BENCHMARK(BM_Capture450)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly(true);

void BM_Upload6000x4000(benchmark::State& state)
{
    HeadlessContext context(16, 16);
    QImage picture(6000, 4000, QImage::Format_RGB888);
    for (int y = 0; y < picture.height(); ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = 0; x < picture.width() * 3; ++x)
            row[x] = static_cast<uchar>(x * 7 + y * 3);
    }
    const RgbaPicture pixels = PictureOfImage(picture);
    GLTexture texture;
    for (auto _ : state) {
        texture.Upload(pixels);
        SystemGL().Finish();
    }
}
BENCHMARK(BM_Upload6000x4000)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3)->ReportAggregatesOnly(true)->Iterations(2);

} // namespace
