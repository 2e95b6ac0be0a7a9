#include "formats/TimeStamp.h"

namespace {
constexpr std::int64_t UnitsPerDay = 1'000'000;
constexpr std::int64_t MsPerDay = 86'400'000;
} // namespace

std::int64_t ResultTimeStamp(const QDateTime& local)
{
    static const QDate epoch(1899, 12, 30);
    const std::int64_t days = epoch.daysTo(local.date());
    // Integer arithmetic: ms * 10 / 864 units, so no float drift near a tie.
    const std::int64_t ms = local.time().isValid() ? local.time().msecsSinceStartOfDay() : 0;
    const std::int64_t scaled = ms * UnitsPerDay;
    std::int64_t units = scaled / MsPerDay;
    const std::int64_t rest = scaled % MsPerDay;
    if (rest * 2 > MsPerDay || (rest * 2 == MsPerDay && (units % 2) != 0))
        ++units;
    return days * UnitsPerDay + units;
}

QString ResultFileStem(const QDateTime& local)
{
    return QString::number(ResultTimeStamp(local));
}
