#include "render/ModelExport.h"

#include "formats/PictureWriter.h"
#include "render/CoverImage.h"
#include "render/GlbFile.h"
#include "render/PageEdgeTexture.h"
#include "render/ProductMesh.h"
#include "render/ViewCamera.h"
#include "services/ProductInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <tuple>
#include <vector>

namespace {

// glTF's numbers for what is used here.
constexpr int ArrayBuffer = 34962, ElementArrayBuffer = 34963;
constexpr int FloatType = 5126, UnsignedShort = 5123, UnsignedInt = 5125;
constexpr int Linear = 9729, LinearMipmapLinear = 9987, ClampToEdge = 33071;

// Colours in the file are linear; the GL's are the screen's sRGB.
double LinearOf(double srgb)
{
    return srgb <= 0.04045 ? srgb / 12.92 : std::pow((srgb + 0.055) / 1.055, 2.4);
}

QJsonArray ColourFactor(double red, double green, double blue)
{
    return {LinearOf(red), LinearOf(green), LinearOf(blue), 1.0};
}

// What covers a triangle: a picture (a slot's or the page paper) or a colour.
struct Material {
    enum Kind { Cover, Placeholder, Paper, Plain } Type;
    int Slot = 0;
    float Red = 1, Green = 1, Blue = 1;
    bool operator<(const Material& o) const
    {
        return std::tie(Type, Slot, Red, Green, Blue) < std::tie(o.Type, o.Slot, o.Red, o.Green, o.Blue);
    }
    bool Textured() const { return Type == Cover || Type == Paper; }
};

struct Vertex {
    float Position[3], Normal[3], Uv[2];
    bool operator<(const Vertex& o) const { return std::memcmp(this, &o, sizeof(Vertex)) < 0; }
};

struct Primitive {
    std::vector<Vertex> Vertices;
    std::vector<std::uint32_t> Indices;
    std::map<Vertex, std::uint32_t> Seen;

    std::uint32_t Add(const Vertex& v)
    {
        const auto [it, added] = Seen.emplace(v, static_cast<std::uint32_t>(Vertices.size()));
        if (added)
            Vertices.push_back(v);
        return it->second;
    }
};

Vertex VertexOf(const MeshVertex& v, float s, float t)
{
    Vertex out{};
    out.Position[0] = v.Position.x * MetresPerSceneUnit;
    out.Position[1] = v.Position.y * MetresPerSceneUnit;
    out.Position[2] = v.Position.z * MetresPerSceneUnit;
    const double n = std::sqrt(double{v.Normal.x} * v.Normal.x + double{v.Normal.y} * v.Normal.y +
                               double{v.Normal.z} * v.Normal.z);
    const double k = n > 0 ? 1.0 / n : 0.0;
    out.Normal[0] = static_cast<float>(v.Normal.x * k);
    out.Normal[1] = static_cast<float>(v.Normal.y * k);
    out.Normal[2] = static_cast<float>(v.Normal.z * k);
    // GL's t runs up the picture from its bottom row, glTF's v down from its top.
    out.Uv[0] = s;
    out.Uv[1] = 1.0f - t;
    return out;
}

double Cross(const Vertex& a, const Vertex& b, const Vertex& c, double normalOut[3])
{
    double u[3], w[3];
    for (int i = 0; i < 3; ++i) {
        u[i] = double{b.Position[i]} - a.Position[i];
        w[i] = double{c.Position[i]} - a.Position[i];
    }
    normalOut[0] = u[1] * w[2] - u[2] * w[1];
    normalOut[1] = u[2] * w[0] - u[0] * w[2];
    normalOut[2] = u[0] * w[1] - u[1] * w[0];
    return std::sqrt(normalOut[0] * normalOut[0] + normalOut[1] * normalOut[1] + normalOut[2] * normalOut[2]);
}

class GltfBuilder {
public:
    int View(const void* data, std::size_t bytes, int target)
    {
        QJsonObject view{{"buffer", 0},
                         {"byteOffset", static_cast<qint64>(buffer_.Append(data, bytes))},
                         {"byteLength", static_cast<qint64>(bytes)}};
        if (target)
            view.insert("target", target);
        views_.append(view);
        return static_cast<int>(views_.size() - 1);
    }

    int Accessor(QJsonObject accessor)
    {
        accessors_.append(accessor);
        return static_cast<int>(accessors_.size() - 1);
    }

    // Floats, `width` to an element; with bounds, their min and max (POSITION needs them).
    int Floats(const std::vector<float>& values, int width, bool bounds)
    {
        const char* types[] = {"", "SCALAR", "VEC2", "VEC3"};
        QJsonObject accessor{{"bufferView", View(values.data(), values.size() * sizeof(float), ArrayBuffer)},
                             {"componentType", FloatType},
                             {"count", static_cast<qint64>(values.size() / static_cast<std::size_t>(width))},
                             {"type", types[width]}};
        if (bounds) {
            QJsonArray low, high;
            for (int c = 0; c < width; ++c) {
                float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
                for (std::size_t i = static_cast<std::size_t>(c); i < values.size(); i += static_cast<std::size_t>(width)) {
                    lo = std::min(lo, values[i]);
                    hi = std::max(hi, values[i]);
                }
                low.append(static_cast<double>(lo));
                high.append(static_cast<double>(hi));
            }
            accessor.insert("min", low);
            accessor.insert("max", high);
        }
        return Accessor(accessor);
    }

