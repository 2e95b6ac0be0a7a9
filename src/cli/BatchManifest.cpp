#include "cli/BatchManifest.h"

#include "engine/BundleRender.h"
#include "cli/JsonLinesManifest.h"
#include "engine/OptionTable.h"
#include "engine/OptionValues.h"
#include "engine/ShownPath.h"
#include "services/FileIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <map>
#include <set>

namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

JobError AtLine(int line, const QString& text)
{
    return BadInput(QStringLiteral("line %1: %2").arg(line).arg(text));
}

QString NoRowsText() { return QStringLiteral("the manifest is empty (it has no rows)"); }

QString WithoutBom(const QByteArray& bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

struct Record {
    int Line = 0;
    QStringList Fields;
};

// RFC 4180, also with bare LF or CR line ends. A line with nothing on it is
// no record.
std::vector<Record> CsvRecords(const QString& text)
{
    std::vector<Record> records;
    Record record;
    QString field;
    bool inQuotes = false;
    bool quoted = false;     // this field began with a quote
    bool afterQuote = false; // its closing quote has been seen
    int line = 1;
    int quoteLine = 1;
    record.Line = 1;
    const auto endField = [&] {
        record.Fields << field;
        field.clear();
        quoted = afterQuote = false;
    };
    const auto endRecord = [&] {
        const bool blank = record.Fields.isEmpty() && field.isEmpty() && !quoted;
        endField();
        if (!blank)
            records.push_back(record);
        record = Record{};
        record.Line = line;
    };
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < n && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    inQuotes = false;
                    afterQuote = true;
                }
                continue;
            }
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                continue; // CRLF inside a field is one line end
            if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
                ++line;
            field += c == QLatin1Char('\r') ? QChar(QLatin1Char('\n')) : c;
            continue;
        }
        if (c == QLatin1Char('"') && field.isEmpty() && !quoted) {
            inQuotes = quoted = true;
            quoteLine = line;
        } else if (c == QLatin1Char(',')) {
            endField();
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (c == QLatin1Char('\r') && i + 1 < n && text[i + 1] == QLatin1Char('\n'))
                ++i;
            ++line;
            endRecord();
        } else if (afterQuote) {
            if (c != QLatin1Char(' ') && c != QLatin1Char('\t'))
                throw AtLine(line, QStringLiteral("text after the closing quote of a field"));
        } else {
            field += c;
        }
    }
    if (inQuotes)
        throw AtLine(quoteLine, QStringLiteral("a quoted field is not closed"));
    if (!record.Fields.isEmpty() || !field.isEmpty() || quoted)
        endRecord();
    return records;
}

void CheckColumn(const QString& name, int line); // by the option table, below

Manifest ParseCsv(const QString& text)
{
    const std::vector<Record> records = CsvRecords(text);
    if (records.empty())
        throw BadInput(QStringLiteral("the manifest is empty (it needs a header row)"));
    const Record& header = records.front();
    QStringList names;
    for (const QString& field : header.Fields) {
        const QString name = field.trimmed().toLower();
        if (name.isEmpty())
            throw AtLine(header.Line, QStringLiteral("a column has no name"));
        if (names.contains(name))
            throw AtLine(header.Line, QStringLiteral("column %1 is named twice").arg(Quoted(name)));
        names << name;
    }
    // A header alone draws nothing: as empty as a JSON lines manifest with no
    // line, once its columns are known to be options.
    if (records.size() == 1) {
        for (const QString& name : names)
            CheckColumn(name, header.Line);
        throw BadInput(NoRowsText());
    }
    Manifest manifest;
    for (const QString& name : names)
        manifest.Columns.emplace_back(name, header.Line);
    for (std::size_t r = 1; r < records.size(); ++r) {
        const Record& record = records[r];
        ManifestRow row;
        row.Line = record.Line;
        if (record.Fields.size() != names.size()) {
            row.Error = QStringLiteral("%1 fields where the header has %2")
                            .arg(record.Fields.size())
                            .arg(names.size());
            if (const qsizetype at = names.indexOf(QStringLiteral("output")); at >= 0 && at < record.Fields.size())
                row.Output = record.Fields[at].trimmed();
        } else {
            for (qsizetype i = 0; i < names.size(); ++i)
                row.Cells.emplace_back(names[i], record.Fields[i]);
        }
        manifest.Rows.push_back(std::move(row));
    }
    return manifest;
}

