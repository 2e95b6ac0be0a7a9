// "cubiform render" run as a script runs it, judged by the pictures it
// writes: probes at known points, not stored baselines.
#include "cli/CliRunner.h"
#include "formats/AtomicFile.h"
#include "formats/PictureWriter.h"
#include "formats/ProjectFile.h"
#include "formats/PictureFile.h"
#include "support/GLPixels.h"
#include "support/Placeholders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cmath>

namespace {

const QRgb FrontColor = PlaceholderColors[0];

// Bounding box and centre of the pixels that differ from the corner colour.
struct Shape {
    QRect bounds;
    double cx = 0, cy = 0;
    int area = 0;
};

Shape ShapeOf(const QImage& image)
{
    const QRgb bg = image.pixel(0, 0);
    Shape s;
    int minX = image.width(), minY = image.height(), maxX = -1, maxY = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (!NearColor(image.pixel(x, y), bg, 8)) {
                ++s.area;
                s.cx += x;
                s.cy += y;
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
                minY = std::min(minY, y);
                maxY = std::max(maxY, y);
            }
    if (s.area) {
        s.cx /= s.area;
        s.cy /= s.area;
        s.bounds = QRect(QPoint(minX, minY), QPoint(maxX, maxY));
    }
    return s;
}

// Colours along the picture that are neither of two flat colours.
int MixedPixels(const QImage& image, QRgb a, QRgb b)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            if (!NearColor(c, a, 3) && !NearColor(c, b, 3))
                ++n;
        }
    return n;
}

struct RenderTest : ::testing::Test {
    QTemporaryDir dir;
    int serial = 0;

    QString Path(const QString& name) const { return dir.filePath(name); }

    QImage Render(const QStringList& args, const char* ext = "png")
    {
        const QString out = Path(QStringLiteral("r%1.%2").arg(serial++).arg(QLatin1String(ext)));
        const QImage picture = RenderPicture(args, out);
        if (QLatin1String(ext) != QLatin1String("tga"))
            return picture;
        // Qt reads no TGA here; the program's own reader does.
        RgbaPicture tga;
        int depth = 0;
        EXPECT_TRUE(ReadPictureFile(out, tga, &depth));
        const QImage upright = UprightImage(tga);
        return depth == 32 ? upright : upright.convertToFormat(QImage::Format_RGB32);
    }

    // Front-view kind, small and quick.
    QImage Front(const QStringList& more = {})
    {
        return Render(OverriddenBy({QStringLiteral("--form"), QStringLiteral("2"), QStringLiteral("--size"),
                                    QStringLiteral("96x96")},
                                   more));
    }

    QString Project(const ProjectData& data, const char* name = "p.pcf")
    {
        const QString path = Path(QString::fromUtf8(name));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(EncodeProject(data));
        return path;
    }

    // Only the files the test wrote itself are in the folder.
    QStringList Files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }
};

TEST_F(RenderTest, NewProjectDefaultsAndTheBackgroundAndSizeOptions)
{
    const QImage plain = Render({});
    EXPECT_EQ(plain.size(), QSize(300, 300)); // the "Medium" class
    EXPECT_TRUE(NearColor(plain.pixel(0, 0), qRgb(255, 255, 255)));

    const QImage coloured = Front({QStringLiteral("--background"), QStringLiteral("#2050C0"),
                                   QStringLiteral("--size"), QStringLiteral("120x80")});
    EXPECT_EQ(coloured.size(), QSize(120, 80));
    for (const QPoint p : {QPoint(0, 0), QPoint(119, 0), QPoint(0, 79), QPoint(119, 79)})
        EXPECT_TRUE(NearColor(coloured.pixel(p), qRgb(0x20, 0x50, 0xC0))) << ColorText{coloured.pixel(p)};
    EXPECT_TRUE(NearColor(coloured.pixel(60, 40), FrontColor)) << ColorText{coloured.pixel(60, 40)};
}

