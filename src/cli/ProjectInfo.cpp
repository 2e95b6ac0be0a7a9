#include "cli/ProjectInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>

#include <utility>
#include <vector>

namespace {

// One value as JSON text, escaped by Qt.
QByteArray Encoded(const QJsonValue& value)
{
    QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2); // without the brackets
}

QString HexColor(std::int32_t bgr)
{
    const auto v = static_cast<std::uint32_t>(bgr);
    return QStringLiteral("#%1%2%3")
        .arg(v & 0xFFu, 2, 16, QLatin1Char('0'))
        .arg((v >> 8) & 0xFFu, 2, 16, QLatin1Char('0'))
        .arg((v >> 16) & 0xFFu, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// The looks on one line, in the order of the file's block.
QByteArray LooksJson(const BoxLooks& l)
{
    const std::pair<const char*, QJsonValue> values[] = {
        {"shadow", l.Shadow},   {"shadowSoftness", l.ShadowSoftness}, {"reflection", l.Reflection},
        {"light", l.Light},     {"smoothTextures", l.SmoothTextures}, {"samples", l.Samples},
    };
    QByteArray out = "{";
    for (const auto& [key, value] : values) {
        if (out.size() > 1)
            out += ", ";
        out += '"';
        out += key;
        out += "\": ";
        out += Encoded(value);
    }
    return out + "}";
}

} // namespace

QByteArray ProjectInfoJson(const ProjectData& d)
{
    // QJsonObject would sort the keys; the file's order reads better.
    const std::vector<std::pair<const char*, QJsonValue>> values = {
        {"version", d.Version},
        {"front", d.FrontBack},
        {"side", d.LeftRight},
        {"top", d.TopBottom},
        {"outputFolder", d.OutputFolder},
        {"sizeClass", d.SizeClass},
        {"fog", d.Fog},
        {"form", d.Form},
        {"background", HexColor(d.BackgroundColor)},
        {"imageWidth", d.ImageWidth},
        {"imageHeight", d.ImageHeight},
        {"boxWidth", d.Breed},
        {"boxHeight", d.Height},
        {"boxThickness", d.Thick},
        {"depth", d.Depth},
        {"vertical", d.Vertical},
        {"horizontal", d.Horizontal},
        {"turn", d.Turn},
        {"eye", d.Eye},
        // Not finite (a damaged file) has no JSON number: null.
        {"sideAngle", static_cast<double>(d.SideAngle)},
        {"tiltAngle", static_cast<double>(d.TiltAngle)},
    };
    QByteArray out = "{\n";
    for (std::size_t i = 0; i < values.size(); ++i) {
        out += "    \"";
        out += values[i].first;
        out += "\": ";
        out += Encoded(values[i].second);
        out += ",\n";
    }
    out += "    \"looks\": " + LooksJson(d.Looks) + "\n";
    out += "}\n";
    return out;
}
