#pragma once
// The manifest of "cubiform batch": one box shot per row, as CSV with a
// header row or as JSON lines, turned into the same arguments "render" takes
// and checked by the same parser.
#include "engine/RenderOptions.h"

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

enum class ManifestKind { Csv, JsonLines };

// A record as it stands in the file: its cells by column name.
struct ManifestRow {
    int Line = 0; // the physical line the record starts on, from 1
    std::vector<std::pair<QString, QString>> Cells;
    QString Error; // the record itself is malformed (field count, a JSON value)
    QString Output; // a malformed record's output, when it can be told: for messages
};

struct Manifest {
    QString Folder; // relative paths in the rows resolve against it
    std::vector<ManifestRow> Rows;
    // Every column with the line that names it first (the header's, in CSV).
    std::vector<std::pair<QString, int>> Columns;
};

// .csv, .jsonl / .ndjson by extension (any letter case); otherwise JSON lines
// when the first thing in the file is "{", CSV when not.
ManifestKind ManifestKindOf(const QString& path, const QByteArray& bytes);

// Throws JobError (bad input) for what spoils the whole manifest: a
// quote left open, a header that is empty or names a column twice, a line
// that is not a JSON object. Cells are not checked here.
Manifest ParseManifest(const QByteArray& bytes, ManifestKind kind, const QString& folder);
Manifest ReadManifest(const QString& path);

// One row made ready to draw, or the reason it cannot be.
struct BatchJob {
    int Line = 0;
    QString Output; // as the row names it, for messages
    std::optional<RenderOptions> Options;
    QStringList Arguments; // what Options were parsed from
    QString Error;
};

// Every row's cells as "render" arguments, checked by ParseRenderArguments.
// A column that is not a render option (or project, front, side, top,
// output) is an error for the whole manifest: JobError naming it,
// thrown before any row is looked at. Two rows with the same output: the
// later one fails, so no picture depends on which row came last.
std::vector<BatchJob> PrepareJobs(const Manifest& manifest);


// The render arguments of one row; throws JobError for a cell that
// cannot be an argument (a flag that is not true or false).
QStringList RowArguments(const ManifestRow& row, const QString& folder);
