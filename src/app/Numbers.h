#pragma once
#include <cfenv>
#include <cmath>
#include <QString>

// Labels, the status bar and the thumbnail fit take numbers to the nearest
// integer with ties to the even neighbour (banker's rounding), not away from zero.
inline long long RoundHalfEven(double value)
{
    const double r = std::nearbyint(value); // FE_TONEAREST is the default mode
    return static_cast<long long>(r);
}

inline QString RoundedText(double value)
{
    return QString::number(RoundHalfEven(value));
}
