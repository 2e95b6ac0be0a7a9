// "render --export-model": the model's camera sees the box where the
// picture shows it, the picture stays what it was, and the model is guarded
// and written as every other output is.
#include "cli/CliRunner.h"
#include "formats/PictureWriter.h"
#include "support/GlbRead.h"
#include "support/TempFiles.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

class ModelExportCli : public TempFiles {
public:
    CliResult Render(const QStringList& args) { return RunCubiform(QStringList{QStringLiteral("render")} + args, dir.path()); }

    QString Cover(const QString& name, QRgb colour)
    {
        QImage image(40, 30, QImage::Format_RGBA8888);
        image.fill(colour);
        const QString path = Path(name);
        Write(path, EncodeJpeg(RgbaRows::Of(image), 90, path));
        return path;
    }
};

// The box's eight corners (in the model's metres) as the file's camera
// shows them, against the lit pixels of the picture over black: the
// outermost of each must agree within a pixel.
void ExpectCameraSeesThePicture(const QStringList& view, int width, int height, ModelExportCli& test, bool* inside)
{
    const QString picture = test.Path(QStringLiteral("shot.png")), model = test.Path(QStringLiteral("box.glb"));
    const QStringList args = view + QStringList{QStringLiteral("--fog"), QStringLiteral("0"), QStringLiteral("--background"),
                                                QStringLiteral("#000000"), QStringLiteral("--size"),
                                                QStringLiteral("%1x%2").arg(width).arg(height), QStringLiteral("-o"),
                                                picture, QStringLiteral("--export-model"), model};
    const CliResult r = test.Render(args);
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const std::optional<GlbParts> g = ReadGlb(TempFiles::Read(model));
    ASSERT_TRUE(g);

    double low[3] = {1e9, 1e9, 1e9}, high[3] = {-1e9, -1e9, -1e9};
    for (const QJsonValue p : GlbItem(*g, "meshes", 0)["primitives"].toArray()) {
        const QJsonObject position = GlbItem(*g, "accessors", p.toObject()["attributes"].toObject()["POSITION"].toInt());
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], position["min"].toArray()[c].toDouble());
            high[c] = std::max(high[c], position["max"].toArray()[c].toDouble());
        }
    }
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    for (int corner = 0; corner < 8; ++corner) {
        const std::optional<QPointF> at = ProjectWithGlbCamera(
            *g, {corner & 1 ? high[0] : low[0], corner & 2 ? high[1] : low[1], corner & 4 ? high[2] : low[2]}, width,
            height);
        ASSERT_TRUE(at);
        left = std::min(left, at->x());
        right = std::max(right, at->x());
        top = std::min(top, at->y());
        bottom = std::max(bottom, at->y());
    }

    const QImage shot = QImage(picture).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(width, height));
    int litLeft = width, litRight = -1, litTop = height, litBottom = -1;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const QRgb c = shot.pixel(x, y);
            if (qRed(c) + qGreen(c) + qBlue(c) > 12) {
                litLeft = std::min(litLeft, x);
                litRight = std::max(litRight, x);
                litTop = std::min(litTop, y);
                litBottom = std::max(litBottom, y);
            }
        }
    ASSERT_GE(litRight, 0) << "nothing drawn";
    // The outer side of the outermost pixel drawn lies within a pixel of the
    // outermost corner (a pixel is drawn when its centre is inside, so a sharp
    // corner may end past it). A box cut off by the picture's edge reaches
    // that edge (the cases that are cut off are chosen so that the other
    // sides' outermost corners are still in the picture).
    const std::string what = view.join(' ').toStdString();
    const auto expectEdge = [&](int outer, double projected, int size) {
        EXPECT_NEAR(outer, std::clamp(projected, 0.0, double(size)), 1.0) << what;
    };
    expectEdge(litLeft, left, width);
    expectEdge(litRight + 1, right, width);
    expectEdge(litTop, top, height);
    expectEdge(litBottom + 1, bottom, height);
    *inside = left >= 0 && right <= width && top >= 0 && bottom <= height;
}