TEST_F(RenderTest, EveryViewOptionMovesThePicture)
{
    const Shape base = ShapeOf(Front());
    ASSERT_GT(base.area, 100);
    const auto with = [&](const char* option, const char* value) {
        return ShapeOf(Front({QString::fromUtf8(option), QString::fromUtf8(value)}));
    };
    EXPECT_GT(with("--horizontal", "60").cx, base.cx + 5);
    EXPECT_LT(with("--vertical", "10").cy, base.cy - 5); // up is towards row 0
    EXPECT_LT(with("--depth", "60").area, base.area / 2);
    EXPECT_GT(with("--width", "100").bounds.width(), base.bounds.width() + 10);
    EXPECT_LT(with("--height", "40").bounds.height(), base.bounds.height() - 10);
    EXPECT_GT(with("--thickness", "100").area, base.area);
    const Shape turned = with("--turn", "900"); // a quarter turn: the tall box lies down
    EXPECT_GT(turned.bounds.width(), turned.bounds.height());
    EXPECT_NE(with("--eye", "40").cy, base.cy);
    EXPECT_NE(with("--side-angle", "80").bounds, base.bounds);
    EXPECT_NE(with("--tilt-angle", "40").bounds, base.bounds);
    EXPECT_NE(with("--form", "CD jewel box").bounds, base.bounds);

    // Fog darkens the box but never the background.
    const QImage clear = Front(), dark = Front({QStringLiteral("--fog"), QStringLiteral("Dark")});
    EXPECT_LT(Brightness(dark.pixel(48, 48)), Brightness(clear.pixel(48, 48)) - 30);
    EXPECT_EQ(dark.pixel(0, 0), clear.pixel(0, 0));
}

TEST_F(RenderTest, CoverImagesDressTheirFaces)
{
    QImage blue(40, 60, QImage::Format_RGB888);
    blue.fill(qRgb(20, 40, 220));
    ASSERT_TRUE(blue.save(Path("front.bmp"), "BMP"));
    QImage green(40, 60, QImage::Format_RGBA8888);
    green.fill(qRgb(30, 200, 40));
    WriteFileAtomically(Path("top.jpg"), EncodeJpeg(RgbaRows::Of(green), 95, Path("top.jpg")));

    const QImage shot = Front({QStringLiteral("--front"), Path("front.bmp")});
    EXPECT_TRUE(NearColor(shot.pixel(48, 48), qRgb(20, 40, 220), 3)) << ColorText{shot.pixel(48, 48)};

    // A banner far flatter than the preview still makes a thumbnail (of one row).
    QImage banner(3000, 10, QImage::Format_RGB888);
    banner.fill(qRgb(200, 30, 30));
    ASSERT_TRUE(banner.save(Path("banner.bmp"), "BMP"));
    const QImage flat = Front({QStringLiteral("--front"), Path("banner.bmp")});
    EXPECT_TRUE(NearColor(flat.pixel(48, 48), qRgb(200, 30, 30), 3)) << ColorText{flat.pixel(48, 48)};

    // From a project: the top shows from the first kind's raised eye.
    ProjectData data;
    data.TopBottom = QStringLiteral("top.jpg"); // beside the project
    data.ImageWidth = data.ImageHeight = 120;
    const QImage fromProject = Render({Project(data)});
    EXPECT_EQ(fromProject.size(), QSize(120, 120));
    int greenish = 0;
    for (int y = 0; y < 120; ++y)
        for (int x = 0; x < 120; ++x)
            greenish += NearColor(fromProject.pixel(x, y), qRgb(30, 200, 40), 12);
    EXPECT_GT(greenish, 200);
}

TEST_F(RenderTest, ScaleGivesTheSamePictureSharper)
{
    ProjectData data;
    data.Form = 2;
    data.SizeClass = 0;
    data.ImageWidth = 60;
    data.ImageHeight = 40;
    data.Horizontal = 0;
    const QString project = Project(data);
    const QImage small = Render({project});
    const QImage large = Render({project, QStringLiteral("--scale"), QStringLiteral("4")});
    ASSERT_EQ(small.size(), QSize(60, 40));
    ASSERT_EQ(large.size(), QSize(240, 160));
    const QImage down = large.scaled(small.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    int far = 0;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x)
            far += !NearColor(small.pixel(x, y), down.pixel(x, y), 40);
    EXPECT_LT(far, small.width() * small.height() / 50); // only along the edges
}

