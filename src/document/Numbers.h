#pragma once
#include <cfenv>
#include <climits>
#include <cmath>
#include <QString>

// Labels, the status bar and the thumbnail fit take numbers to the nearest
// integer with ties to the even neighbour (banker's rounding), not away from zero.
// Values beyond the integer range saturate and NaN gives 0, so a damaged
// project's angle cannot make the conversion undefined.
inline long long RoundHalfEven(double value)
{
    const double r = std::nearbyint(value); // FE_TONEAREST is the default mode
    if (std::isnan(r))
        return 0;
    if (r >= 0x1p63)
        return LLONG_MAX;
    if (r < -0x1p63)
        return LLONG_MIN;
    return static_cast<long long>(r);
}

// Beyond the integer range the rounded value is written out in full ("inf",
// "nan" as they are), rather than a saturated number that was never there.
inline QString RoundedText(double value)
{
    const double r = std::nearbyint(value);
    if (!std::isfinite(r) || std::fabs(r) >= 0x1p63)
        return QString::number(r, 'f', 0);
    return QString::number(static_cast<long long>(r));
}
