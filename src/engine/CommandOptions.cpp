#include "engine/CommandOptions.h"

#include "engine/OptionReader.h"

namespace {

using A = OptionArity;
using K = OptionKind;
using Sec = OptionSection;
constexpr std::nullopt_t None = std::nullopt;

// A command's own option: no project value, no info key, no manifest
// column, read by the command itself. In the order of RenderOptionEntry.
RenderOptionEntry Own(OptionCommand command, const char* name, const char* shortName, OptionArity arity,
                      OptionKind kind, const char* value, std::optional<OptionRange> range, std::optional<int> def,
                      const char* help, const char* unit = nullptr, const char* defaultText = nullptr,
                      OptionSection section = Sec::Output)
{
    return {name,    shortName, arity, kind,   value,   range,      def,   None, section, help, 0, 0,
            InfoBlock::None, nullptr, nullptr, false, nullptr, None, unit, defaultText, command};
}

std::vector<RenderOptionEntry> Turntable()
{
    constexpr OptionCommand T = ForTurntable;
    return {
        Own(T, "frames", nullptr, A::Required, K::Integer, "N", OptionRange{MinTurntableFrames, MaxTurntableFrames},
            DefaultTurntableFrames, "frames in the turn, {min}..{max} (default {default})"),
        Own(T, "fps", nullptr, A::Required, K::Number, "F", OptionRange{1, static_cast<int>(MaxTurntableFps)},
            static_cast<int>(DefaultTurntableFps),
            "frames a second of a GIF or video, {min}..{max} (default {default}); a GIF's\n"
            "delays are in hundredths, rounded so the turn takes 100 N / F of them",
            "frames a second"),
        Own(T, "tilt", nullptr, A::None, K::Flag, nullptr, None, None, "turn the tilt angle around as well"),
    };
}

std::vector<RenderOptionEntry> Batch()
{
    constexpr OptionCommand B = ForBatch;
    return {
        Own(B, "jobs", "-j", A::Required, K::Integer, "N", OptionRange{1, 256}, None,
            "workers, each on one core (default: {default})", nullptr, "one per core"),
        Own(B, "fail-fast", nullptr, A::None, K::Flag, nullptr, None, None, "stop at the first row that fails"),
        Own(B, "skip-existing", nullptr, A::None, K::Flag, nullptr, None, None,
            "skip rows drawn before from the same inputs and options"),
        Own(B, "report", nullptr, A::Required, K::File, "FILE.csv", None, None,
            "write the failed rows (line, output, reason)"),
        Own(B, "shard", nullptr, A::Required, K::Text, "K/N", None, None,
            "only rows K, K+N, K+2N, ... (K counts from 1)"),
    };
}

std::vector<RenderOptionEntry> Serve()
{
    constexpr OptionCommand S = ForServe;
    using namespace ServeDefaults;
    return {
        Own(S, "bind", nullptr, A::Required, K::Text, "ADDRESS", None, None,
            "default {default}; another machine's reach needs a token", nullptr, Bind),
        Own(S, "port", nullptr, A::Required, K::Integer, "N", OptionRange{0, 65535}, Port,
            "default {default} (0: any free port)"),
        Own(S, "token-file", nullptr, A::Required, K::File, "FILE", None, None,
            "every request needs \"Authorization: Bearer\" and it"),
        Own(S, "max-body", nullptr, A::Required, K::Bytes, "SIZE", None, static_cast<int>(MaxBody),
            "largest request, default {default}", "bytes"),
        Own(S, "max-pixels", nullptr, A::Required, K::Pixels, "N", None, static_cast<int>(MaxPixels),
            "largest cover, default {default}", "pixels"),
        Own(S, "max-output", nullptr, A::Required, K::Integer, "N", OptionRange{1, 16384}, MaxOutput,
            "largest side of a picture, default {default}", "pixels"),
        Own(S, "timeout", nullptr, A::Required, K::Integer, "S", OptionRange{1, 3600}, TimeoutSeconds,
            "seconds a request may wait and draw, default {default}", "seconds"),
        Own(S, "workers", nullptr, A::Required, K::Integer, "N", OptionRange{1, 256}, None,
            "render workers, each on one core (default: {default})", nullptr, "one per core"),
        Own(S, "queue", nullptr, A::Required, K::Integer, "N", OptionRange{1, 100000}, None,
            "requests that may wait (default: {default}); more\nare answered 429 with Retry-After", nullptr,
            "four per worker"),
        Own(S, "max-connections", nullptr, A::Required, K::Integer, "N", OptionRange{1, 4096}, MaxConnections,
            "connections served at once, default {default}; more\nare answered 503 at once"),
        Own(S, "max-memory", nullptr, A::Required, K::Bytes, "SIZE", None, None,
            "memory the service keeps within (default:\n{default});\n"
            "a request waits while it would not fit, and one that\nnever could is refused (422)", "bytes",
            "nine tenths of the cgroup's memory.max, else half the machine's memory"),
        Own(S, "allow-origin", nullptr, A::Required, K::Text, "ORIGIN", None, None,
            "answer browsers on the site ORIGIN (CORS, with\npreflight); off by default"),
        // For tests and probes: stop as on SIGTERM.
        Own(S, "stop-after-requests", nullptr, A::Required, K::Integer, "N", OptionRange{1, 1 << 30}, None,
            "stop after this many requests", nullptr, nullptr, Sec::Hidden),
        Own(S, "stop-after-seconds", nullptr, A::Required, K::Integer, "S", OptionRange{1, 1 << 30}, None,
            "stop after this many seconds", "seconds", nullptr, Sec::Hidden),
    };
}

} // namespace

