#include "cli/ProjectInfo.h"

#include "engine/OptionTable.h"

#include "document/BoxDocument.h"
#include "document/PrintBook.h"
#include "document/ProjectApply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace {

// One value as JSON text, escaped by Qt.
QByteArray Encoded(const QJsonValue& value)
{
    QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // without the brackets
}

using Fields = std::vector<std::pair<QString, QJsonValue>>;

void AddOption(Fields& fields, const RenderOptionEntry& entry, const ProjectData& d)
{
    const QStringList keys = entry.Keys();
    const QJsonArray values = entry.Info(d);
    for (qsizetype i = 0; i < keys.size(); ++i)
        fields.emplace_back(keys[i], values.at(i));
}

// The file's order; a name with "--" stands for that option's keys in the
// option table. Options with a key that are not named here follow them.
const char* const FileOrder[] = {
    "version", "--front", "--side", "--top", "outputFolder", "sizeClass", "--fog", "--form", "--background", "--size",
    "--width", "--height", "--thickness", "--depth", "--vertical", "--horizontal", "--turn", "--eye", "--side-angle",
    "--tilt-angle",
};

Fields TopFields(const ProjectData& d)
{
    Fields fields;
    std::vector<const RenderOptionEntry*> done;
    for (const char* name : FileOrder) {
        const QString key = QLatin1String(name);
        if (key == QLatin1String("version"))
            fields.emplace_back(key, d.Version);
        else if (key == QLatin1String("outputFolder"))
            fields.emplace_back(key, d.OutputFolder);
        else if (key == QLatin1String("sizeClass"))
            fields.emplace_back(key, d.SizeClass);
        else if (const RenderOptionEntry* entry = FindRenderOption(key); entry && entry->Json == InfoBlock::Top) {
            AddOption(fields, *entry, d);
            done.push_back(entry);
        }
    }
    for (const RenderOptionEntry& entry : RenderOptionTable())
        if (entry.Json == InfoBlock::Top && std::find(done.begin(), done.end(), &entry) == done.end())
            AddOption(fields, entry, d);
    return fields;
}

// A block's values on one line, in the order of the file's block.
QByteArray BlockJson(const ProjectData& d, InfoBlock block)
{
    Fields values;
    for (const RenderOptionEntry& entry : RenderOptionTable())
        if (entry.Json == block)
            AddOption(values, entry, d);
    QByteArray out = "{";
    for (const auto& [key, value] : values) {
        if (out.size() > 1)
            out += ", ";
        out += '"';
        out += key.toUtf8();
        out += "\": ";
        out += Encoded(value);
    }
    return out + "}";
}

// Millimetres as the window's labels show them: to a tenth.
double Tenths(double mm) { return std::round(mm * 10.0) / 10.0; }

// The box's sides as drawn, in mm (the document read as the window reads
// it), and the real size the project keeps, in its own unit.
QByteArray SizeJson(const ProjectData& d)
{
    BoxDocument document;
    document.NewProject();
    ApplyProject(document, d);
    const Sides drawn = document.DrawnSides();
    QByteArray out = "{\"width\": " + Encoded(Tenths(drawn[0])) + ", \"height\": " + Encoded(Tenths(drawn[1])) +
                     ", \"thickness\": " + Encoded(Tenths(drawn[2])) + ", \"unit\": \"mm\"";
    const RealSize& real = document.Real();
    if (real.Given()) {
        const double per = MillimetresPer(real.Unit);
        const auto given = [per](double mm) { return std::round(mm / per * 1000.0) / 1000.0; };
        out += ", \"given\": {\"width\": " + Encoded(given(real.Width)) + ", \"height\": " +
               Encoded(given(real.Height)) + ", \"thickness\": " + Encoded(given(real.Depth)) + ", \"unit\": \"" +
               UnitSuffix(real.Unit).toUtf8() + "\"";
        if (real.Pages > 0)
            out += ", \"pages\": " + Encoded(real.Pages) + ", \"paper\": " + Encoded(real.Caliper) +
                   ", \"pageBlock\": " + Encoded(std::round(PageBlockMillimetres(real.Pages, real.Caliper) * 100) / 100) +
                   ", \"boards\": " + Encoded(real.Boards) + ", \"spine\": " + Encoded(std::round(real.Depth * 100) / 100);
        out += "}";
    }
    return out + "}";
}

} // namespace

QByteArray ProjectInfoJson(const ProjectData& d)
{
    // QJsonObject would sort the keys; the file's order reads better.
    const Fields values = TopFields(d);
    QByteArray out = "{\n";
    for (const auto& [key, value] : values) {
        out += "    \"";
        out += key.toUtf8();
        out += "\": ";
        out += Encoded(value);
        out += ",\n";
    }
    out += "    \"looks\": " + BlockJson(d, InfoBlock::Looks) + ",\n";
    out += "    \"shape\": " + BlockJson(d, InfoBlock::Shape) + ",\n";
    out += "    \"render\": " + BlockJson(d, InfoBlock::Engine) + ",\n";
    out += "    \"sides\": " + SizeJson(d) + "\n";
    out += "}\n";
    return out;
}