    int Indices(const std::vector<std::uint32_t>& indices, std::size_t vertexCount)
    {
        int view;
        int type;
        if (vertexCount <= 0xFFFF) {
            std::vector<std::uint16_t> shorts(indices.begin(), indices.end());
            view = View(shorts.data(), shorts.size() * 2, ElementArrayBuffer);
            type = UnsignedShort;
        } else {
            view = View(indices.data(), indices.size() * 4, ElementArrayBuffer);
            type = UnsignedInt;
        }
        return Accessor({{"bufferView", view},
                         {"componentType", type},
                         {"count", static_cast<qint64>(indices.size())},
                         {"type", "SCALAR"}});
    }

    int Image(const ModelPicture& picture)
    {
        images_.append(QJsonObject{{"bufferView", View(picture.Bytes.constData(), static_cast<std::size_t>(picture.Bytes.size()), 0)},
                                   {"mimeType", QString::fromLatin1(picture.MimeType)}});
        return static_cast<int>(images_.size() - 1);
    }

    QJsonArray views_, accessors_, images_;
    GlbBuffer buffer_;
};

ModelPicture PaperPicture()
{
    const RgbaPicture& paper = PageEdgePaper().Base;
    // Bottom row first, as the GL takes it; the file's top row is its last.
    return {EncodePng(RgbaRows::BottomUp(paper.Pixels.get(), paper.Width, paper.Height), false, PngOutputLevel,
                      QStringLiteral("page edges")),
            "image/png"};
}

QString SlotName(int slot)
{
    static const char* const names[SlotCount] = {"front", "side", "top", "back", "right", "bottom"};
    return QLatin1String(names[slot]);
}

} // namespace

