#include "serve/ServeSettings.h"

#include "engine/JobError.h"
#include "engine/CommandOptions.h"
#include "engine/OptionValues.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// A number with an optional unit from `units` (case-insensitive), each with
// its factor.
std::int64_t Scaled(const QString& text, const std::initializer_list<std::pair<const char*, double>>& units, bool* ok)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d+(?:\\.\\d+)?)\\s*([A-Za-z]*)\\s*$"));
    *ok = false;
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return 0;
    const double number = m.captured(1).toDouble();
    const QString unit = m.captured(2);
    for (const auto& [name, factor] : units)
        if (unit.compare(QLatin1String(name), Qt::CaseInsensitive) == 0) {
            const double value = std::floor(number * factor);
            if (value < 1 || value > 9.0e15)
                return 0;
            *ok = true;
            return static_cast<std::int64_t>(value);
        }
    return 0;
}

int WholeIn(const RenderOptionEntry& entry, const QString& option, const QString& value)
{
    const OptionRange r = *entry.Range;
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < r.Min || n > r.Max)
        throw UsageError(QStringLiteral("%1 %2: not a whole number %3..%4").arg(option, value).arg(r.Min).arg(r.Max));
    return n;
}

} // namespace

std::int64_t ParseByteCount(const QString& text, bool* ok)
{
    return Scaled(text,
                  {{"", 1.0}, {"B", 1.0}, {"KB", 1024.0}, {"KiB", 1024.0}, {"K", 1024.0}, {"MB", 1048576.0},
                   {"MiB", 1048576.0}, {"M", 1048576.0}, {"GB", 1073741824.0}, {"GiB", 1073741824.0}},
                  ok);
}

std::int64_t ParsePixelCount(const QString& text, bool* ok)
{
    return Scaled(text, {{"", 1.0}, {"P", 1.0}, {"KP", 1e3}, {"MP", 1e6}}, ok);
}

bool IsLoopbackAddress(const QString& address)
{
    if (address.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress host(address);
    return !host.isNull() && host.isLoopback();
}

int ServeSettings::WorkerCount() const { return Workers > 0 ? Workers : std::max(1, QThread::idealThreadCount()); }

int ServeSettings::QueueCapacity() const { return Queue > 0 ? Queue : 4 * WorkerCount(); }

ServeSettings ParseServeArguments(const QStringList& arguments)
{
    ServeSettings s;
    const auto take = [&](const RenderOptionEntry& entry, const QString& arg, const std::optional<QString>& v) {
        const QLatin1String name(entry.Name);
        const QString& value = *v;
        if (name == QLatin1String("bind")) {
            s.Bind = value;
            if (s.Bind.isEmpty())
                throw UsageError(QStringLiteral("--bind needs an address"));
        } else if (name == QLatin1String("port")) {
            s.Port = WholeIn(entry, arg, value);
        } else if (entry.Kind == OptionKind::Bytes || entry.Kind == OptionKind::Pixels) {
            bool ok = false;
            const bool body = entry.Kind == OptionKind::Bytes;
            const std::int64_t n = body ? ParseByteCount(value, &ok) : ParsePixelCount(value, &ok);
            if (!ok)
                throw UsageError(QStringLiteral("%1 %2: not a %3").arg(arg, value,
                    body ? QStringLiteral("size (20MB, 512KB, bytes)") : QStringLiteral("pixel count (50MP, pixels)")));
            (!body ? s.MaxPixels : name == QLatin1String("max-memory") ? s.MaxMemory : s.MaxBody) = n;
        } else if (name == QLatin1String("max-output")) {
            s.MaxOutput = WholeIn(entry, arg, value);
        } else if (name == QLatin1String("timeout")) {
            s.TimeoutSeconds = WholeIn(entry, arg, value);
        } else if (name == QLatin1String("workers")) {
            s.Workers = WholeIn(entry, arg, value);
        } else if (name == QLatin1String("queue")) {
            s.Queue = WholeIn(entry, arg, value);
        } else if (name == QLatin1String("max-connections")) {
            s.MaxConnections = WholeIn(entry, arg, value);
        } else if (name == QLatin1String("allow-origin")) {
            s.AllowOrigin = value.trimmed();
            // One origin, as the header carries it: a browser compares it whole.
            static const QRegularExpression origin(QStringLiteral("^(https?://[^/\\s]+|\\*)$"));
            if (!origin.match(s.AllowOrigin).hasMatch())
                throw UsageError(QStringLiteral("--allow-origin %1: not an origin such as https://shop.example or *").arg(value));
        } else if (name == QLatin1String("token-file")) {
            s.TokenFile = NamedFile(arg, value);
        } else if (name == QLatin1String("stop-after-requests")) {
            s.StopAfterRequests = WholeIn(entry, arg, value);
        } else if (name == QLatin1String("stop-after-seconds")) {
            s.StopAfterSeconds = WholeIn(entry, arg, value);
        }
    };
    ReadOptions(arguments, Entries(OwnOptionTable(ForServe)), take, [&](qsizetype& i) {
        RefuseUnknownOption(arguments[i]);
        throw UsageError(QStringLiteral("serve takes no file (%1); covers come with each request").arg(arguments[i]));
    });
    if (!IsLoopbackAddress(s.Bind) && s.TokenFile.isEmpty())
        throw UsageError(QStringLiteral("--bind %1 reaches other machines: give --token-file FILE, and every request "
                                        "then needs that bearer token").arg(s.Bind));
    return s;
}
