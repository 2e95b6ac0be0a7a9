#pragma once
// Which pixels still need paths. Each pixel keeps the sums of its samples'
// squares beside the picture's sums; after a pass, a pixel whose mean is
// known to well under one step of the written byte stops, unless a
// neighbour still runs (so edges and the rims of shadows keep going until
// their whole neighbourhood is clean). The flat background stops after the
// first few passes; edges, penumbras and gloss get every pass. Decisions
// depend on the pixels' own sums alone, made between passes: the same
// pixels stop whatever thread drew them.
#include "raytrace/PathTracer.h"

#include <cstdint>
#include <vector>

class PixelBudget {
public:
    // No pixel stops before `least` passes; one stops once its errors are
    // under `tolerance` steps of the written byte.
    PixelBudget(int width, int height, int least, float tolerance = Tolerance);

    bool Running(std::size_t pixel) const { return running_[pixel] != 0; }
    int Samples(std::size_t pixel) const { return samples_[pixel]; }
    std::int64_t Paths() const { return paths_; }
    int RunningCount() const { return runningCount_; }

    // Adds one sample to the pixel's squares (the caller adds it to the sums).
    void Add(std::size_t pixel, const RaySample& s)
    {
        const float l = Luminance(s.Colour);
        squares_[pixel * 2] += l * l;
        squares_[pixel * 2 + 1] += s.Alpha * s.Alpha;
        ++samples_[pixel];
    }

    // After a pass: stops the pixels whose estimate has converged. `sums`
    // is RGBA per pixel, the sums of the samples so far.
    void Settle(const std::vector<float>& sums);

    // The variance of the pixel's mean luminance, by its samples' spread;
    // `rgba` is its mean. Large while it has fewer than two samples.
    float MeanVariance(std::size_t pixel, const float* rgba) const;

    // The standard error of a pixel's mean, in steps of the written byte
    // (its colour's luminance through the sRGB curve at the mean, and its alpha).
    static float ErrorInSteps(double sum, double squares, int n, bool srgb);

    // A pixel stops once both its errors are under this many steps.
    static constexpr float Tolerance = 0.5f;
    // The same when the denoiser follows: it takes the rest of the grain,
    // and the time it costs is won back here.
    static constexpr float DenoisedTolerance = 3.0f;

    // What one pixel costs here: its squares, its count and its two flags.
    static constexpr std::int64_t BytesPerPixel = 2 * sizeof(float) + sizeof(std::int32_t) + 2;

private:
    bool Converged(std::size_t pixel, const float* rgba) const;

    int width_, height_, least_;
    float tolerance_;
    std::vector<float> squares_;        // luminance², alpha² per pixel
    std::vector<std::int32_t> samples_; // paths per pixel
    std::vector<std::uint8_t> running_, calm_;
    std::int64_t paths_ = 0;
    int runningCount_;
};
