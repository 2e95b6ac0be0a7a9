#include "document/RealSize.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

constexpr double MillimetresPerUnit = 100.0; // the scene unit is 0.1 m
constexpr double ExactWithin = 0.01;         // mm

} // namespace

double MillimetresPer(SizeUnit unit)
{
    switch (unit) {
    case SizeUnit::Millimetre: return 1.0;
    case SizeUnit::Centimetre: return 10.0;
    case SizeUnit::Inch: return 25.4;
    }
    return 1.0;
}

QString UnitSuffix(SizeUnit unit)
{
    switch (unit) {
    case SizeUnit::Millimetre: return QStringLiteral("mm");
    case SizeUnit::Centimetre: return QStringLiteral("cm");
    case SizeUnit::Inch: return QStringLiteral("in");
    }
    return QString();
}

std::optional<SizeUnit> UnitOfSuffix(const QString& suffix)
{
    for (SizeUnit unit : {SizeUnit::Millimetre, SizeUnit::Centimetre, SizeUnit::Inch})
        if (suffix.compare(UnitSuffix(unit), Qt::CaseInsensitive) == 0)
            return unit;
    return std::nullopt;
}

// (position / maximum) x (2 x scale) / 100 + 0.001, in this order, in double,
// then stored as single precision.
float HalfExtentOf(int position, int maximum, int scale)
{
    const double v = static_cast<double>(position) / static_cast<double>(maximum) *
                         (2.0 * static_cast<double>(scale)) / 100.0 +
                     0.001;
    return static_cast<float>(v);
}

double SideMillimetres(int position, int maximum, int scale)
{
    return 2.0 * static_cast<double>(HalfExtentOf(position, maximum, scale)) * MillimetresPerUnit;
}

ParsedSides ParseSides(const QString& text, int count)
{
    ParsedSides parsed;
    static const QRegularExpression form(QStringLiteral("^\\s*([0-9.x\\s]+?)\\s*([a-zA-Z]+)\\s*$"));
    const QRegularExpressionMatch m = form.match(text);
    const QString example = count == 3 ? QStringLiteral("152x229x22mm") : QStringLiteral("6x9in");
    if (!m.hasMatch()) {
        parsed.Error = QStringLiteral("expected %1 sides and a unit, as in %2").arg(count).arg(example);
        return parsed;
    }
    const std::optional<SizeUnit> unit = UnitOfSuffix(m.captured(2));
    if (!unit) {
        parsed.Error = QStringLiteral("the unit must be mm, cm or in, as in %1").arg(example);
        return parsed;
    }
    const QStringList parts = m.captured(1).split(QLatin1Char('x'));
    if (parts.size() != count) {
        parsed.Error = QStringLiteral("expected %1 sides and a unit, as in %2").arg(count).arg(example);
        return parsed;
    }
    parsed.Unit = *unit;
    for (int i = 0; i < count; ++i) {
        bool ok = false;
        const double v = parts[i].trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(v) || v <= 0) {
            parsed.Error = QStringLiteral("\"%1\" is no size above 0").arg(parts[i].trimmed());
            return parsed;
        }
        parsed.Millimetres[static_cast<std::size_t>(i)] = v * MillimetresPer(*unit);
    }
    return parsed;
}

SideFit FitSide(double millimetres, int maximum, int scale)
{
    SideFit fit;
    const double least = SideMillimetres(1, maximum, scale);
    const double most = SideMillimetres(maximum, maximum, scale);
    const double step = maximum > 1 ? (most - least) / (maximum - 1) : 0.0;
    const double position = step > 0 ? 1.0 + (millimetres - least) / step : 1.0;
    fit.Position = static_cast<int>(std::lround(std::clamp(position, 1.0, static_cast<double>(maximum))));
    fit.Drawn = SideMillimetres(fit.Position, maximum, scale);
    fit.Exact = std::fabs(fit.Drawn - millimetres) < ExactWithin;
    fit.InRange = millimetres >= least - step / 2 - ExactWithin && millimetres <= most + step / 2 + ExactWithin;
    return fit;
}

QString SideText(double millimetres, SizeUnit unit, bool fine)
{
    const double v = millimetres / MillimetresPer(unit);
    const int decimals = (unit == SizeUnit::Millimetre ? 1 : 2) + (fine ? 1 : 0);
    return QStringLiteral("%1 %2").arg(QString::number(v, 'f', decimals), UnitSuffix(unit));
}
