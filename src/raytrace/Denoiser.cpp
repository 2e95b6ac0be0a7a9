#include "raytrace/Denoiser.h"

#include "concurrency/ParallelWork.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

using namespace DenoiseTuning;

struct Guide {
    float N[3];
    float Z;
    float Slope; // the depth's change per pixel, the steeper way
    float A[3];  // the albedo the light is divided by
};

struct Light {
    float C[4]; // the light (RGB divided by the albedo) and alpha
    float L;    // its luminance
    float Var;  // the variance of that luminance
};

float LuminanceOf(const float* c)
{
    return 0.2126f * c[0] + 0.7152f * c[1] + 0.0722f * c[2];
}

// e^-x for x in [0, 30], to a few parts in ten thousand: the weights need
// no more, and the filter calls it for every tap.
inline float ExpMinus(float x)
{
    const float t = -x * 1.44269504f; // log2(e)
    const float whole = std::floor(t);
    const float f = t - whole;
    // 2^f on [0, 1)
    const float p = 1.0f + f * (0.69592847f + f * (0.22494631f + f * 0.079125219f));
    const auto exponent = static_cast<std::int32_t>(whole) + 127;
    const std::uint32_t bits = static_cast<std::uint32_t>(exponent) << 23;
    float scale;
    std::memcpy(&scale, &bits, sizeof scale);
    return p * scale;
}

std::vector<Guide> GuidesOf(const DenoiseInput& in)
{
    const int w = in.Width, h = in.Height;
    const DenoiseGuides& g = *in.Guides;
    std::vector<Guide> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h));
    const auto depth = [&](int x, int y) {
        return g.Depth[static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x)];
    };
    // The smaller one-sided difference: a silhouette's jump is no slope.
    const auto slope = [&](int x, int y, int dx, int dy) {
        const float z = depth(x, y);
        float best = 1e30f;
        if (x - dx >= 0 && y - dy >= 0)
            best = std::fabs(z - depth(x - dx, y - dy));
        if (x + dx < w && y + dy < h)
            best = std::min(best, std::fabs(depth(x + dx, y + dy) - z));
        return best < 1e30f ? best : 0.0f;
    };
    ParallelRows(h, std::min(h, std::max(1, WorkerThreads()) * 4), [&](int first, int end) {
        for (int y = first; y < end; ++y)
            for (int x = 0; x < w; ++x) {
                const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(w) + static_cast<std::size_t>(x);
                Guide& o = out[i];
                const float* n = g.Normal.data() + i * 3;
                const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                for (std::size_t k = 0; k < 3; ++k) {
                    o.N[k] = length > 1e-6f ? n[k] / length : (k == 2 ? 1.0f : 0.0f);
                    o.A[k] = std::max(g.Albedo[i * 3 + k], LeastAlbedo);
                }
                o.Z = g.Depth[i];
                o.Slope = std::max(slope(x, y, 1, 0), slope(x, y, 0, 1));
            }
    });
    return out;
}

