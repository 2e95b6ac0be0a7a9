// The ray tracer beyond a single render: stored in the project, a batch
// row's columns, every turntable frame and a fitted view, each making the
// same bytes as "render --engine raytrace" with the same seed and passes.
#include "cli/CliRunner.h"
#include "support/TempFiles.h"

#include <QDir>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

const QString Small = QStringLiteral("40x32");

struct RayEverywhereTest : TempFiles {
    CliResult Run(const QStringList& arguments) { return RunCubiform(arguments, dir.path()); }

    // "render" with the small size; the status is checked here.
    void Render(const QStringList& arguments)
    {
        const CliResult r = Run(QStringList{QStringLiteral("render"), QStringLiteral("--size"), Small} + arguments);
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    }

    QJsonObject Info(const QString& project)
    {
        const CliResult r = Run({QStringLiteral("info"), Path(project)});
        EXPECT_EQ(r.Status, 0) << r.Err.toStdString();
        return QJsonDocument::fromJson(r.Out.toUtf8()).object();
    }

    QByteArray Bytes(const QString& name) { return Read(Path(name)); }
};

QStringList Words(const char* text)
{
    return QString::fromLatin1(text).split(QLatin1Char(' '));
}

} // namespace

TEST_F(RayEverywhereTest, AProjectKeepsItsEngineAndDrawsAsTheOptionsWould)
{
    Render(Words("--form 2 --engine raytrace --passes 2 --gloss 40 --save-project traced.pcf"));
    const QJsonObject render = Info(QStringLiteral("traced.pcf"))[QStringLiteral("render")].toObject();
    EXPECT_EQ(render[QStringLiteral("engine")].toString(), QStringLiteral("raytrace"));
    EXPECT_EQ(render[QStringLiteral("passes")].toInt(), 2);
    EXPECT_EQ(render[QStringLiteral("gloss")].toInt(), 40);

    Render(Words("traced.pcf --seed 7 -o stored.png"));
    Render(Words("--form 2 --engine raytrace --passes 2 --gloss 40 --seed 7 -o given.png"));
    EXPECT_EQ(Bytes(QStringLiteral("stored.png")), Bytes(QStringLiteral("given.png")));

    // The options still win over the project's, and its raster is the classic picture.
    Render(Words("traced.pcf --engine raster -o raster.png"));
    Render(Words("--form 2 -o classic.png"));
    EXPECT_EQ(Bytes(QStringLiteral("raster.png")), Bytes(QStringLiteral("classic.png")));

    // A project saved without the ray tracer has no engine block: the
    // traced one is the same bytes with the block after them.
    Render(Words("--form 2 --save-project plain.pcf"));
    EXPECT_TRUE(Bytes(QStringLiteral("traced.pcf")).startsWith(Bytes(QStringLiteral("plain.pcf"))));
    EXPECT_GT(Bytes(QStringLiteral("traced.pcf")).size(), Bytes(QStringLiteral("plain.pcf")).size());
    EXPECT_EQ(Info(QStringLiteral("plain.pcf"))[QStringLiteral("render")].toObject()[QStringLiteral("engine")].toString(),
              QStringLiteral("raster"));

    // Ray options on a project the raster draws are refused, with nothing written.
    const CliResult refused = Run(QStringList{QStringLiteral("render")} + Words("plain.pcf --passes 4 -o no.png"));
    EXPECT_EQ(refused.Status, 2) << refused.Err.toStdString();
    EXPECT_TRUE(refused.Err.contains(QStringLiteral("--engine raytrace"))) << refused.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("no.png"))));
}

namespace {

// Where a picture's box is: the pixels the box covers whole (a shadow is
// never quite opaque).
QRect Opaque(const QImage& picture)
{
    QRect box;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (qAlpha(picture.pixel(x, y)) >= 254)
                box |= QRect(x, y, 1, 1);
    return box;
}

void ExpectNear(const QRect& a, const QRect& b, int pixels)
{
    EXPECT_LE(std::abs(a.left() - b.left()), pixels);
    EXPECT_LE(std::abs(a.right() - b.right()), pixels);
    EXPECT_LE(std::abs(a.top() - b.top()), pixels);
    EXPECT_LE(std::abs(a.bottom() - b.bottom()), pixels);
}

} // namespace

