#pragma once
// The options turntable, batch and serve read besides render's, declared as
// render's are (one entry each: name, value, range, default, unit, usage
// words), and the one way every command reads its own.
#include "engine/OptionTable.h"

#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

inline constexpr int MinTurntableFrames = 2;
inline constexpr int MaxTurntableFrames = 720; // half a degree a frame
inline constexpr int DefaultTurntableFrames = 36;
inline constexpr double DefaultTurntableFps = 25.0;
// A GIF counts in hundredths of a second, and most viewers slow delays
// under two hundredths down to a tenth: beyond 50 frames a second a GIF
// would play slower, not faster.
inline constexpr double MaxTurntableFps = 50.0;

// What "cubiform serve" does unless told otherwise.
namespace ServeDefaults {
inline constexpr const char* Bind = "127.0.0.1";
inline constexpr int Port = 8080;
inline constexpr std::int64_t MaxBody = std::int64_t{20} << 20; // bytes of one request
inline constexpr std::int64_t MaxPixels = 50'000'000;           // per cover
inline constexpr int MaxOutput = 4096;                           // largest side of the picture
inline constexpr int TimeoutSeconds = 30;                        // per request, waiting and drawing
inline constexpr int MaxConnections = 512;                       // served at once; more are answered 503
} // namespace ServeDefaults

// A command's own options, in the order of its usage; render's are
// RenderOptionTable().
const std::vector<RenderOptionEntry>& OwnOptionTable(OptionCommand command);

// "render", "turntable", "batch", "serve".
QString CommandWord(OptionCommand command);
std::vector<OptionCommand> OptionCommands();

using TakeOption = std::function<void(const RenderOptionEntry& entry, const QString& written,
                                      const std::optional<QString>& value)>;

// Reads `arguments` by `options`: each one found goes to `take` with the
// value its arity asks for ("NAME is given twice", "NAME needs a value" and
// "NAME takes no value" as render words them); any other argument goes to
// `other`, which may move the index past the values it takes.
void ReadOptions(const QStringList& arguments, const std::vector<const RenderOptionEntry*>& options,
                 const TakeOption& take, const std::function<void(qsizetype& index)>& other);

// Every entry of a table, for ReadOptions.
std::vector<const RenderOptionEntry*> Entries(const std::vector<RenderOptionEntry>& table);

// UsageError "unknown option NAME" for an option, nothing for a plain word.
void RefuseUnknownOption(const QString& argument);
