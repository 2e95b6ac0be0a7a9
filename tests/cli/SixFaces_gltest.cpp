// Own pictures for the back, the right and the bottom, as "render", "batch"
// and "turntable" draw them, judged by the pictures written.
#include "cli/CliRunner.h"
#include "formats/ProjectFile.h"
#include "support/GLPixels.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

const QRgb Red = qRgb(220, 30, 30);
const QRgb Blue = qRgb(30, 40, 220);
// The quarters of a picture that tells its turns and mirrors apart.
const QRgb TopLeft = qRgb(230, 40, 40), TopRight = qRgb(40, 220, 40);
const QRgb BottomLeft = qRgb(40, 40, 230), BottomRight = qRgb(230, 230, 40);

struct SixFacesTest : ::testing::Test {
    QTemporaryDir dir;
    int serial = 0;

    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QString Flat(const char* name, QRgb colour)
    {
        QImage picture(40, 40, QImage::Format_RGB888);
        picture.fill(colour);
        EXPECT_TRUE(picture.save(Path(name), "PNG"));
        return Path(name);
    }

    QString Quarters(const char* name)
    {
        QImage picture(40, 40, QImage::Format_RGB888);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x)
                picture.setPixel(x, y, y < 20 ? (x < 20 ? TopLeft : TopRight) : (x < 20 ? BottomLeft : BottomRight));
        EXPECT_TRUE(picture.save(Path(name), "PNG"));
        return Path(name);
    }

    // A cube seen straight on from far off, so that one side fills the middle.
    QImage Cube(const QStringList& more)
    {
        const QString out = dir.filePath(QStringLiteral("shot%1.png").arg(serial++));
        return RenderPicture(OverriddenBy({"--form", "2", "--width", "50", "--height", "50", "--thickness", "50",
                                           "--eye", "0", "--depth", "30", "--side-angle", "0", "--size", "96x96"},
                                          more),
                             out);
    }
};

// The colours at the four quarters around the middle of the view.
struct SeenQuarters {
    QRgb topLeft, topRight, bottomLeft, bottomRight;
};
SeenQuarters QuartersOf(const QImage& shot)
{
    return {shot.pixel(42, 42), shot.pixel(54, 42), shot.pixel(42, 54), shot.pixel(54, 54)};
}
void ExpectUpright(const SeenQuarters& q, const char* what)
{
    EXPECT_TRUE(NearColor(q.topLeft, TopLeft, 6)) << what << ColorText{q.topLeft};
    EXPECT_TRUE(NearColor(q.topRight, TopRight, 6)) << what << ColorText{q.topRight};
    EXPECT_TRUE(NearColor(q.bottomLeft, BottomLeft, 6)) << what << ColorText{q.bottomLeft};
    EXPECT_TRUE(NearColor(q.bottomRight, BottomRight, 6)) << what << ColorText{q.bottomRight};
}

TEST_F(SixFacesTest, ABackPictureOfOneColourFillsTheViewFromBehind)
{
    const QString front = Flat("front.png", Red);
    const QString back = Flat("back.png", Blue);
    const QImage behind = Cube({"--front", front, "--back", back, "--side-angle", "180"});
    int blue = 0, red = 0;
    for (int y = 30; y < 66; ++y)
        for (int x = 30; x < 66; ++x) {
            blue += NearColor(behind.pixel(x, y), Blue, 4);
            red += NearColor(behind.pixel(x, y), Red, 30);
        }
    EXPECT_EQ(blue, 36 * 36);
    EXPECT_EQ(red, 0);
    // The front keeps its picture, and without a back picture the back shows it.
    EXPECT_TRUE(NearColor(Cube({"--front", front, "--back", back}).pixel(48, 48), Red, 4));
    EXPECT_TRUE(NearColor(Cube({"--front", front, "--side-angle", "180"}).pixel(48, 48), Red, 4));
}

TEST_F(SixFacesTest, OwnPicturesReadUprightWhereTheirSideFacesTheEye)
{
    const QString quarters = Quarters("quarters.png");
    ExpectUpright(QuartersOf(Cube({"--back", quarters, "--side-angle", "180"})), "back ");
    ExpectUpright(QuartersOf(Cube({"--right", quarters, "--side-angle", "270"})), "right ");
    ExpectUpright(QuartersOf(Cube({"--bottom", quarters, "--tilt-angle", "270"})), "bottom ");
    // A rounded box is drawn as a mesh: its own pictures lie the same way.
    ExpectUpright(QuartersOf(Cube({"--bottom", quarters, "--tilt-angle", "270", "--edge-radius", "4"})),
                  "rounded bottom ");
    // The pairs' pictures lie as they always did: the top's picture on the
    // bottom is upside down in that view, the front's and the side's upright.
    const SeenQuarters paired = QuartersOf(Cube({"--top", quarters, "--tilt-angle", "270"}));
    ExpectUpright({paired.bottomRight, paired.bottomLeft, paired.topRight, paired.topLeft}, "paired bottom ");
    ExpectUpright(QuartersOf(Cube({"--front", quarters, "--side-angle", "180"})), "paired back ");
    ExpectUpright(QuartersOf(Cube({"--side", quarters, "--side-angle", "270"})), "paired right ");
}