enum class Column { Project, File, Flag, Look, Value };

// What a column is, by the render option of that name in the option table.
// "project" is the render's one argument without a name.
Column Classify(const QString& name, const RenderOptionEntry** option)
{
    *option = nullptr;
    if (name == QLatin1String("project"))
        return Column::Project;
    const RenderOptionEntry* entry = FindRenderOption(QStringLiteral("--") + name);
    static const QRegularExpression word(QStringLiteral("^[a-z0-9][a-z0-9-]*$"));
    if (!word.match(name).hasMatch() || (entry && !entry->ManifestColumn))
        throw BadInput(QStringLiteral("unknown column %1").arg(Quoted(name)));
    if (!entry)
        throw BadInput(QStringLiteral("unknown column %1 (not a render option)").arg(Quoted(name)));
    *option = entry;
    if (entry->Kind == OptionKind::File)
        return Column::File;
    switch (entry->Arity) {
    case OptionArity::None:
        return Column::Flag;
    case OptionArity::Optional:
        return Column::Look; // --shadow alone is 60
    case OptionArity::Required:
        break;
    }
    return Column::Value;
}

struct ColumnKind {
    Column Kind = Column::Value;
    const RenderOptionEntry* Option = nullptr;
};

ColumnKind Classify(const QString& name)
{
    ColumnKind kind;
    kind.Kind = Classify(name, &kind.Option);
    return kind;
}

void CheckColumn(const QString& name, int line)
{
    try {
        Classify(name);
    } catch (const JobError& e) {
        throw AtLine(line, e.Text());
    }
}

} // namespace

namespace {

// As the system resolves it: "link/.." is the parent of where the link leads.
QString Resolve(const QString& folder, const QString& path)
{
    return NormalisedPath(QDir(folder).filePath(path));
}

QStringList Arguments(const ManifestRow& row, const QString& folder, std::map<QString, ColumnKind>& kinds)
{
    QStringList arguments;
    QString project;
    for (const auto& [name, cell] : row.Cells) {
        auto kind = kinds.find(name);
        if (kind == kinds.end())
            kind = kinds.emplace(name, Classify(name)).first;
        const QString value = cell.trimmed();
        switch (kind->second.Kind) {
        case Column::Project:
            if (!value.isEmpty())
                project = Resolve(folder, value);
            break;
        case Column::File:
            // A path from the manifest's folder, after the option's shortest name.
            if (!value.isEmpty() && name == QLatin1String("bundle")) {
                // A bundle's projects, separated by ";" (a JSON array comes as one).
                arguments << QStringLiteral("--bundle");
                for (const QString& path : value.split(QLatin1Char(';'), Qt::SkipEmptyParts))
                    arguments << Resolve(folder, path.trimmed());
            } else if (!value.isEmpty()) {
                const RenderOptionEntry& entry = *kind->second.Option;
                arguments << (entry.Short ? QLatin1String(entry.Short) : entry.LongName()) << Resolve(folder, value);
            }
            break;
        case Column::Flag: {
            const std::optional<bool> on = FlagValue(value);
            if (!on)
                throw BadInput(QStringLiteral("%1 %2: not true or false").arg(name, Quoted(value)));
            if (*on)
                arguments << QStringLiteral("--") + name;
            break;
        }
        case Column::Look:
            // yes/true/on: the bare look, its default; no/false/off: none.
            // An option that is no look (fit) has no strength 0: off is not given.
            if (const std::optional<bool> on = SwitchWord(value); on && *on)
                arguments << QStringLiteral("--") + name;
            else if (on && kind->second.Option->Look)
                arguments << QStringLiteral("--%1=0").arg(name);
            else if (on)
                break;
            else if (!value.isEmpty())
                arguments << QStringLiteral("--%1=%2").arg(name, value);
            break;
        case Column::Value:
            // One argument: a value that starts with "-" is still a value.
            if (!value.isEmpty())
                arguments << QStringLiteral("--%1=%2").arg(name, value);
            break;
        }
    }
    if (!project.isEmpty())
        arguments.prepend(project);
    return arguments;
}

QString OutputCell(const ManifestRow& row)
{
    for (const auto& [name, cell] : row.Cells)
        if (name == QLatin1String("output"))
            return cell.trimmed();
    return {};
}

} // namespace