// One level of the filter over rows first..end, its taps `step` pixels apart.
void Level(const std::vector<Guide>& guides, const std::vector<Light>& from, std::vector<Light>& to, int width,
           int height, int step, int first, int end)
{
    // The 3 x 3 B-spline: nine taps a level cost a third of the 5 x 5's
    // twenty-five, for nearly the same picture.
    static constexpr float Kernel[3] = {0.25f, 0.5f, 0.25f};
    constexpr int R = 1;
    const auto index = [width](int x, int y) {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    };
    const float albedoScale = 1.0f / AlbedoSigma;
    for (int y = first; y < end; ++y)
        for (int x = 0; x < width; ++x) {
            const std::size_t p = index(x, y);
            const Guide& gp = guides[p];
            const Light& lp = from[p];
            // The pixel's spread, steadied by its neighbours'.
            float variance = 0, blurWeight = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int qx = x + dx, qy = y + dy;
                    if (qx < 0 || qy < 0 || qx >= width || qy >= height)
                        continue;
                    const float k = Kernel[dx + 1] * Kernel[dy + 1];
                    variance += k * from[index(qx, qy)].Var;
                    blurWeight += k;
                }
            const float deviation = std::sqrt(std::max(variance / blurWeight, 0.0f));
            // A pixel whose noise is far below its light has nothing to lose.
            if (deviation <= 1e-5f * (std::fabs(lp.L) + 1e-3f)) {
                to[p] = lp;
                continue;
            }
            const float colourScale = 1.0f / (ColourSigma * deviation);
            const float depthFloor = 1e-3f * std::fabs(gp.Z) + 1e-6f;
            // Depth may change by the slope over the tap's distance.
            const float depthScale[2] = {1.0f / depthFloor,
                                         1.0f / (DepthSigma * gp.Slope * static_cast<float>(step) + depthFloor)};

            float sum[4] = {0, 0, 0, 0};
            float weights = 0, varianceSum = 0;
            const int iFirst = std::max(-R, -x / step), iLast = std::min(R, (width - 1 - x) / step);
            for (int j = std::max(-R, -y / step); j <= std::min(R, (height - 1 - y) / step); ++j) {
                const std::size_t row = index(0, y + j * step);
                for (int i = iFirst; i <= iLast; ++i) {
                    const std::size_t q = row + static_cast<std::size_t>(x + i * step);
                    const Guide& gq = guides[q];
                    const Light& lq = from[q];
                    float cosine = std::max(0.0f, gp.N[0] * gq.N[0] + gp.N[1] * gq.N[1] + gp.N[2] * gq.N[2]);
                    for (int s = 0; s < NormalPowerSquarings; ++s)
                        cosine *= cosine;
                    const float exponent =
                        std::fabs(gp.Z - gq.Z) * depthScale[i != 0 || j != 0 ? 1 : 0] +
                        (std::fabs(gp.A[0] - gq.A[0]) + std::fabs(gp.A[1] - gq.A[1]) + std::fabs(gp.A[2] - gq.A[2])) *
                            albedoScale +
                        std::fabs(lp.L - lq.L) * colourScale;
                    const float w = Kernel[i + 1] * Kernel[j + 1] * cosine * ExpMinus(std::min(exponent, 30.0f));
                    for (int c = 0; c < 4; ++c)
                        sum[c] += w * lq.C[c];
                    weights += w;
                    varianceSum += w * w * lq.Var;
                }
            }
            // The centre always counts: weights > 0.
            Light& out = to[p];
            const float scale = 1.0f / weights;
            for (int c = 0; c < 4; ++c)
                out.C[c] = sum[c] * scale;
            out.L = LuminanceOf(out.C);
            out.Var = varianceSum * scale * scale;
        }
}

} // namespace

std::vector<float> Denoise(const DenoiseInput& in)
{
    if (!in.Colour)
        return {};
    const std::vector<float>& colour = *in.Colour;
    const std::size_t pixels = static_cast<std::size_t>(std::max(in.Width, 0)) * static_cast<std::size_t>(std::max(in.Height, 0));
    if (pixels == 0 || !in.Guides || !in.Variance || colour.size() != pixels * 4 ||
        in.Guides->Albedo.size() != pixels * 3 || in.Guides->Normal.size() != pixels * 3 ||
        in.Guides->Depth.size() != pixels || in.Guides->Print.size() != pixels * 3 || in.Variance->size() != pixels)
        return colour;

    const std::vector<Guide> guides = GuidesOf(in);
    std::vector<Light> a(pixels), b(pixels);
    for (std::size_t i = 0; i < pixels; ++i) {
        const Guide& g = guides[i];
        Light& l = a[i];
        for (std::size_t c = 0; c < 3; ++c)
            l.C[c] = colour[i * 4 + c] / g.A[c];
        l.C[3] = colour[i * 4 + 3];
        l.L = LuminanceOf(l.C);
        // The light's spread is the picture's over the albedo's luminance.
        const float albedo = LuminanceOf(g.A);
        l.Var = (*in.Variance)[i] / (albedo * albedo);
    }

    const int shares = std::min(in.Height, std::max(1, WorkerThreads()) * 4);
    int step = 1;
    for (int level = 0; level < Levels; ++level, step *= 2) {
        ParallelRows(in.Height, shares, [&](int first, int end) {
            Level(guides, a, b, in.Width, in.Height, step, first, end);
        });
        std::swap(a, b);
    }

    std::vector<float> out(pixels * 4);
    for (std::size_t i = 0; i < pixels; ++i) {
        for (std::size_t c = 0; c < 3; ++c)
            out[i * 4 + c] = a[i].C[c] * std::max(in.Guides->Print[i * 3 + c], LeastAlbedo);
        out[i * 4 + 3] = a[i].C[3];
    }
    return out;
}
