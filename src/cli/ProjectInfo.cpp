#include "cli/ProjectInfo.h"

#include "engine/OptionTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <algorithm>
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
    out += "    \"render\": " + BlockJson(d, InfoBlock::Engine) + "\n";
    out += "}\n";
    return out;
}
