// The box as a binary glTF file, read back by the format's rules: the
// container's chunks and padding, accessors that stay inside their buffer
// and state true bounds, triangles that face out, the sizes in metres, each
// picture embedded once as the right kind, and the slot rules of the render.
#include "document/BoxDocument.h"
#include "formats/PictureWriter.h"
#include "render/GlbFile.h"
#include "render/ModelExport.h"
#include "render/ProductMesh.h"
#include "render/ViewCamera.h"
#include "support/GlbRead.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <set>

namespace {

BoxParameters Kind(int form, float radius = 0, bool book = false)
{
    BoxDocument model;
    model.ResetProject();
    model.SetForm(form);
    BoxParameters p = model.Params;
    p.Shape.EdgeRadius = radius;
    p.Shape.BookPages = book;
    return p;
}

QImage Filled(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGBA8888);
    image.fill(colour);
    return image;
}

ModelPicture Jpeg(QRgb colour)
{
    const QImage image = Filled(16, 8, colour);
    return {EncodeJpeg(RgbaRows::Of(image), 90, QStringLiteral("test")), "image/jpeg"};
}

GlbParts Export(const BoxParameters& p, const ModelCovers& covers = {}, float aspect = 1)
{
    const std::optional<GlbParts> g = ReadGlb(ExportGlb(p, covers, aspect));
    EXPECT_TRUE(g.has_value());
    return g.value_or(GlbParts{});
}

// Every primitive's triangles as positions, with the vertex normals' mean.
struct Triangle {
    std::array<std::array<double, 3>, 3> Corner;
    std::array<double, 3> Normal;
};
std::vector<Triangle> Triangles(const GlbParts& g)
{
    std::vector<Triangle> out;
    for (const QJsonValue primitiveValue : GlbItem(g, "meshes", 0)["primitives"].toArray()) {
        const QJsonObject primitive = primitiveValue.toObject();
        const QJsonObject attributes = primitive["attributes"].toObject();
        const std::vector<double> position = AccessorValues(g, attributes["POSITION"].toInt());
        const std::vector<double> normal = AccessorValues(g, attributes["NORMAL"].toInt());
        const std::vector<double> index = AccessorValues(g, primitive["indices"].toInt());
        for (std::size_t i = 0; i + 2 < index.size(); i += 3) {
            Triangle t{};
            for (std::size_t k = 0; k < 3; ++k) {
                const auto v = static_cast<std::size_t>(index[i + k]);
                for (std::size_t c = 0; c < 3; ++c) {
                    t.Corner[k][c] = position[3 * v + c];
                    t.Normal[c] += normal[3 * v + c];
                }
            }
            out.push_back(t);
        }
    }
    return out;
}

const std::vector<BoxParameters>& EveryKindAndShape()
{
    static const std::vector<BoxParameters> all = [] {
        std::vector<BoxParameters> v;
        for (int form = 0; form < FormCount; ++form) {
            v.push_back(Kind(form));
            v.push_back(Kind(form, 40));
        }
        v.push_back(Kind(8, 0, true));
        v.push_back(Kind(9, 20, true));
        return v;
    }();
    return all;
}

TEST(ModelExportTest, ContainerChunksArePaddedToFourBytes)
{
    const QByteArray file = ExportGlb(Kind(0), {}, 1.5f);
    const std::optional<GlbParts> g = ReadGlb(file);
    ASSERT_TRUE(g);
    EXPECT_EQ(g->Magic, GlbMagic);
    EXPECT_EQ(g->Version, 2u);
    EXPECT_EQ(g->Length, static_cast<std::uint32_t>(file.size()));
    EXPECT_EQ(g->JsonType, GlbJsonChunk);
    EXPECT_EQ(g->BinType, GlbBinChunk);
    EXPECT_EQ(g->JsonLength % 4, 0u);
    EXPECT_EQ(g->BinLength % 4, 0u);
    EXPECT_EQ(g->BinStart % 4, 0);
    EXPECT_EQ(g->BinStart + g->BinLength, file.size());
    // JSON pads with spaces, and the JSON parses whole; the buffer fills the
    // binary chunk up to its padding.
    EXPECT_FALSE(g->Json.isEmpty());
    EXPECT_LT(g->JsonBytes.size() - g->JsonBytes.trimmed().size(), 4);
    const qint64 buffer = g->Json["buffers"].toArray()[0].toObject()["byteLength"].toInteger();
    EXPECT_LE(buffer, qint64{g->BinLength});
    EXPECT_GT(buffer, qint64{g->BinLength} - 4);

    // The packer on its own: odd sizes are padded, an empty binary chunk left out.
    const QByteArray bare = PackGlb("{}", {});
    EXPECT_EQ(bare.size(), 12 + 8 + 4);
    EXPECT_EQ(bare.mid(20), QByteArray("{}  "));
    const QByteArray odd = PackGlb("{\"a\":1}", QByteArray("\x01\x02\x03", 3));
    EXPECT_EQ(odd.size() % 4, 0);
    EXPECT_EQ(odd.right(4), QByteArray("\x01\x02\x03\x00", 4));
}

