#include "engine/OptionValues.h"

#include "engine/OptionTable.h"

#include "document/BoxLooks.h"
#include "render/ViewFit.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace {

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

JobError BadValue(const QString& option, const QString& value, const QString& why)
{
    return BadInput(QStringLiteral("%1 %2: %3").arg(option, Quoted(value), why));
}

} // namespace

int IntegerIn(const QString& option, const QString& value, int minimum, int maximum)
{
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (!ok)
        throw BadValue(option, value, QStringLiteral("not a whole number"));
    if (n < minimum || n > maximum)
        throw BadValue(option, value,
                       QStringLiteral("out of range %1..%2").arg(minimum).arg(maximum));
    return static_cast<int>(n);
}

float Angle(const QString& option, const QString& value)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max())
        throw BadValue(option, value, QStringLiteral("not a finite number of degrees"));
    return static_cast<float>(d);
}

float NumberIn(const QString& option, const QString& value, float minimum, float maximum)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        throw BadValue(option, value, QStringLiteral("not a number"));
    if (d < static_cast<double>(minimum) || d > static_cast<double>(maximum))
        throw BadValue(option, value,
                       QStringLiteral("out of range %1..%2")
                           .arg(static_cast<double>(minimum))
                           .arg(static_cast<double>(maximum)));
    return static_cast<float>(d);
}

std::uint32_t Colour(const QString& option, const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9A-Fa-f]{6})$"));
    const QRegularExpressionMatch m = pattern.match(value);
    if (!m.hasMatch())
        throw BadValue(option, value, QStringLiteral("not a colour of the form #RRGGBB"));
    const std::uint32_t rgb = m.captured(1).toUInt(nullptr, 16);
    return ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}

QSize OutputSize(const QString& option, const QString& value, int minimum, int maximum)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)[xX](\\d+)$"));
    const QRegularExpressionMatch m = pattern.match(value);
    if (!m.hasMatch())
        throw BadValue(option, value, QStringLiteral("not a size of the form WIDTHxHEIGHT"));
    // The whole value is quoted: "0" alone would not say which side.
    bool wOk = false, hOk = false;
    const qlonglong w = m.captured(1).toLongLong(&wOk);
    const qlonglong h = m.captured(2).toLongLong(&hOk);
    if (!wOk || !hOk || w < minimum || w > maximum || h < minimum || h > maximum)
        throw BadValue(option, value, QStringLiteral("out of range %1..%2 for each side").arg(minimum).arg(maximum));
    return {static_cast<int>(w), static_cast<int>(h)};
}

int Choice(const QString& option, const QString& value, const QStringList& captions)
{
    if (const std::optional<int> index = ChoiceIndex(value, captions))
        return *index;
    throw BadValue(option, value,
                   QStringLiteral("not 0..%1 nor one of: %2")
                       .arg(captions.size() - 1)
                       .arg(captions.join(QStringLiteral(", "))));
}

int SampleCount(const QString& option, const QString& value)
{
    const int n =
        IntegerIn(option, value, LookLimits::SampleCounts.front(), LookLimits::SampleCounts.back());
    if (!LookLimits::IsSampleCount(n))
        throw BadValue(option, value, QStringLiteral("not ") + SampleCountWords());
    return n;
}

int Strength(const QString& option, const QString& value)
{
    bool ok = false;
    value.toLongLong(&ok);
    if (!ok)
        throw BadValue(option, value,
                       QStringLiteral("not a whole number %1..%2")
                           .arg(LookLimits::MinStrength)
                           .arg(LookLimits::MaxStrength));
    return IntegerIn(option, value, LookLimits::MinStrength, LookLimits::MaxStrength);
}

int FitMargin(const QString& option, const QString& value)
{
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (!ok || n < FitLimits::MinMargin || n > FitLimits::MaxMargin)
        throw BadValue(option, value,
                       QStringLiteral("not a whole number %1..%2 (percent of the picture)")
                           .arg(FitLimits::MinMargin)
                           .arg(FitLimits::MaxMargin));
    return static_cast<int>(n);
}

QString NamedFile(const QString& option, const QString& value)
{
    if (value.isEmpty())
        throw UsageError(QStringLiteral("%1 needs a file name").arg(option));
    return value;
}

std::optional<bool> FlagValue(const QString& value)
{
    const QString v = value.toLower();
    if (v.isEmpty() || v == QLatin1String("false") || v == QLatin1String("no") || v == QLatin1String("0"))
        return false;
    if (v == QLatin1String("true") || v == QLatin1String("yes") || v == QLatin1String("1"))
        return true;
    return std::nullopt;
}

std::optional<bool> SwitchWord(const QString& value)
{
    const QString v = value.toLower();
    if (v == QLatin1String("yes") || v == QLatin1String("true") || v == QLatin1String("on"))
        return true;
    if (v == QLatin1String("no") || v == QLatin1String("false") || v == QLatin1String("off"))
        return false;
    return std::nullopt;
}
