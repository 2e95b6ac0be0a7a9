#pragma once
// The ray-traced picture, made in passes of one path per pixel each, spread
// over the program's thread pool. Every pixel's paths depend on the seed,
// the pixel and the pass alone, and each pixel sums its passes in order: the
// same seed gives the same bytes on any number of threads. Pixels whose
// estimate has converged stop early (PixelBudget) unless the settings say
// every pixel takes every pass.
#include "document/BoxParameters.h"
#include "raytrace/CoverTexels.h"
#include "raytrace/Denoiser.h"
#include "raytrace/PathTracer.h"
#include "raytrace/PixelBudget.h"
#include "raytrace/RayProduct.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <functional>
#include <vector>

namespace RayLimits {
// Enough for a clean product picture: two seeds differ by under 2 % of the
// demo picture's mean (bench/raytrace.sh; 1.8 % at 24, 1.5 % at 32).
inline constexpr int DefaultPasses = 24;
inline constexpr int MinPasses = 1;
inline constexpr int MaxPasses = 100000;
inline constexpr int MaxGloss = 100;
} // namespace RayLimits

// Linear premultiplied RGBA per pixel as an upright RGBA8888 picture, not
// premultiplied (sRGB).
QImage Encoded(const std::vector<float>& linear, QSize size);

class RayRender {
public:
    // Passes done, passes asked for, seconds so far; false stops after this pass.
    using Progress = std::function<bool(int done, int total, double seconds)>;

    // One box, coated with settings.Gloss.
    RayRender(const BoxParameters& p, RayCovers covers, const RaySettings& settings, QSize size);
    // One box or a bundle, each box with its own covers and coat.
    RayRender(RayProduct product, const RaySettings& settings, QSize size);
    ~RayRender();

    // Runs until the passes are done, the time limit is crossed (after the
    // pass that crosses it) or the progress says stop. Returns the passes
    // done; when every pixel has converged before the last pass, the rest
    // count as done (they would add nothing).
    int Run(const Progress& progress = {});

    // Set from any thread, ends Run within a row (the pass then stands
    // unfinished: the picture is of no use). Null: only the progress stops it.
    void SetStop(const std::atomic<bool>* stop) { stop_ = stop; }

    int PassesDone() const { return passes_; }
    double TimeLimit() const { return settings_.TimeLimit; } // seconds; 0: none
    // Upright RGBA8888, not premultiplied (sRGB): the mean of the passes.
    QImage Picture() const;
    // Linear, premultiplied RGBA per pixel: the mean of the passes.
    std::vector<float> Linear() const;
    // The finished picture: Picture(), denoised when the settings ask.
    QImage Result() const;
    // Linear, premultiplied RGBA: Linear(), denoised when the settings ask.
    std::vector<float> ResultLinear() const;
    // The means of what the eye's rays first met (empty without the denoiser).
    DenoiseGuides Guides() const;
    // The most memory one pixel takes at once: its sums and budget while
    // tracing, then the mean and the 8-bit picture Picture() makes of them.
    static constexpr std::int64_t PeakBytesPerPixel =
        4 * sizeof(float) + PixelBudget::BytesPerPixel + 4 * sizeof(float) + 4;
    // With the denoiser: its guides summed while tracing, then their means,
    // the variance, its working levels and its output beside the above.
    // Measured peak growth of `render --passes 1`: 221 bytes a pixel from
    // 1000 x 1000 to 2000 x 2000 (49 without it).
    static constexpr std::int64_t DenoisedPeakBytesPerPixel = 224;

    // Paths traced so far, over all pixels.
    std::int64_t Paths() const { return budget_.Paths(); }

private:
    void Pass();

    RayProduct product_;
    RaySettings settings_;
    QSize size_;
    std::unique_ptr<RayScene> scene_;
    std::unique_ptr<PathTracer> tracer_;
    std::vector<float> sum_; // RGBA per pixel
    std::vector<float> guideSum_; // albedo RGB, normal xyz, depth, print RGB per pixel; for the denoiser only
    PixelBudget budget_;
    int passes_ = 0;
    const std::atomic<bool>* stop_ = nullptr;
};
