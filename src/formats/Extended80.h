#pragma once
// The 80-bit x87 double-extended format as stored in project files:
// 64-bit significand with an explicit integer bit, then 15-bit exponent
// (bias 16383) with the sign in the top bit, all little-endian.
// Converted by bit manipulation so the bytes are the same on every
// platform, whatever long double is there.
#include <array>
#include <cstdint>

using Extended80 = std::array<std::uint8_t, 10>;

// Exact: every double is representable. NaN payloads are kept (made quiet).
Extended80 ToExtended80(double value);

// Rounds to nearest, ties to even; too large gives infinity, too small
// gives a denormal or zero. Unnormals and pseudo-denormals are taken at
// their face value.
double FromExtended80(const Extended80& bytes);

// Narrows to single precision without relying on out-of-range casts.
float DoubleToFloat(double value);