TEST_F(SixFacesTest, AProjectKeepsItsSidePicturesBesideItAndInfoShowsThem)
{
    Flat("front.png", Red);
    Flat("back.png", Blue);
    ProjectData data;
    data.Form = 2;
    data.FrontBack = QStringLiteral("front.png");
    data.Back = QStringLiteral("back.png"); // read from the project's folder
    data.Shape.BookPages = true;
    data.ImageWidth = data.ImageHeight = 64;
    QFile file(Path("box.pcf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(EncodeProject(data));
    file.close();

    const QImage behind = RenderPicture({Path("box.pcf"), "--side-angle", "180"}, Path("behind.png"));
    EXPECT_TRUE(NearColor(behind.pixel(32, 32), Blue, 4)) << ColorText{behind.pixel(32, 32)};

    const CliResult info = RunCubiform({QStringLiteral("info"), Path("box.pcf")});
    EXPECT_EQ(info.Status, 0);
    EXPECT_TRUE(info.Out.contains(QStringLiteral("\"shape\": {\"edgeRadius\": 0, \"bookPages\": true, "
                                                 "\"back\": \"back.png\", \"right\": \"\", \"bottom\": \"\"}")))
        << info.Out.toStdString();

    // Options override the project's, and a re-saved project keeps the rest.
    const CliResult saved = RunCubiform({QStringLiteral("render"), Path("box.pcf"), "--edge-radius", "12.5",
                                         "--right", Path("front.png"), "--save-project", Path("again.pcf")});
    ASSERT_EQ(saved.Status, 0) << saved.Err.toStdString();
    QFile again(Path("again.pcf"));
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    const ProjectData read = DecodeProject(again.readAll());
    EXPECT_EQ(read.Shape.EdgeRadius, 12.5f);
    EXPECT_TRUE(read.Shape.BookPages);
    EXPECT_EQ(read.Back, QStringLiteral("back.png"));
    EXPECT_EQ(QDir::fromNativeSeparators(read.Right), QDir::fromNativeSeparators(Path("front.png")));
}

TEST_F(SixFacesTest, SidePicturesAreCheckedAndGuardedAsTheClassicCovers)
{
    const QString back = Flat("back.png", Blue);
    CliResult r = RunCubiform({QStringLiteral("render"), "--bottom", Path("none.png"), "-o", Path("a.png")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("the bottom cover image does not exist"))) << r.Err.toStdString();

    r = RunCubiform({QStringLiteral("render"), "--back", back, "-o", back});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("back cover"))) << r.Err.toStdString();
    QImage still(back);
    EXPECT_TRUE(NearColor(still.pixel(0, 0), Blue, 0)); // untouched

    r = RunCubiform({QStringLiteral("render"), "--edge-radius", "100.5", "-o", Path("b.png")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("--edge-radius \"100.5\": out of range 0..100"))) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("b.png")));
}

TEST_F(SixFacesTest, BatchRowsAndTurntablesTakeTheSidePictures)
{
    Flat("front.png", Red);
    Flat("back.png", Blue);
    QFile manifest(Path("rows.csv"));
    ASSERT_TRUE(manifest.open(QIODevice::WriteOnly));
    manifest.write("form,front,back,side-angle,size,edge-radius,book-pages,output\n"
                   "2,front.png,back.png,180,64x64,0,no,behind.png\n"
                   "2,front.png,,180,64x64,,,paired.png\n");
    manifest.close();
    const CliResult r = RunCubiform({QStringLiteral("batch"), Path("rows.csv"), "-j", "1"});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString() << r.Out.toStdString();
    EXPECT_TRUE(NearColor(QImage(Path("behind.png")).pixel(32, 32), Blue, 4));
    EXPECT_TRUE(NearColor(QImage(Path("paired.png")).pixel(32, 32), Red, 4));

    // Half a turn in two frames: the second is seen from behind.
    const CliResult spin = RunCubiform({QStringLiteral("turntable"), "--form", "2", "--front", Path("front.png"),
                                        "--back", Path("back.png"), "--side-angle", "0", "--size", "64x64", "--frames", "2",
                                        "-o", Path("spin-%d.png")});
    ASSERT_EQ(spin.Status, 0) << spin.Err.toStdString();
    QStringList frames = QDir(dir.path()).entryList({QStringLiteral("spin-*.png")}, QDir::Files, QDir::Name);
    ASSERT_EQ(frames.size(), 2) << frames.join(' ').toStdString();
    EXPECT_TRUE(NearColor(QImage(dir.filePath(frames[0])).pixel(32, 32), Red, 4));
    EXPECT_TRUE(NearColor(QImage(dir.filePath(frames[1])).pixel(32, 32), Blue, 4));
}

} // namespace