TEST(ModelExportTest, AccessorsStayInTheirViewsAndStateTheirBounds)
{
    for (const BoxParameters& p : EveryKindAndShape()) {
        const GlbParts g = Export(p);
        const QJsonArray views = g.Json["bufferViews"].toArray();
        for (const QJsonValue v : views) {
            const QJsonObject view = v.toObject();
            EXPECT_EQ(view["byteOffset"].toInteger() % 4, 0);
            EXPECT_LE(view["byteOffset"].toInteger() + view["byteLength"].toInteger(), g.Bin.size());
        }
        for (const QJsonValue primitiveValue : GlbItem(g, "meshes", 0)["primitives"].toArray()) {
            const QJsonObject primitive = primitiveValue.toObject();
            const QJsonObject attributes = primitive["attributes"].toObject();
            const int position = attributes["POSITION"].toInt();
            const QJsonObject accessor = GlbItem(g, "accessors", position);
            const std::vector<double> values = AccessorValues(g, position);
            ASSERT_EQ(static_cast<qint64>(values.size()), accessor["count"].toInteger() * 3);
            for (int c = 0; c < 3; ++c) {
                double lo = 1e30, hi = -1e30;
                for (std::size_t i = static_cast<std::size_t>(c); i < values.size(); i += 3) {
                    lo = std::min(lo, values[i]);
                    hi = std::max(hi, values[i]);
                }
                EXPECT_EQ(accessor["min"].toArray()[c].toDouble(), lo);
                EXPECT_EQ(accessor["max"].toArray()[c].toDouble(), hi);
            }
            for (const QString& name : attributes.keys()) {
                const QJsonObject a = GlbItem(g, "accessors", attributes[name].toInt());
                const QJsonObject view = GlbItem(g, "bufferViews", a["bufferView"].toInt());
                EXPECT_LE(a["count"].toInteger() * ComponentsOf(a["type"].toString()) * 4, view["byteLength"].toInteger());
                EXPECT_EQ(a["count"].toInteger(), accessor["count"].toInteger()) << name.toStdString();
            }
            const std::vector<double> normals = AccessorValues(g, attributes["NORMAL"].toInt());
            for (std::size_t i = 0; i + 2 < normals.size(); i += 3)
                EXPECT_NEAR(std::hypot(normals[i], normals[i + 1], normals[i + 2]), 1.0, 1e-5);
            const std::vector<double> indices = AccessorValues(g, primitive["indices"].toInt());
            EXPECT_EQ(indices.size() % 3, 0u);
            for (double i : indices)
                EXPECT_LT(i, accessor["count"].toDouble());
        }
    }
}