TEST_F(ModelExportCli, TheModelsCameraSeesTheBoxWhereThePictureShowsIt)
{
    const struct {
        QStringList View;
        int Width, Height;
        bool Whole; // the box inside the picture on every side
    } cases[] = {
        {{}, 300, 300, true},
        {{QStringLiteral("--form"), QStringLiteral("5")}, 400, 240, true},
        {{QStringLiteral("--form"), QStringLiteral("8"), QStringLiteral("--eye"), QStringLiteral("30"),
          QStringLiteral("--vertical"), QStringLiteral("-3"), QStringLiteral("--horizontal"), QStringLiteral("-20"),
          QStringLiteral("--depth"), QStringLiteral("45")},
         240, 360, true},
        {{QStringLiteral("--form"), QStringLiteral("2"), QStringLiteral("--side-angle"), QStringLiteral("200"),
          QStringLiteral("--tilt-angle"), QStringLiteral("25"), QStringLiteral("--turn"), QStringLiteral("40"),
          QStringLiteral("--depth"), QStringLiteral("50")},
         320, 320, true},
        {{QStringLiteral("--form"), QStringLiteral("2"), QStringLiteral("--turn"), QStringLiteral("300"),
          QStringLiteral("--tilt-angle"), QStringLiteral("300"), QStringLiteral("--depth"), QStringLiteral("40")},
         320, 200, true},
        // Near and off centre: cut off by the picture's edges.
        {{QStringLiteral("--depth"), QStringLiteral("12"), QStringLiteral("--horizontal"), QStringLiteral("60")},
         300, 200, false},
    };
    for (const auto& c : cases) {
        bool inside = false;
        ExpectCameraSeesThePicture(c.View, c.Width, c.Height, *this, &inside);
        EXPECT_EQ(inside, c.Whole) << c.View.join(' ').toStdString();
    }
}

TEST_F(ModelExportCli, ThePictureStaysAsItWasAndAModelAloneWritesNone)
{
    const QString front = Cover(QStringLiteral("front.jpg"), qRgb(180, 40, 40));
    const QStringList base{QStringLiteral("--front"), front, QStringLiteral("--size"), QStringLiteral("200x200")};
    ASSERT_EQ(Render(base + QStringList{QStringLiteral("-o"), Path(QStringLiteral("plain.png"))}).Status, 0);
    ASSERT_EQ(Render(base + QStringList{QStringLiteral("-o"), Path(QStringLiteral("with.png")), QStringLiteral("--export-model"),
                                        Path(QStringLiteral("with.glb"))})
                  .Status,
              0);
    EXPECT_EQ(Read(Path(QStringLiteral("plain.png"))), Read(Path(QStringLiteral("with.png"))));

    const CliResult alone = Render(base + QStringList{QStringLiteral("--export-model"), Path(QStringLiteral("alone.glb"))});
    ASSERT_EQ(alone.Status, 0) << alone.Err.toStdString();
    EXPECT_EQ(Read(Path(QStringLiteral("alone.glb"))), Read(Path(QStringLiteral("with.glb"))));
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("*.png")}).size(), 2);
    // The cover is in the file as its own bytes.
    EXPECT_TRUE(Read(Path(QStringLiteral("alone.glb"))).contains(Read(front)));

    // A fitted view is found by drawing, with or without a picture.
    ASSERT_EQ(Render(base + QStringList{QStringLiteral("--fit"), QStringLiteral("-o"), Path(QStringLiteral("fit.png")),
                                        QStringLiteral("--export-model"), Path(QStringLiteral("fit.glb"))})
                  .Status,
              0);
    ASSERT_EQ(Render(base + QStringList{QStringLiteral("--fit"), QStringLiteral("--export-model"), Path(QStringLiteral("fit2.glb"))})
                  .Status,
              0);
    EXPECT_EQ(Read(Path(QStringLiteral("fit.glb"))), Read(Path(QStringLiteral("fit2.glb"))));
    EXPECT_NE(Read(Path(QStringLiteral("fit.glb"))), Read(Path(QStringLiteral("alone.glb"))));
}

TEST_F(ModelExportCli, TheModelIsGuardedAsEveryOutputIs)
{
    const QString front = Cover(QStringLiteral("front.glb.jpg"), qRgb(40, 180, 40));
    const QByteArray before = Read(front);
    const QString link = Path(QStringLiteral("cover.glb"));
    ASSERT_TRUE(QFile::link(front, link));
    // Written over the cover through a link: refused, the cover untouched.
    CliResult r = Render({QStringLiteral("--front"), front, QStringLiteral("--export-model"), link});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QLatin1String("front cover"))) << r.Err.toStdString();
    EXPECT_EQ(Read(front), before);

    r = Render({QStringLiteral("--export-model"), Path(QStringLiteral("box.obj"))});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QLatin1String(".glb"))) << r.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("box.obj"))));

    r = RunCubiform({QStringLiteral("turntable"), QStringLiteral("--frames"), QStringLiteral("2"), QStringLiteral("-o"),
                     Path(QStringLiteral("spin.gif")), QStringLiteral("--export-model"), Path(QStringLiteral("spin.glb"))});
    EXPECT_EQ(r.Status, 2);

    // A damaged cover: a clear error and no model, not half a file.
    const QString damaged = Path(QStringLiteral("damaged.jpg"));
    Write(damaged, before.left(before.size() / 3));
    r = Render({QStringLiteral("--front"), damaged, QStringLiteral("--export-model"), Path(QStringLiteral("d.glb"))});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QLatin1String("damaged.jpg"))) << r.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(Path(QStringLiteral("d.glb"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral(".part")).size(), 0);
}

} // namespace
