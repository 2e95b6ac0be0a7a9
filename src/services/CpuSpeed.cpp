#include "services/CpuSpeed.h"

#include <QFile>
#include <QSettings>

#include <cmath>
#include <optional>

namespace {

// /proc/cpuinfo lists every processor; the first "cpu MHz" is all we show.
// Lines are read one at a time and bounded, so an odd file cannot run away.
constexpr qint64 MaxLineBytes = 4096;
constexpr int MaxLines = 100000;

std::optional<double> FirstCpuMhz(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    for (int i = 0; i < MaxLines; ++i) {
        const QByteArray line = file.readLine(MaxLineBytes);
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        if (colon < 0 || line.left(colon).trimmed() != "cpu MHz")
            continue;
        bool ok = false;
        const double mhz = line.mid(colon + 1).trimmed().toDouble(&ok);
        return ok ? std::optional<double>(mhz) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> MaxFrequencyMhz(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return std::nullopt;
    bool ok = false;
    const qlonglong khz = file.readLine(MaxLineBytes).trimmed().toLongLong(&ok);
    return ok ? std::optional<double>(static_cast<double>(khz) / 1000.0) : std::nullopt;
}

} // namespace

QString MhzText(double mhz)
{
    if (!std::isfinite(mhz) || mhz < 1.0 || mhz > 1.0e6)
        return QString();
    return QString::number(static_cast<qlonglong>(std::nearbyint(mhz))) + QStringLiteral(" MHz");
}

QString CpuSpeedText(const CpuSpeedSources& sources)
{
    for (const std::optional<double>& mhz : {FirstCpuMhz(sources.CpuInfo), MaxFrequencyMhz(sources.MaxFrequency)}) {
        if (!mhz)
            continue;
        const QString text = MhzText(*mhz);
        if (!text.isEmpty())
            return text;
    }
    return QString();
}

QString CpuSpeedText()
{
#ifdef Q_OS_WIN
    // The machine's own description of its first processor, read only.
    QSettings key(QStringLiteral("HKEY_LOCAL_MACHINE\\HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0"),
                  QSettings::NativeFormat);
    bool ok = false;
    const qlonglong mhz = key.value(QStringLiteral("~MHz")).toLongLong(&ok);
    return ok ? MhzText(static_cast<double>(mhz)) : QString();
#else
    return CpuSpeedText(CpuSpeedSources{});
#endif
}