TEST_F(RenderTest, TransparentBackgroundKeepsTheBoxOpaqueAndItsColours)
{
    const QStringList args = {QStringLiteral("--background"), QStringLiteral("#FFFFFF")};
    const QImage normal = Front(args);
    const QImage png = Front(args + QStringList{QStringLiteral("--transparent")});
    ASSERT_TRUE(png.hasAlphaChannel());
    const QImage rgba = png.convertToFormat(QImage::Format_RGBA8888);
    EXPECT_EQ(qAlpha(rgba.pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(rgba.pixel(95, 95)), 0);
    EXPECT_EQ(qAlpha(rgba.pixel(48, 48)), 255);
    EXPECT_EQ(rgba.pixel(48, 48), normal.pixel(48, 48));
    int opaque = 0, same = 0;
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            if (qAlpha(rgba.pixel(x, y)) == 255) {
                ++opaque;
                same += (rgba.pixel(x, y) & 0xFFFFFFu) == (normal.pixel(x, y) & 0xFFFFFFu);
            }
    EXPECT_EQ(same, opaque);

    const QImage tga = Render({QStringLiteral("--form"), QStringLiteral("2"), QStringLiteral("--size"),
                               QStringLiteral("96x96"), QStringLiteral("--transparent")},
                              "tga");
    EXPECT_EQ(qAlpha(tga.convertToFormat(QImage::Format_RGBA8888).pixel(0, 0)), 0);
    EXPECT_EQ(qAlpha(tga.convertToFormat(QImage::Format_RGBA8888).pixel(48, 48)), 255);
}

TEST_F(RenderTest, SamplesSmoothTheEdges)
{
    const QStringList args = {QStringLiteral("--form"), QStringLiteral("4"), QStringLiteral("--turn"),
                              QStringLiteral("150"), QStringLiteral("--size"), QStringLiteral("96x96")};
    const QImage one = Render(args);
    const QImage four = Render(args + QStringList{QStringLiteral("--samples"), QStringLiteral("4")});
    const QRgb white = qRgb(255, 255, 255);
    EXPECT_LT(MixedPixels(one, white, FrontColor), 5);
    EXPECT_GT(MixedPixels(four, white, FrontColor), 40);
}

// The render's samples come from the project's looks unless --samples says otherwise.
TEST_F(RenderTest, AProjectsSamplesAreUsed)
{
    const QStringList args = {QStringLiteral("--form"), QStringLiteral("4"), QStringLiteral("--turn"),
                              QStringLiteral("150"), QStringLiteral("--size"), QStringLiteral("96x96")};
    ProjectData data;
    data.Looks.Samples = 4;
    const QString project = Path(QStringLiteral("four.pcf"));
    ASSERT_TRUE(SaveProjectFile(project, EncodeProject(data)));
    const QImage fromProject = Render(QStringList{project} + args);
    const QImage asked = Render(args + QStringList{QStringLiteral("--samples"), QStringLiteral("4")});
    const QImage one = Render(QStringList{project} + args + QStringList{QStringLiteral("--samples"), QStringLiteral("1")});
    EXPECT_EQ(fromProject, asked);
    EXPECT_NE(fromProject, one);
    EXPECT_EQ(one, Render(args));
}

TEST_F(RenderTest, EveryFormatIsReadableAndTheRightKind)
{
    const QStringList args = {QStringLiteral("--form"), QStringLiteral("2"), QStringLiteral("--size"),
                              QStringLiteral("50x30")};
    for (const char* ext : {"jpg", "jpeg", "png", "bmp", "tga"}) {
        const QImage shot = Render(args, ext);
        EXPECT_EQ(shot.size(), QSize(50, 30)) << ext;
        EXPECT_TRUE(NearColor(shot.pixel(25, 15), FrontColor, 10)) << ext;
        EXPECT_FALSE(shot.hasAlphaChannel()) << ext;
    }
    QFile bmp(Path("r3.bmp"));
    ASSERT_TRUE(bmp.open(QIODevice::ReadOnly));
    const QByteArray header = bmp.read(54);
    EXPECT_EQ(header[28], 24);  // bits per pixel
    EXPECT_EQ(bmp.size(), 54 + 152 * 30); // rows padded to 4 bytes

    const QImage low = Render(args + QStringList{QStringLiteral("--quality"), QStringLiteral("10")}, "jpg");
    EXPECT_LT(QFile(Path(QStringLiteral("r%1.jpg").arg(serial - 1))).size(), QFile(Path("r0.jpg")).size());
    EXPECT_FALSE(low.isNull());
}

TEST_F(RenderTest, SavedProjectKeepsThePicturesFolder)
{
    // Relative to where the command runs, and absolute.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("work/some/dir")));
    const QString work = QFileInfo(Path("work")).canonicalFilePath();
    const QString nested = QDir::toNativeSeparators(work + QStringLiteral("/some/dir")) + QDir::separator();
    const struct {
        QString output;
        QString folder;
    } cases[] = {
        {QStringLiteral("some/dir/x.png"), nested},
        {QStringLiteral("x.png"), QDir::toNativeSeparators(work) + QDir::separator()},
        {work + QStringLiteral("/some/dir/y.png"), nested},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCubiform({QStringLiteral("render"), QStringLiteral("--size"), QStringLiteral("32x32"),
                                         QStringLiteral("-o"), c.output, QStringLiteral("--save-project"),
                                         QStringLiteral("saved.pcf")},
                                        work);
        ASSERT_EQ(r.Status, 0) << c.output.toStdString() << "\n" << r.Err.toStdString();
        const std::optional<QByteArray> bytes = LoadProjectBytes(work + QStringLiteral("/saved.pcf"));
        ASSERT_TRUE(bytes);
        EXPECT_EQ(DecodeProject(*bytes).OutputFolder.toStdString(), c.folder.toStdString()) << c.output.toStdString();
    }
}

TEST_F(RenderTest, FailuresLeaveNoPictureBehind)
{
    QFile damaged(Path("front.jpg"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("\xFF\xD8\xFF\xE0 not really a JPEG");
    damaged.close();

    const struct {
        QStringList args;
        int status;
        QString text;
    } cases[] = {
        {{QStringLiteral("--front"), Path("front.jpg"), QStringLiteral("-o"), Path("a.png")}, 1, Path("front.jpg") + ": "},
        {{QStringLiteral("--samples"), QStringLiteral("16"), QStringLiteral("--size"), QStringLiteral("16384x16384"), QStringLiteral("-o"), Path("b.png")}, 1, QStringLiteral("Can not allocate enough video memory")},
        {{QStringLiteral("--eye"), QStringLiteral("90"), QStringLiteral("-o"), Path("c.png")}, 1, QStringLiteral("--eye \"90\": out of range 0..60")},
        {{QStringLiteral("-o"), Path("missing/d.png")}, 1, Path("missing/d.png")},
        {{QStringLiteral("--transparent"), QStringLiteral("-o"), Path("e.jpg")}, 2, QStringLiteral("--transparent")},
    };
    for (const auto& c : cases) {
        const CliResult r = RunCubiform(QStringList{QStringLiteral("render")} + c.args);
        EXPECT_EQ(r.Status, c.status) << c.args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.startsWith(QStringLiteral("cubiform: "))) << r.Err.toStdString();
        EXPECT_TRUE(r.Err.contains(c.text)) << r.Err.toStdString();
    }
    EXPECT_EQ(Files(), QStringList{QStringLiteral("front.jpg")});
}

} // namespace
