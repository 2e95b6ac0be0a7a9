#pragma once
// The numbers a pixel's paths are made of, fixed by (seed, pixel, pass,
// dimension) alone: the same picture whatever thread draws which pixel. The
// first pairs (the pixel's area, the first light and surface samples) follow
// a two-dimensional low-discrepancy sequence over the passes, shifted per
// pixel, so that few passes already cover each pixel evenly; later
// dimensions are hashed.
#include <cstdint>

inline std::uint32_t MixBits(std::uint32_t x)
{
    x ^= x >> 16;
    x *= 0x7feb352dU;
    x ^= x >> 15;
    x *= 0x846ca68bU;
    x ^= x >> 16;
    return x;
}

class RaySampler {
public:
    RaySampler(std::uint32_t seed, std::uint32_t pixel, std::uint32_t pass)
        : key_(MixBits(seed * 0x9E3779B9U ^ MixBits(pixel + 0x632BE5ABU))), pass_(pass)
    {
    }

    // The next number in [0, 1).
    float Next()
    {
        const std::uint32_t d = dimension_++;
        if (d < LowDiscrepancyDimensions) {
            // Roberts' R2 sequence: the plastic number's powers, a pair per two dimensions.
            const double alpha = (d & 1) ? 0.5698402909980532 : 0.7548776662466927;
            const double shift = Unit(MixBits(key_ ^ (0x85EBCA6BU * (d + 1))));
            const double v = shift + alpha * static_cast<double>(pass_);
            return Clamp(static_cast<float>(v - static_cast<double>(static_cast<std::uint64_t>(v))));
        }
        return Clamp(static_cast<float>(Unit(MixBits(key_ ^ MixBits(pass_ * 0xC2B2AE35U + d)))));
    }

    static constexpr std::uint32_t LowDiscrepancyDimensions = 6;

private:
    static double Unit(std::uint32_t x) { return static_cast<double>(x) * (1.0 / 4294967296.0); }
    static float Clamp(float v) { return v < 0.99999994f ? v : 0.99999994f; }

    std::uint32_t key_;
    std::uint32_t pass_;
    std::uint32_t dimension_ = 0;
};