TEST_F(RayEverywhereTest, AFittedViewIsTheRastersFit)
{
    const char* view = "--form 1 --depth 10 --transparent";
    Render(Words(view) + Words("--fit 12 -o raster.png"));
    Render(Words(view) + Words("--fit 12 --engine raytrace --passes 2 -o ray.png"));
    Render(Words(view) + Words("--engine raytrace --passes 2 -o unfitted.png"));
    const QRect raster = Opaque(QImage(Path(QStringLiteral("raster.png"))));
    const QRect ray = Opaque(QImage(Path(QStringLiteral("ray.png"))));
    ASSERT_FALSE(raster.isEmpty());
    ASSERT_FALSE(ray.isEmpty());
    ExpectNear(ray, raster, 1); // the outline where the raster's lies
    // And the fit did move it: the unfitted box reaches out of the picture.
    EXPECT_NE(Opaque(QImage(Path(QStringLiteral("unfitted.png")))), ray);
}

TEST_F(RayEverywhereTest, ABatchRowWithTheEngineColumnsIsRendersPicture)
{
    Render(Words("--form 3 --save-project t.pcf"));
    Render(Words("--form 3 --engine raytrace --passes 3 --save-project traced.pcf"));
    QDir().mkpath(Path(QStringLiteral("out")));
    Write(Path(QStringLiteral("list.csv")),
          "project,engine,passes,seed,gloss,size,output\n"
          "t.pcf,raytrace,2,5,60,40x32,out/a.png\n"
          "t.pcf,raster,,,,40x32,out/b.png\n"
          "traced.pcf,,,9,,40x32,out/c.png\n"
          "t.pcf,,4,,,40x32,out/d.png\n");
    Write(Path(QStringLiteral("list.ndjson")),
          "{\"project\": \"t.pcf\", \"engine\": \"raytrace\", \"passes\": 2, \"seed\": 5, \"gloss\": 60, "
          "\"size\": \"40x32\", \"output\": \"out/e.png\"}\n");
    const CliResult csv = Run({QStringLiteral("batch"), QStringLiteral("list.csv"), QStringLiteral("-j"), QStringLiteral("2")});
    EXPECT_EQ(csv.Status, 1) << csv.Err.toStdString(); // row 5: passes on a raster project
    EXPECT_TRUE(csv.Err.contains(QStringLiteral("line 5"))) << csv.Err.toStdString();
    const CliResult json = Run({QStringLiteral("batch"), QStringLiteral("list.ndjson")});
    ASSERT_EQ(json.Status, 0) << json.Err.toStdString();

    Render(Words("t.pcf --engine raytrace --passes 2 --seed 5 --gloss 60 -o a.png"));
    Render(Words("t.pcf -o b.png"));
    Render(Words("traced.pcf --seed 9 -o c.png"));
    EXPECT_EQ(Bytes(QStringLiteral("out/a.png")), Bytes(QStringLiteral("a.png")));
    EXPECT_EQ(Bytes(QStringLiteral("out/e.png")), Bytes(QStringLiteral("a.png")));
    EXPECT_EQ(Bytes(QStringLiteral("out/b.png")), Bytes(QStringLiteral("b.png")));
    EXPECT_EQ(Bytes(QStringLiteral("out/c.png")), Bytes(QStringLiteral("c.png")));
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out/d.png"))));
}

