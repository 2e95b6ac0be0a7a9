#include "engine/ProgressText.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int BarWidth = 24;

} // namespace

QString DurationText(double seconds)
{
    if (seconds < 59.95)
        return QStringLiteral("%1 s").arg(seconds, 0, 'f', 1);
    const long long whole = std::llround(seconds);
    const long long h = whole / 3600, m = whole / 60 % 60, s = whole % 60;
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(s, 2, 10, QLatin1Char('0'));
    return QStringLiteral("%1:%2").arg(m).arg(s, 2, 10, QLatin1Char('0'));
}

QString RayProgressLine(int done, int total, double seconds, double timeLimit)
{
    const int filled = total > 0 ? std::min(done, total) * BarWidth / total : BarWidth;
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('-')) +
                   QLatin1Char(']') + QStringLiteral(" pass %1/%2").arg(done).arg(total);
    if (done > 0 && done < total && seconds > 0) {
        double left = seconds / done * (total - done);
        // The run stops once the limit is crossed, whatever passes are left.
        if (timeLimit > 0)
            left = std::clamp(timeLimit - seconds, 0.0, left);
        text += QStringLiteral("  %1 left").arg(DurationText(left));
    }
    return text;
}