TEST(ModelExportTest, TrianglesFaceTheirNormalsAndHaveArea)
{
    for (const BoxParameters& p : EveryKindAndShape()) {
        const std::vector<Triangle> triangles = Triangles(Export(p));
        ASSERT_FALSE(triangles.empty());
        for (const Triangle& t : triangles) {
            double u[3], w[3];
            for (int c = 0; c < 3; ++c) {
                u[c] = t.Corner[1][c] - t.Corner[0][c];
                w[c] = t.Corner[2][c] - t.Corner[0][c];
            }
            const double n[3] = {u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            EXPECT_GT(n[0] * t.Normal[0] + n[1] * t.Normal[1] + n[2] * t.Normal[2], 0.0);
        }
    }
}

TEST(ModelExportTest, SizesAreInMetresAtATenthOfASceneUnit)
{
    const BoxParameters p = Kind(0);
    const std::vector<Triangle> triangles = Triangles(Export(p));
    double hi[3] = {-1, -1, -1};
    for (const Triangle& t : triangles)
        for (const auto& c : t.Corner)
            for (int i = 0; i < 3; ++i)
                hi[i] = std::max(hi[i], c[static_cast<std::size_t>(i)]);
    // The default box's labels read 70, 100 and 30: 14 x 20 x 6 cm.
    EXPECT_NEAR(hi[0], 0.07, 2e-4);
    EXPECT_NEAR(hi[1], 0.10, 2e-4);
    EXPECT_NEAR(hi[2], 0.03, 2e-4);
    EXPECT_NEAR(hi[0], p.HalfWidth * 0.1, 1e-6);
}

TEST(ModelExportTest, EachPictureIsEmbeddedOnceAsItsOwnBytes)
{
    ModelCovers covers;
    covers.Slots[SlotIndex::FrontBack] = Jpeg(qRgb(200, 30, 30));
    covers.Slots[SlotIndex::TopBottom] = PngModelPicture(Filled(8, 8, qRgb(30, 30, 200)));
    const GlbParts g = Export(Kind(0), covers);
    const QJsonArray images = g.Json["images"].toArray();
    // Front and back share one picture; the side has none and shows its placeholder's colour.
    ASSERT_EQ(images.size(), 2);
    std::set<QString> mimes;
    for (const QJsonValue i : images) {
        const QJsonObject image = i.toObject();
        const QJsonObject view = GlbItem(g, "bufferViews", image["bufferView"].toInt());
        const QByteArray bytes = g.Bin.mid(view["byteOffset"].toInteger(), view["byteLength"].toInteger());
        const QString mime = image["mimeType"].toString();
        mimes.insert(mime);
        EXPECT_EQ(bytes, mime == QLatin1String("image/jpeg") ? covers.Slots[0]->Bytes : covers.Slots[2]->Bytes);
    }
    EXPECT_EQ(mimes, (std::set<QString>{QStringLiteral("image/jpeg"), QStringLiteral("image/png")}));
    int untextured = 0;
    for (const QJsonValue m : g.Json["materials"].toArray()) {
        const QJsonObject pbr = m.toObject()["pbrMetallicRoughness"].toObject();
        if (!pbr.contains(QLatin1String("baseColorTexture"))) {
            ++untextured;
            EXPECT_EQ(pbr["baseColorFactor"].toArray().size(), 4);
        }
    }
    EXPECT_EQ(untextured, 1);

    // A slot handed no bytes is no picture: its placeholder's colour, not an empty image.
    covers.Slots[SlotIndex::TopBottom] = ModelPicture{};
    const GlbParts empty = Export(Kind(0), covers);
    EXPECT_EQ(empty.Json["images"].toArray().size(), 1);
    EXPECT_EQ(empty.Json["materials"].toArray().size(), 3);
}

// The picture coordinate at the corner of a side nearest to a point.
std::array<double, 2> UvNear(const GlbParts& g, int material, std::array<double, 3> point)
{
    for (const QJsonValue primitiveValue : GlbItem(g, "meshes", 0)["primitives"].toArray()) {
        const QJsonObject primitive = primitiveValue.toObject();
        if (primitive["material"].toInt() != material)
            continue;
        const QJsonObject attributes = primitive["attributes"].toObject();
        const std::vector<double> pos = AccessorValues(g, attributes["POSITION"].toInt());
        const std::vector<double> uv = AccessorValues(g, attributes["TEXCOORD_0"].toInt());
        std::size_t best = 0;
        double bestDistance = 1e30;
        for (std::size_t v = 0; v * 3 < pos.size(); ++v) {
            const double d = std::hypot(pos[3 * v] - point[0], pos[3 * v + 1] - point[1], pos[3 * v + 2] - point[2]);
            if (d < bestDistance) {
                bestDistance = d;
                best = v;
            }
        }
        return {uv[2 * best], uv[2 * best + 1]};
    }
    ADD_FAILURE() << "no primitive with material " << material;
    return {};
}

int MaterialNamed(const GlbParts& g, const QString& name)
{
    const QJsonArray materials = g.Json["materials"].toArray();
    for (int i = 0; i < materials.size(); ++i)
        if (materials[i].toObject()["name"].toString() == name)
            return i;
    return -1;
}

TEST(ModelExportTest, PicturesLieAsTheRenderLaysThem)
{
    const BoxParameters p = Kind(0);
    const double w = p.HalfWidth * 0.1, h = p.HalfHeight * 0.1, t = p.HalfThickness * 0.1;
    ModelCovers covers;
    covers.Slots[SlotIndex::FrontBack] = Jpeg(qRgb(200, 30, 30));
    covers.Slots[SlotIndex::TopBottom] = Jpeg(qRgb(30, 200, 30));
    const GlbParts pair = Export(p, covers);
    // The front's top left corner shows the picture's top left: glTF's v runs down.
    const std::array<double, 2> frontTopLeft = UvNear(pair, MaterialNamed(pair, "front"), {-w, h, t});
    EXPECT_NEAR(frontTopLeft[0], 0.0, 1e-6);
    EXPECT_NEAR(frontTopLeft[1], 0.0, 1e-6);
    const std::array<double, 2> bottomCorner = UvNear(pair, MaterialNamed(pair, "top"), {-w, -h, t});

    // The bottom's own picture is turned half round against its pair's.
    covers.Slots[SlotIndex::Bottom] = Jpeg(qRgb(30, 30, 200));
    const GlbParts own = Export(p, covers);
    const std::array<double, 2> ownCorner = UvNear(own, MaterialNamed(own, "bottom"), {-w, -h, t});
    EXPECT_NEAR(ownCorner[0], 1.0 - bottomCorner[0], 1e-6);
    EXPECT_NEAR(ownCorner[1], 1.0 - bottomCorner[1], 1e-6);
    EXPECT_EQ(own.Json["images"].toArray().size(), 3);
}

TEST(ModelExportTest, BookPagesCarryTheirPaperAndPlainParts)
{
    const GlbParts g = Export(Kind(8, 0, true));
    EXPECT_GE(MaterialNamed(g, "page edges"), 0);
    EXPECT_GE(MaterialNamed(g, "plain"), 0);
    const QJsonObject paper = GlbItem(g, "materials", MaterialNamed(g, "page edges"));
    const int texture = paper["pbrMetallicRoughness"].toObject()["baseColorTexture"].toObject()["index"].toInt();
    const int image = GlbItem(g, "textures", texture)["source"].toInt();
    EXPECT_EQ(GlbItem(g, "images", image)["mimeType"].toString(), QStringLiteral("image/png"));
}

TEST(ModelExportTest, OnlyPlainUprightJpegsAreKeptAsTheyAre)
{
    const QByteArray plain = Jpeg(qRgb(1, 2, 3)).Bytes;
    EXPECT_TRUE(IsPlainJpeg(plain));
    EXPECT_FALSE(IsPlainJpeg(QByteArray("\x89PNG\r\n\x1a\n", 8)));
    EXPECT_FALSE(IsPlainJpeg(plain.left(20))); // cut before its frame
    // An Exif turn (orientation 6) that viewers would apply and the render does not.
    QByteArray exif("\xFF\xE1\x00\x22"
                    "Exif\x00\x00"
                    "MM\x00\x2A\x00\x00\x00\x08"
                    "\x00\x01"
                    "\x01\x12\x00\x03\x00\x00\x00\x01\x00\x06\x00\x00"
                    "\x00\x00\x00\x00",
                    0x24);
    QByteArray turned = plain;
    turned.insert(2, exif);
    EXPECT_FALSE(IsPlainJpeg(turned));
    exif[29] = 1; // upright
    QByteArray upright = plain;
    upright.insert(2, exif);
    EXPECT_TRUE(IsPlainJpeg(upright));
    // An arithmetic-coded frame (SOF9) is not one every viewer reads.
    QByteArray arithmetic = plain;
    const qsizetype sof = arithmetic.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    arithmetic[sof + 1] = static_cast<char>(0xC9);
    EXPECT_FALSE(IsPlainJpeg(arithmetic));
}

TEST(ModelExportTest, CameraFollowsTheViewAndTheAspect)
{
    const BoxParameters p = Kind(0);
    const GlbParts g = Export(p, {}, 16.0f / 9.0f);
    const QJsonObject perspective = GlbItem(g, "cameras", 0)["perspective"].toObject();
    EXPECT_NEAR(perspective["yfov"].toDouble(), M_PI / 4, 1e-6);
    EXPECT_NEAR(perspective["aspectRatio"].toDouble(), 16.0 / 9.0, 1e-6);
    EXPECT_NEAR(perspective["znear"].toDouble(), 0.01, 1e-7);
    // The box's centre lies ahead of the eye by the depth, in metres.
    const ViewCamera camera = CameraOfView(p, 1);
    const double distance = std::hypot(camera.Position.x, camera.Position.y, camera.Position.z);
    EXPECT_GT(distance, 0);
    const QJsonArray t = GlbItem(g, "nodes", 1)["translation"].toArray();
    EXPECT_NEAR(std::hypot(t[0].toDouble(), t[1].toDouble(), t[2].toDouble()), distance * 0.1, 1e-5);
    // A turn of the box is the camera going round it the other way.
    BoxParameters turned = p;
    turned.SideAngle = p.SideAngle + 90;
    const ViewCamera other = CameraOfView(turned, 1);
    EXPECT_NEAR(std::hypot(other.Position.x, other.Position.y, other.Position.z), distance, 1e-4);
    EXPECT_GT(std::abs(other.Position.x - camera.Position.x) + std::abs(other.Position.z - camera.Position.z), 0.1);
}

} // namespace