ManifestKind ManifestKindOf(const QString& path, const QByteArray& bytes)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("csv"))
        return ManifestKind::Csv;
    if (suffix == QLatin1String("jsonl") || suffix == QLatin1String("ndjson"))
        return ManifestKind::JsonLines;
    return WithoutBom(bytes).trimmed().startsWith(QLatin1Char('{')) ? ManifestKind::JsonLines
                                                                     : ManifestKind::Csv;
}

Manifest ParseManifest(const QByteArray& bytes, ManifestKind kind, const QString& folder)
{
    const QString text = WithoutBom(bytes);
    // Nothing but blanks is the same mistake in both forms.
    if (text.trimmed().isEmpty())
        throw BadInput(kind == ManifestKind::Csv ? QStringLiteral("the manifest is empty (it needs a header row)")
                                                 : NoRowsText());
    Manifest manifest = kind == ManifestKind::Csv ? ParseCsv(text) : ParseJsonLines(text);
    manifest.Folder = folder;
    return manifest;
}

Manifest ReadManifest(const QString& path)
{
    CheckPathLength(path);
    QFile file(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw BadInput(QStringLiteral("%1: no such manifest").arg(path));
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw BadInput(QStringLiteral("%1: the manifest cannot be read").arg(path));
    const QByteArray bytes = file.readAll();
    try {
        return ParseManifest(bytes, ManifestKindOf(path, bytes), info.absolutePath());
    } catch (const JobError& e) {
        throw BadInput(QStringLiteral("%1: %2").arg(path, e.Text()));
    }
}

QStringList RowArguments(const ManifestRow& row, const QString& folder)
{
    std::map<QString, ColumnKind> kinds;
    return Arguments(row, folder, kinds);
}

std::vector<BatchJob> PrepareJobs(const Manifest& manifest)
{
    // Every column first: one that is not known stops the whole manifest.
    std::map<QString, ColumnKind> kinds;
    for (const auto& [name, line] : manifest.Columns) {
        try {
            kinds.emplace(name, Classify(name));
        } catch (const JobError& e) {
            throw AtLine(line, e.Text());
        }
    }

    std::vector<BatchJob> jobs;
    std::map<QString, int> outputs; // output file's key -> line of the row that writes it
    for (const ManifestRow& row : manifest.Rows) {
        BatchJob job;
        job.Line = row.Line;
        job.Output = row.Cells.empty() ? row.Output : OutputCell(row);
        if (!row.Error.isEmpty()) {
            job.Error = row.Error;
        } else if (job.Output.isEmpty()) {
            job.Error = QStringLiteral("no output");
        } else {
            // Two spellings of one file (a link, a hard link) are one output.
            const QString output = FileIdentity::Of(Resolve(manifest.Folder, job.Output)).Key();
            const auto [earlier, first] = outputs.emplace(output, row.Line);
            if (!first) {
                job.Error = QStringLiteral("the same output as line %1").arg(earlier->second);
            } else {
                try {
                    job.Arguments = Arguments(row, manifest.Folder, kinds);
                    job.Options = ParseRenderArguments(job.Arguments);
                    RefuseArrangementWithoutBundle(*job.Options);
                } catch (const JobError& e) {
                    job.Error = e.Text();
                }
            }
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}
