#include "raytrace/PixelBudget.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr int SlopeSteps = 1024;

// Bytes per unit of linear light, at the start of each of SlopeSteps even
// steps over 0..1: the steeper end, so a step never underestimates.
double SrgbSlope(double linear)
{
    static const std::array<float, SlopeSteps + 1> table = [] {
        std::array<float, SlopeSteps + 1> t{};
        for (int i = 0; i <= SlopeSteps; ++i) {
            const double m = static_cast<double>(i) / SlopeSteps;
            t[static_cast<std::size_t>(i)] =
                static_cast<float>(255.0 * (m <= 0.0031308 ? 12.92 : 1.055 / 2.4 * std::pow(m, -1.4 / 2.4)));
        }
        return t;
    }();
    const double m = std::clamp(linear, 0.0, 1.0);
    return table[static_cast<std::size_t>(m * SlopeSteps)];
}

} // namespace

PixelBudget::PixelBudget(int width, int height, int least, float tolerance)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), least_(std::max(least, 2)), tolerance_(tolerance)
{
    const auto pixels = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
    squares_.assign(pixels * 2, 0.0f);
    samples_.assign(pixels, 0);
    running_.assign(pixels, 1);
    calm_.assign(pixels, 0);
    runningCount_ = static_cast<int>(pixels);
}

float PixelBudget::ErrorInSteps(double sum, double squares, int n, bool srgb)
{
    if (n < 2)
        return 1e30f;
    const double mean = sum / n;
    const double variance = std::max(0.0, squares / n - mean * mean) * n / (n - 1);
    // The sRGB curve's steepness at the mean: a dark pixel's error shows more.
    const double slope = srgb ? SrgbSlope(mean) : 255.0;
    return static_cast<float>(slope * std::sqrt(variance / n));
}

float PixelBudget::MeanVariance(std::size_t pixel, const float* rgba) const
{
    const int n = samples_[pixel];
    if (n < 2)
        return 1e6f;
    const double mean = 0.2126 * rgba[0] + 0.7152 * rgba[1] + 0.0722 * rgba[2];
    const double variance = std::max(0.0, squares_[pixel * 2] / n - mean * mean) * n / (n - 1);
    return static_cast<float>(variance / n);
}

bool PixelBudget::Converged(std::size_t pixel, const float* rgba) const
{
    const int n = samples_[pixel];
    if (n < least_)
        return false;
    const double luminance = 0.2126 * rgba[0] + 0.7152 * rgba[1] + 0.0722 * rgba[2];
    return ErrorInSteps(luminance, squares_[pixel * 2], n, true) < tolerance_ &&
           ErrorInSteps(rgba[3], squares_[pixel * 2 + 1], n, false) < tolerance_;
}

void PixelBudget::Settle(const std::vector<float>& sums)
{
    for (std::size_t i = 0; i < running_.size(); ++i)
        calm_[i] = running_[i] && Converged(i, sums.data() + i * 4);
    // A pixel stops when it and every running neighbour are calm.
    runningCount_ = 0;
    paths_ = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
            paths_ += samples_[i];
            if (!running_[i])
                continue;
            bool stop = calm_[i] != 0;
            for (int dy = -1; dy <= 1 && stop; ++dy)
                for (int dx = -1; dx <= 1 && stop; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx < 0 || ny < 0 || nx >= width_ || ny >= height_)
                        continue;
                    const std::size_t j = static_cast<std::size_t>(ny) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(nx);
                    stop = !running_[j] || calm_[j];
                }
            // Written in place: a neighbour already decided this pass is
            // still seen as running or calm, as it was before the pass.
            if (stop)
                running_[i] = 2;
            else
                ++runningCount_;
        }
    for (auto& r : running_)
        if (r == 2)
            r = 0;
}