const std::vector<RenderOptionEntry>& OwnOptionTable(OptionCommand command)
{
    static const std::vector<RenderOptionEntry> turntable = Turntable(), batch = Batch(), serve = Serve();
    switch (command) {
    case ForTurntable: return turntable;
    case ForBatch: return batch;
    case ForServe: return serve;
    case ForRender: break;
    }
    return RenderOptionTable();
}

QString CommandWord(OptionCommand command)
{
    switch (command) {
    case ForTurntable: return QStringLiteral("turntable");
    case ForBatch: return QStringLiteral("batch");
    case ForServe: return QStringLiteral("serve");
    case ForRender: break;
    }
    return QStringLiteral("render");
}

std::vector<OptionCommand> OptionCommands() { return {ForRender, ForTurntable, ForBatch, ForServe}; }

std::vector<const RenderOptionEntry*> Entries(const std::vector<RenderOptionEntry>& table)
{
    std::vector<const RenderOptionEntry*> entries;
    for (const RenderOptionEntry& entry : table)
        entries.push_back(&entry);
    return entries;
}

void ReadOptions(const QStringList& arguments, const std::vector<const RenderOptionEntry*>& options,
                 const TakeOption& take, const std::function<void(qsizetype& index)>& other)
{
    OptionsSeen seen;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        OptionReader option(arguments, i);
        // "-j4": a number cannot be taken for more letters of a name.
        for (const RenderOptionEntry* entry : options)
            if (entry->Short && entry->Kind == OptionKind::Integer)
                option.SplitShort(QLatin1String(entry->Short));
        const QString written = option.Name();
        const RenderOptionEntry* found = nullptr;
        for (const RenderOptionEntry* entry : options)
            if (written == entry->LongName() || (entry->Short && written == QLatin1String(entry->Short)))
                found = entry;
        if (!found) {
            other(i);
            continue;
        }
        seen.Add(QLatin1String(found->Name), written);
        std::optional<QString> value;
        switch (found->Arity) {
        case OptionArity::None: option.NoValue(); break;
        case OptionArity::Required: value = option.Value(); break;
        case OptionArity::Optional: value = option.ValueIf(IsLookValue); break;
        }
        take(*found, written, value);
    }
}

void RefuseUnknownOption(const QString& argument)
{
    if (argument.startsWith(QLatin1Char('-')) && argument.size() > 1)
        throw UsageError(QStringLiteral("unknown option %1").arg(argument));
}