QByteArray ExportGlb(const BoxParameters& p, const ModelCovers& given, float aspect)
{
    const ProductMesh mesh = SurfaceMeshOf(p);
    // A picture without bytes would be an image no viewer can read: the slot shows what an empty one does.
    ModelCovers covers = given;
    for (std::optional<ModelPicture>& slot : covers.Slots)
        if (slot && slot->Bytes.isEmpty())
            slot.reset();

    // Triangles gathered by what covers them, in the order they first appear.
    std::vector<Material> order;
    std::map<Material, Primitive> primitives;
    for (const MeshPart& part : mesh.Parts) {
        Material material{Material::Plain, 0, part.Red, part.Green, part.Blue};
        bool flipOwnBottom = false;
        if (part.Surface == MeshSurface::PageEdges) {
            material = {Material::Paper};
        } else if (part.Surface == MeshSurface::Cover) {
            const int own = OwnSlot(part.Side);
            const bool hasOwn = own >= 0 && covers.Slots[static_cast<std::size_t>(own)];
            const int slot = hasOwn ? own : ClassicSlot(part.Side);
            // SideTexturePoint: the bottom's own picture lies turned half round.
            flipOwnBottom = hasOwn && part.Side == BoxSide::Bottom;
            material = {covers.Slots[static_cast<std::size_t>(slot)] ? Material::Cover : Material::Placeholder, slot};
        }
        if (!material.Textured() || material.Type == Material::Paper)
            flipOwnBottom = false;
        if (material.Type != Material::Plain)
            material.Red = material.Green = material.Blue = 1;
        if (!primitives.count(material))
            order.push_back(material);
        Primitive& primitive = primitives[material];
        for (std::size_t i = 0; i + 2 < part.Triangles.size(); i += 3) {
            Vertex v[3];
            double average[3] = {0, 0, 0};
            for (int k = 0; k < 3; ++k) {
                const MeshVertex& m = part.Triangles[i + static_cast<std::size_t>(k)];
                const float s = flipOwnBottom ? 1.0f - m.S : m.S, t = flipOwnBottom ? 1.0f - m.T : m.T;
                v[k] = VertexOf(m, material.Textured() ? s : 0.0f, material.Textured() ? t : 1.0f);
                for (int c = 0; c < 3; ++c)
                    average[c] += v[k].Normal[c];
            }
            double geometric[3];
            // Nothing to draw in a triangle without area.
            if (Cross(v[0], v[1], v[2], geometric) <= 1e-12)
                continue;
            // Viewers cull back faces: the winding must agree with the normals.
            if (geometric[0] * average[0] + geometric[1] * average[1] + geometric[2] * average[2] < 0)
                std::swap(v[1], v[2]);
            const std::uint32_t a = primitive.Add(v[0]), b = primitive.Add(v[1]), c = primitive.Add(v[2]);
            if (a == b || b == c || a == c)
                continue;
            primitive.Indices.insert(primitive.Indices.end(), {a, b, c});
        }
    }

    GltfBuilder gltf;
    QJsonArray materials, textures, jsonPrimitives;
    std::map<int, int> slotTextures; // slot (or -1 for the paper) -> texture
    const auto textureOf = [&](int key, const ModelPicture& picture) {
        if (auto it = slotTextures.find(key); it != slotTextures.end())
            return it->second;
        textures.append(QJsonObject{{"sampler", 0}, {"source", gltf.Image(picture)}});
        return slotTextures[key] = static_cast<int>(textures.size() - 1);
    };
    std::optional<ModelPicture> paper;
    for (const Material& material : order) {
        const Primitive& primitive = primitives[material];
        if (primitive.Indices.empty())
            continue;
        QJsonObject pbr{{"metallicFactor", 0.0}, {"roughnessFactor", 0.7}};
        QString name;
        switch (material.Type) {
        case Material::Cover:
            name = SlotName(material.Slot);
            pbr.insert("baseColorTexture",
                       QJsonObject{{"index", textureOf(material.Slot, *covers.Slots[static_cast<std::size_t>(material.Slot)])}});
            break;
        case Material::Paper:
            name = QStringLiteral("page edges");
            if (!paper)
                paper = PaperPicture();
            pbr.insert("baseColorTexture", QJsonObject{{"index", textureOf(-1, *paper)}});
            break;
        case Material::Placeholder: {
            name = SlotName(material.Slot) + QStringLiteral(" (no picture)");
            const QRgb c = PlaceholderColor(material.Slot);
            pbr.insert("baseColorFactor", ColourFactor(qRed(c) / 255.0, qGreen(c) / 255.0, qBlue(c) / 255.0));
            break;
        }
        case Material::Plain:
            name = QStringLiteral("plain");
            pbr.insert("baseColorFactor", ColourFactor(material.Red, material.Green, material.Blue));
            break;
        }
        materials.append(QJsonObject{{"name", name}, {"pbrMetallicRoughness", pbr}});

        std::vector<float> positions, normals, uvs;
        for (const Vertex& v : primitive.Vertices) {
            positions.insert(positions.end(), v.Position, v.Position + 3);
            normals.insert(normals.end(), v.Normal, v.Normal + 3);
            uvs.insert(uvs.end(), v.Uv, v.Uv + 2);
        }
        QJsonObject attributes{{"POSITION", gltf.Floats(positions, 3, true)}, {"NORMAL", gltf.Floats(normals, 3, false)}};
        if (material.Textured())
            attributes.insert("TEXCOORD_0", gltf.Floats(uvs, 2, false));
        jsonPrimitives.append(QJsonObject{{"attributes", attributes},
                                          {"indices", gltf.Indices(primitive.Indices, primitive.Vertices.size())},
                                          {"material", static_cast<int>(materials.size() - 1)},
                                          {"mode", 4}});
    }

    const ViewCamera camera = CameraOfView(p, aspect);
    const QJsonObject cameraNode{
        {"name", "View"},
        {"camera", 0},
        {"translation", QJsonArray{camera.Position.x * MetresPerSceneUnit, camera.Position.y * MetresPerSceneUnit,
                                   camera.Position.z * MetresPerSceneUnit}},
        {"rotation", QJsonArray{camera.Rotation[0], camera.Rotation[1], camera.Rotation[2], camera.Rotation[3]}}};
    QJsonObject root{
        {"asset", QJsonObject{{"version", "2.0"},
                              {"generator", QStringLiteral("Cubiform Classic %1").arg(QLatin1String(ProductInfo::Version))}}},
        {"scene", 0},
        {"scenes", QJsonArray{QJsonObject{{"name", "Box shot"}, {"nodes", QJsonArray{0, 1}}}}},
        {"nodes", QJsonArray{QJsonObject{{"name", "Box"}, {"mesh", 0}}, cameraNode}},
        {"meshes", QJsonArray{QJsonObject{{"name", "Box"}, {"primitives", jsonPrimitives}}}},
        {"materials", materials},
        {"cameras", QJsonArray{QJsonObject{
                        {"type", "perspective"},
                        {"perspective", QJsonObject{{"yfov", camera.YFov},
                                                    {"aspectRatio", camera.Aspect},
                                                    {"znear", camera.ZNear * MetresPerSceneUnit},
                                                    {"zfar", camera.ZFar * MetresPerSceneUnit}}}}}},
        {"bufferViews", gltf.views_},
        {"accessors", gltf.accessors_},
        {"buffers", QJsonArray{QJsonObject{{"byteLength", static_cast<qint64>(gltf.buffer_.Bytes().size())}}}}};
    if (!textures.isEmpty()) {
        root.insert("textures", textures);
        root.insert("images", gltf.images_);
        root.insert("samplers", QJsonArray{QJsonObject{{"magFilter", Linear},
                                                       {"minFilter", LinearMipmapLinear},
                                                       {"wrapS", ClampToEdge},
                                                       {"wrapT", ClampToEdge}}});
    }
    return PackGlb(QJsonDocument(root).toJson(QJsonDocument::Compact), gltf.buffer_.Bytes());
}
