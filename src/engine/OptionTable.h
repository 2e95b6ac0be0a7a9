#pragma once
// Every option of "cubiform render" (and so of turntable, the batch
// manifest's columns and the service's fields), declared once: the parser,
// the usage text, the JSON of "info" and the manifest's columns are all read
// from this table. The other commands' own options are entries of the same
// kind (CommandOptions.h); the manual page, the manual's tables and the
// service's description of its fields are made from both.
#include "engine/RenderOptions.h"

#include "document/BoxEngine.h"
#include "document/BoxLooks.h"
#include "document/BoxShape.h"

#include <QJsonArray>
#include <QString>

#include <optional>
#include <vector>

struct ProjectData;

// What follows an option's name.
enum class OptionArity {
    None,     // a flag: "--transparent"
    Required, // "--width 40", "--width=40"
    Optional, // "--shadow" alone takes the bare value; "--shadow 40"
};

// How the value is read; the usage and the checks follow from it.
// Text ("K/N", an address), Bytes ("20MB") and Pixels ("50MP") are only
// the other commands' own.
enum class OptionKind {
    Flag, Integer, Strength, SampleCount, Choice, Colour, Angle, Size, File, Number, Text, Bytes, Pixels
};

// Where the usage lists an option; Hidden ones are not listed.
enum class OptionSection { Box, Looks, Shape, Output, Hidden };

// Which block of "info" holds an option's JSON.
enum class InfoBlock { None, Top, Looks, Shape, Engine };

struct OptionRange {
    int Min = 0;
    int Max = 0;
};

// A look option's place in LookOptions and the BoxLooks field it sets over
// the project's.
struct LookField {
    std::optional<int> LookOptions::*Given;
    int BoxLooks::*Field;
};

// Whose command line takes an option (bits of RenderOptionEntry::Commands).
enum OptionCommand : unsigned { ForRender = 1, ForTurntable = 2, ForBatch = 4, ForServe = 8 };

struct RenderOptionEntry;
using ApplyOption = void (*)(RenderOptions&, const RenderOptionEntry&, const QString& written,
                             const std::optional<QString>& value);

struct RenderOptionEntry {
    const char* Name;  // long name without "--"; also its manifest column
    const char* Short; // "-o", or nullptr
    OptionArity Arity;
    OptionKind Kind;
    const char* ValueName;            // "N", "FILE", "[S]"; nullptr for a flag
    std::optional<OptionRange> Range; // integers (and each side of a size)
    std::optional<int> Default;       // the default the usage names, if any
    std::optional<int> Bare;          // the value of an Optional option written alone
    OptionSection Section;
    // The usage's words, each line of them; {min}, {max}, {default}, {bare},
    // {choices} and {counts} stand for what the table and the document say.
    // Empty: shared with the next option on the same usage line.
    const char* Help;
    int UsageColumn; // 0: starts a usage line; else continues it there
    int HelpColumn;  // 0: the usual column
    InfoBlock Json;
    const char* JsonKeys; // comma separated, as many as Info gives values
    QJsonArray (*Info)(const ProjectData&);
    bool ManifestColumn; // a batch manifest may name it as a column
    ApplyOption Apply; // nullptr: a command's own option, read by that command
    std::optional<LookField> Look = std::nullopt;
    const char* Unit = nullptr;        // what a number counts: "degrees", "pixels", "seconds", ...
    const char* DefaultText = nullptr; // a default no number says: "127.0.0.1", "one per core"
    unsigned Commands = ForRender | ForTurntable;

    QString LongName() const { return QStringLiteral("--") + QLatin1String(Name); }
    // "-o, --output" or "--width".
    QString Names() const;
    // The usage's words with the placeholders filled in.
    QString HelpText() const;
    // The range a value is checked against; for a choice, 0..captions-1.
    std::optional<OptionRange> ValueRange() const;
    QStringList Keys() const;
    // The default as the usage words it: DefaultText, else the number ("20MB"
    // for bytes); empty when there is none.
    QString DefaultWords() const;
    // Whether a request to the service may name it: render's options, but no
    // file on the service's machine and nothing hidden.
    bool RequestField() const;
};

// In the order of the usage text.
const std::vector<RenderOptionEntry>& RenderOptionTable();

// The option written as NAME ("--width", "-o"; no "=value"), or nullptr.
const RenderOptionEntry* FindRenderOption(const QString& name);

// The captions a choice option takes by name.
QStringList OptionChoices(const RenderOptionEntry& entry);

// "1, 2, 4, 8, 16 or 32": LookLimits::SampleCounts in words.
QString SampleCountWords();

// The looks the options set over those the project brought.
BoxLooks LooksWithOptions(BoxLooks looks, const RenderOptions& options);

// The engine, passes, gloss and denoiser the options set over the project's.
BoxEngine EngineWithOptions(BoxEngine engine, const RenderOptions& options);

// The shape the options set over the one the project brought.
BoxShape ShapeWithOptions(BoxShape shape, const RenderOptions& options);

// Whether an argument after an Optional option is its value.
bool IsLookValue(const QString& text);