TEST_F(RayEverywhereTest, EveryTurntableFrameIsRayTracedAndATurnIsMadeAgainByteForByte)
{
    const QStringList turn = Words("turntable --form 2 --size 40x32 --engine raytrace --passes 1 --seed 3 --frames 3");
    CliResult r = Run(turn + QStringList{QStringLiteral("-o"), QStringLiteral("a/spin-%03d.png")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    r = Run(turn + QStringList{QStringLiteral("-o"), QStringLiteral("b/spin-%03d.png")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    for (const char* name : {"spin-000.png", "spin-001.png", "spin-002.png"})
        EXPECT_EQ(Bytes(QStringLiteral("a/") + QLatin1String(name)), Bytes(QStringLiteral("b/") + QLatin1String(name)))
            << name;
    EXPECT_NE(Bytes(QStringLiteral("a/spin-000.png")), Bytes(QStringLiteral("a/spin-001.png")));

    // Frame 0 is render's picture of the same view.
    Render(Words("--form 2 --engine raytrace --passes 1 --seed 3 -o one.png"));
    EXPECT_EQ(Bytes(QStringLiteral("a/spin-000.png")), Bytes(QStringLiteral("one.png")));
    Render(Words("--form 2 -o raster.png"));
    EXPECT_NE(Bytes(QStringLiteral("a/spin-000.png")), Bytes(QStringLiteral("raster.png")));

    // A fitted turn ray traced: one framing, every frame written.
    r = Run(turn + Words("--fit -o fitted.gif"));
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("fitted.gif"))));
}

TEST_F(RayEverywhereTest, TheDenoiserIsOnUnlessAnOptionAColumnOrTheProjectSaysOff)
{
    Render(Words("--form 2 --engine raytrace --passes 2 --save-project on.pcf"));
    Render(Words("--form 2 --engine raytrace --passes 2 --denoise off --save-project off.pcf"));
    EXPECT_EQ(Info(QStringLiteral("on.pcf"))[QStringLiteral("render")].toObject()[QStringLiteral("denoise")].toString(),
              QStringLiteral("on"));
    EXPECT_EQ(Info(QStringLiteral("off.pcf"))[QStringLiteral("render")].toObject()[QStringLiteral("denoise")].toString(),
              QStringLiteral("off"));
    // Off is a block after the bytes the project had before it.
    EXPECT_TRUE(Bytes(QStringLiteral("off.pcf")).startsWith(Bytes(QStringLiteral("on.pcf"))));

    Render(Words("on.pcf --seed 4 -o on.png"));
    Render(Words("off.pcf --seed 4 -o off.png"));
    Render(Words("on.pcf --seed 4 --denoise off -o given.png"));
    EXPECT_NE(Bytes(QStringLiteral("on.png")), Bytes(QStringLiteral("off.png")));
    EXPECT_EQ(Bytes(QStringLiteral("off.png")), Bytes(QStringLiteral("given.png")));

    Write(Path(QStringLiteral("list.ndjson")),
          "{\"project\": \"on.pcf\", \"denoise\": \"off\", \"seed\": 4, \"size\": \"40x32\", \"output\": \"row.png\"}\n");
    const CliResult batch = Run({QStringLiteral("batch"), QStringLiteral("list.ndjson")});
    ASSERT_EQ(batch.Status, 0) << batch.Err.toStdString();
    EXPECT_EQ(Bytes(QStringLiteral("row.png")), Bytes(QStringLiteral("off.png")));

    // The raster has no grain: a project with the denoiser off draws the classic bytes.
    Render(Words("off.pcf --engine raster -o raster.png"));
    Render(Words("--form 2 -o classic.png"));
    EXPECT_EQ(Bytes(QStringLiteral("raster.png")), Bytes(QStringLiteral("classic.png")));
}

TEST_F(RayEverywhereTest, TheApertureIsStoredAndZeroKeepsThePinholesBytes)
{
    Render(Words("--form 2 --engine raytrace --passes 2 --lens 100 --seed 4 -o pinhole.png"));
    Render(Words("--form 2 --engine raytrace --passes 2 --lens 100 --aperture 1.44 --save-project open.pcf"));
    EXPECT_EQ(Info(QStringLiteral("open.pcf"))[QStringLiteral("render")].toObject()[QStringLiteral("aperture")].toDouble(), 1.4);
    Render(Words("open.pcf --seed 4 -o open.png"));
    Render(Words("open.pcf --seed 4 --aperture 0 -o closed.png"));
    EXPECT_NE(Bytes(QStringLiteral("open.png")), Bytes(QStringLiteral("closed.png")));
    EXPECT_EQ(Bytes(QStringLiteral("closed.png")), Bytes(QStringLiteral("pinhole.png")));

    Write(Path(QStringLiteral("list.ndjson")),
          "{\"project\": \"open.pcf\", \"aperture\": 0, \"seed\": 4, \"size\": \"40x32\", \"output\": \"row.png\"}\n");
    const CliResult batch = Run({QStringLiteral("batch"), QStringLiteral("list.ndjson")});
    ASSERT_EQ(batch.Status, 0) << batch.Err.toStdString();
    EXPECT_EQ(Bytes(QStringLiteral("row.png")), Bytes(QStringLiteral("pinhole.png")));
}
