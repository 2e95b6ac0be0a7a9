#include "formats/Extended80.h"

#include <bit>
#include <cmath>
#include <limits>

namespace {

constexpr int ExtendedBias = 16383;
constexpr int DoubleBias = 1023;
constexpr std::uint64_t IntegerBit = 1ull << 63;

// v / 2^n rounded to nearest, ties to even.
std::uint64_t RoundShiftRight(std::uint64_t v, int n)
{
    if (n == 0)
        return v;
    if (n > 64)
        return 0;
    if (n == 64)
        return v > IntegerBit ? 1 : 0;
    const std::uint64_t q = v >> n;
    const std::uint64_t rest = v & ((1ull << n) - 1);
    const std::uint64_t half = 1ull << (n - 1);
    return (rest > half || (rest == half && (q & 1))) ? q + 1 : q;
}

double FromBits(bool negative, std::uint64_t magnitudeBits)
{
    return std::bit_cast<double>(magnitudeBits | (negative ? IntegerBit : 0));
}

} // namespace

Extended80 ToExtended80(double value)
{
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const int exponent = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & ((1ull << 52) - 1);

    std::uint64_t significand = 0;
    int biased = 0;
    if (exponent == 0x7FF) {
        biased = 0x7FFF;
        significand = fraction == 0 ? IntegerBit : (0xC000000000000000ull | (fraction << 11));
    } else if (exponent == 0) {
        if (fraction != 0) {
            // A double denormal is a normal number in the wider exponent range.
            const int shift = std::countl_zero(fraction);
            significand = fraction << shift;
            biased = ExtendedBias - 1011 - shift; // fraction x 2^-1074
        }
    } else {
        significand = IntegerBit | (fraction << 11);
        biased = exponent - DoubleBias + ExtendedBias;
    }

    Extended80 out{};
    for (int i = 0; i < 8; ++i)
        out[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(significand >> (8 * i));
    const unsigned top = static_cast<unsigned>(biased) | (negative ? 0x8000u : 0u);
    out[8] = static_cast<std::uint8_t>(top & 0xFF);
    out[9] = static_cast<std::uint8_t>(top >> 8);
    return out;
}

double FromExtended80(const Extended80& bytes)
{
    std::uint64_t significand = 0;
    for (int i = 7; i >= 0; --i)
        significand = (significand << 8) | bytes[static_cast<std::size_t>(i)];
    const unsigned top = bytes[8] | (static_cast<unsigned>(bytes[9]) << 8);
    const bool negative = (top & 0x8000u) != 0;
    const int biased = static_cast<int>(top & 0x7FFF);
    constexpr std::uint64_t DoubleInfinity = 0x7FF0000000000000ull;

    if (biased == 0x7FFF) {
        const std::uint64_t fraction = significand & ~IntegerBit;
        if (fraction == 0)
            return FromBits(negative, DoubleInfinity);
        return FromBits(negative, DoubleInfinity | (1ull << 51) | (fraction >> 11));
    }
    if (significand == 0)
        return FromBits(negative, 0);

    // Value = significand x 2^(exponent - 63); denormals use exponent 1 - bias.
    int exponent = (biased == 0 ? 1 : biased) - ExtendedBias;
    const int leading = std::countl_zero(significand);
    significand <<= leading;
    exponent -= leading;

    if (exponent > DoubleBias)
        return FromBits(negative, DoubleInfinity);
    if (exponent >= 1 - DoubleBias) {
        std::uint64_t mantissa = RoundShiftRight(significand, 11);
        if (mantissa == (1ull << 53)) {
            mantissa >>= 1;
            ++exponent;
            if (exponent > DoubleBias)
                return FromBits(negative, DoubleInfinity);
        }
        const auto field = static_cast<std::uint64_t>(exponent + DoubleBias);
        return FromBits(negative, (field << 52) | (mantissa & ((1ull << 52) - 1)));
    }
    // Double denormal: units of 2^-1074. Rounding up to 2^52 lands exactly on
    // the smallest normal, which the same bit pattern encodes.
    return FromBits(negative, RoundShiftRight(significand, -1011 - exponent));
}

float DoubleToFloat(double value)
{
    constexpr double FloatMax = std::numeric_limits<float>::max();
    if (std::isnan(value) || std::fabs(value) <= FloatMax)
        return static_cast<float>(value);
    // Beyond FLT_MAX: at or above half a unit further it rounds to infinity.
    constexpr double Threshold = FloatMax + 0x1p103;
    const float big = std::fabs(value) >= Threshold ? std::numeric_limits<float>::infinity()
                                                    : std::numeric_limits<float>::max();
    return value < 0 ? -big : big;
}
