#pragma once
// A binary glTF file taken apart as a viewer would: its chunks, its JSON,
// the values of its accessors, and its camera's projection. Written from
// the format's rules, not from the exporter, so that the tests check one
// against the other.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointF>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

struct GlbParts {
    std::uint32_t Magic = 0, Version = 0, Length = 0;
    std::uint32_t JsonLength = 0, JsonType = 0, BinLength = 0, BinType = 0;
    qsizetype BinStart = 0; // offset of the binary chunk's data in the file
    QByteArray JsonBytes, Bin;
    QJsonObject Json;
};

inline std::uint32_t GlbWord(const QByteArray& b, qsizetype at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = v << 8 | static_cast<unsigned char>(b[at + i]);
    return v;
}

// Nothing when the header or the chunks do not fit the file.
inline std::optional<GlbParts> ReadGlb(const QByteArray& file)
{
    if (file.size() < 20)
        return std::nullopt;
    GlbParts g;
    g.Magic = GlbWord(file, 0);
    g.Version = GlbWord(file, 4);
    g.Length = GlbWord(file, 8);
    g.JsonLength = GlbWord(file, 12);
    g.JsonType = GlbWord(file, 16);
    if (20 + qsizetype{g.JsonLength} > file.size())
        return std::nullopt;
    g.JsonBytes = file.mid(20, g.JsonLength);
    g.Json = QJsonDocument::fromJson(g.JsonBytes).object();
    const qsizetype bin = 20 + qsizetype{g.JsonLength};
    if (bin + 8 <= file.size()) {
        g.BinLength = GlbWord(file, bin);
        g.BinType = GlbWord(file, bin + 4);
        g.BinStart = bin + 8;
        if (g.BinStart + qsizetype{g.BinLength} > file.size())
            return std::nullopt;
        g.Bin = file.mid(g.BinStart, g.BinLength);
    }
    return g;
}

inline QJsonObject GlbItem(const GlbParts& g, const char* array, int index)
{
    return g.Json[QLatin1String(array)].toArray()[index].toObject();
}

inline int ComponentsOf(const QString& type)
{
    return type == QLatin1String("SCALAR") ? 1 : type == QLatin1String("VEC2") ? 2 : type == QLatin1String("VEC3") ? 3 : 4;
}

// An accessor's values as doubles, element after element (floats, or unsigned shorts and ints).
inline std::vector<double> AccessorValues(const GlbParts& g, int index)
{
    const QJsonObject a = GlbItem(g, "accessors", index);
    const QJsonObject view = GlbItem(g, "bufferViews", a["bufferView"].toInt());
    const int type = a["componentType"].toInt();
    const int size = type == 5123 ? 2 : 4;
    const qsizetype start = view["byteOffset"].toInteger() + a["byteOffset"].toInteger();
    const qsizetype count = a["count"].toInteger() * ComponentsOf(a["type"].toString());
    std::vector<double> values;
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype at = start + i * size;
        if (at + size > g.Bin.size())
            break;
        if (type == 5126) {
            float f;
            std::memcpy(&f, g.Bin.constData() + at, 4);
            values.push_back(f);
        } else if (type == 5123) {
            values.push_back(static_cast<unsigned char>(g.Bin[at]) | static_cast<unsigned char>(g.Bin[at + 1]) << 8);
        } else {
            values.push_back(GlbWord(g.Bin, at));
        }
    }
    return values;
}

// Where the file's camera (node with "camera") shows a point of the box
// node's frame, in pixels of a width x height picture from its top left;
// nothing behind the eye.
inline std::optional<QPointF> ProjectWithGlbCamera(const GlbParts& g, std::array<double, 3> point, int width,
                                                   int height)
{
    for (const QJsonValue nodeValue : g.Json["nodes"].toArray()) {
        const QJsonObject node = nodeValue.toObject();
        if (!node.contains(QLatin1String("camera")))
            continue;
        const QJsonArray t = node["translation"].toArray(), r = node["rotation"].toArray();
        const double x = r[0].toDouble(), y = r[1].toDouble(), z = r[2].toDouble(), w = r[3].toDouble();
        // The camera's rotation as a matrix; a point in its frame is R^T (p - t).
        const double m[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                                {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                                {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
        double d[3], e[3];
        for (int i = 0; i < 3; ++i)
            d[i] = point[static_cast<std::size_t>(i)] - t[i].toDouble();
        for (int i = 0; i < 3; ++i)
            e[i] = m[0][i] * d[0] + m[1][i] * d[1] + m[2][i] * d[2];
        if (e[2] >= 0)
            return std::nullopt;
        const QJsonObject p = GlbItem(g, "cameras", node["camera"].toInt())["perspective"].toObject();
        const double f = 1.0 / std::tan(p["yfov"].toDouble() / 2);
        const double aspect = p["aspectRatio"].toDouble();
        const double ndcX = f / aspect * e[0] / -e[2], ndcY = f * e[1] / -e[2];
        return QPointF((ndcX + 1) / 2 * width, (1 - ndcY) / 2 * height);
    }
    return std::nullopt;
}
