#pragma once
// The numbers a pixel's paths are made of, fixed by (seed, pixel, pass,
// dimension) alone: the same picture whatever thread draws which pixel. The
// first pairs (the pixel's area, then the first light and direction samples)
// follow a two-dimensional low-discrepancy sequence over the passes, shifted
// per pixel and per pair, so that few passes already cover each pixel
// evenly. Every other number, and every one-dimensional choice (which light,
// coat or base), is hashed: a choice drawn from the same sequence as a pair
// would be tied to it and leave part of the pair's square unsampled in that
// pixel.
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

    // The next number in [0, 1), hashed.
    float Next()
    {
        const std::uint32_t d = dimension_++;
        return Clamp(static_cast<float>(Unit(MixBits(key_ ^ MixBits(pass_ * 0xC2B2AE35U + d)))));
    }

    // The next pair in [0, 1)^2: low-discrepancy over the passes for the
    // first pairs, hashed after.
    void Next2(float& a, float& b)
    {
        const std::uint32_t pair = pair_++;
        if (pair >= LowDiscrepancyPairs) {
            a = Next();
            b = Next();
            return;
        }
        // Roberts' R2 sequence: the plastic number's powers.
        a = Shifted(0.7548776662466927, 0x85EBCA6BU * (2 * pair + 1));
        b = Shifted(0.5698402909980532, 0x85EBCA6BU * (2 * pair + 2));
    }

    static constexpr std::uint32_t LowDiscrepancyPairs = 4;

private:
    float Shifted(double alpha, std::uint32_t salt) const
    {
        const double v = Unit(MixBits(key_ ^ salt)) + alpha * static_cast<double>(pass_);
        return Clamp(static_cast<float>(v - static_cast<double>(static_cast<std::uint64_t>(v))));
    }
    static double Unit(std::uint32_t x) { return static_cast<double>(x) * (1.0 / 4294967296.0); }
    static float Clamp(float v) { return v < 0.99999994f ? v : 0.99999994f; }

    std::uint32_t key_;
    std::uint32_t pass_;
    std::uint32_t dimension_ = 0;
    std::uint32_t pair_ = 0;
};
