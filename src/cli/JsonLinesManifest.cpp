#include "cli/JsonLinesManifest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// One JSON value as the text a command line would carry; a list (only where
// `listed`) as a CSV cell holds it, its names separated by ";".
std::optional<QString> CellText(const QJsonValue& value, bool listed)
{
    if (value.isArray() && !listed)
        return std::nullopt;
    switch (value.type()) {
    case QJsonValue::String: return value.toString();
    case QJsonValue::Bool: return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QJsonValue::Null: return QString();
    case QJsonValue::Double: return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QJsonValue::Array: {
        // A list of names (a bundle's projects): as a CSV cell writes it.
        QStringList names;
        for (const QJsonValue& item : value.toArray()) {
            if (!item.isString() || item.toString().contains(QLatin1Char(';')))
                return std::nullopt;
            names << item.toString();
        }
        return names.join(QLatin1Char(';'));
    }
    default: return std::nullopt;
    }
}

// The keys of a JSON object's own level, in the order written, repeats
// kept (the parsed object keeps only the last of a repeated key). `line` is
// known to be one valid JSON object.
QStringList TopLevelKeys(const QString& line)
{
    QStringList keys;
    int depth = 0;
    bool expectKey = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (c == QLatin1Char('"')) {
            const qsizetype start = i;
            for (++i; i < line.size() && line[i] != QLatin1Char('"'); ++i)
                if (line[i] == QLatin1Char('\\'))
                    ++i;
            if (depth == 1 && expectKey) {
                const QJsonDocument key = QJsonDocument::fromJson(
                    QStringLiteral("[%1]").arg(line.mid(start, i - start + 1)).toUtf8());
                keys << key.array().at(0).toString();
            }
            expectKey = false;
        } else if (c == QLatin1Char('{') || c == QLatin1Char('[')) {
            ++depth;
            expectKey = depth == 1;
        } else if (c == QLatin1Char('}') || c == QLatin1Char(']')) {
            --depth;
        } else if (c == QLatin1Char(',')) {
            expectKey = depth == 1;
        }
    }
    return keys;
}

// The output a JSON line names, when the line is too damaged to be read
// as a row: for the message that reports it.
QString OutputOfDamagedLine(const QString& line)
{
    static const QRegularExpression output(QStringLiteral("\"output\"\\s*:\\s*\"((?:[^\"\\\\]|\\\\.)*)\""),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = output.match(line);
    return m.hasMatch() ? m.captured(1).trimmed() : QString();
}

} // namespace

Manifest ParseJsonLines(const QString& text)
{
    Manifest manifest;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed(); // also a CR of CRLF
        if (line.isEmpty())
            continue;
        ManifestRow row;
        row.Line = static_cast<int>(i + 1);
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        if (error.error != QJsonParseError::NoError) {
            row.Error = QStringLiteral("not JSON (%1)").arg(error.errorString());
        } else if (!document.isObject()) {
            row.Error = QStringLiteral("not a JSON object");
        } else {
            const QJsonObject object = document.object();
            for (auto it = object.begin(); it != object.end(); ++it) {
                // A bundle's projects are a list of names.
                const bool listed = it.key().trimmed().toLower() == QLatin1String("bundle");
                const std::optional<QString> cell = CellText(it.value(), listed);
                if (!cell) {
                    row.Error = listed ? QStringLiteral("%1: not a list of project names without \";\"").arg(it.key())
                                       : QStringLiteral("%1: not a string, number or true/false").arg(it.key());
                    row.Cells.clear();
                    break;
                }
                row.Cells.emplace_back(it.key().trimmed().toLower(), *cell);
            }
            // A key given twice is refused as a CSV column named twice is.
            QStringList seen;
            for (const QString& key : TopLevelKeys(line)) {
                const QString name = key.trimmed().toLower();
                if (row.Error.isEmpty() && seen.contains(name)) {
                    row.Error = QStringLiteral("%1 is given twice").arg(Quoted(name));
                    row.Cells.clear();
                }
                seen << name;
            }
            for (const auto& cell : row.Cells)
                if (std::none_of(manifest.Columns.begin(), manifest.Columns.end(),
                                 [&](const auto& c) { return c.first == cell.first; }))
                    manifest.Columns.emplace_back(cell.first, row.Line);
        }
        if (!row.Error.isEmpty())
            row.Output = OutputOfDamagedLine(line);
        manifest.Rows.push_back(std::move(row));
    }
    return manifest;
}
