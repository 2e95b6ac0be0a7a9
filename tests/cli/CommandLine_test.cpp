// The command line without GL: reading the options, building the box as
// the window would, the transparency arithmetic, and the commands that need
// no picture (info, --save-project, usage and refusals).
#include "support/CliErrors.h"
#include "cli/CliRunner.h"
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "cli/ProjectInfo.h"
#include "engine/RenderOptions.h"
#include "document/ProjectApply.h"
#include "formats/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <cmath>
#include <limits>

namespace {

QStringList Args(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* a : list)
        out << QString::fromUtf8(a);
    return out;
}


void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

TEST(RenderOptions, ValuesAreCheckedAgainstTheControlsRanges)
{
    const RenderOptions o = ParseRenderArguments(
        Args({"p.pcf", "--width", "1", "--height=100", "--thickness", "7", "--depth", "2",
              "--vertical", "-300", "--horizontal", "300", "--turn", "-1800", "--eye", "60",
              "--side-angle", "-12.5", "--tilt-angle", "1e2", "--background", "#0a80Ff",
              "--size", "640x480", "--scale", "16", "--samples", "8", "--quality", "10", "-o",
              "x.JPEG"}));
    EXPECT_EQ(o.Project, "p.pcf");
    EXPECT_EQ(*o.Sliders.Width, 1);
    EXPECT_EQ(*o.Sliders.Height, 100);
    EXPECT_EQ(*o.Sliders.Vertical, -300);
    EXPECT_EQ(*o.Sliders.Turn, -1800);
    EXPECT_EQ(*o.Sliders.Eye, 60);
    EXPECT_EQ(*o.SideAngle, -12.5f);
    EXPECT_EQ(*o.TiltAngle, 100.0f);
    EXPECT_EQ(*o.Background, 0xFF800Au); // the panel's 0x00BBGGRR
    EXPECT_EQ(*o.Size, QSize(640, 480));
    EXPECT_EQ(o.Scale, 16);
    EXPECT_EQ(o.Samples, 8);
    EXPECT_EQ(o.Format, OutputFormat::Jpeg);

    // One past each end, malformed numbers and values the GL cannot mean.
    for (const QStringList& bad :
         {Args({"--width", "0"}), Args({"--height", "101"}), Args({"--depth", "1"}),
          Args({"--depth", "81"}), Args({"--vertical", "-301"}), Args({"--horizontal", "301"}),
          Args({"--turn", "1801"}), Args({"--eye", "61"}), Args({"--eye", "3.5"}),
          Args({"--eye", "ten"}), Args({"--side-angle", "nan"}), Args({"--tilt-angle", "inf"}),
          Args({"--side-angle", "1e39"}), Args({"--background", "#12345"}),
          Args({"--background", "red"}), Args({"--size", "0x10"}), Args({"--size", "16385x1"}),
          Args({"--size", "10"}), Args({"--scale", "17"}), Args({"--samples", "3"}),
          Args({"--samples", "64"}), Args({"--quality", "9"}), Args({"--quality", "101"}),
          Args({"--form", "10"}), Args({"--form", "Box"}), Args({"--fog", "-1"}),
          Args({"--fog", "Foggy"})}) {
        const auto [status, text] = ParseFailure(bad + Args({"-o", "x.jpg"}));
        EXPECT_EQ(status, ExitBadInput) << bad.join(' ').toStdString();
        EXPECT_TRUE(text.startsWith(bad[0])) << text.toStdString();
    }
}

TEST(RenderOptions, KindsAndSurroundingsByNumberOrCaptionInAnyCase)
{
    EXPECT_EQ(*ParseRenderArguments(Args({"--form", "cd JEWEL box", "-o", "a.png"})).Form, 5);
    EXPECT_EQ(*ParseRenderArguments(Args({"--form", "9", "-o", "a.png"})).Form, 9);
    EXPECT_EQ(*ParseRenderArguments(Args({"--fog", "Dimmed Light", "-o", "a.png"})).Fog, 2);
    EXPECT_EQ(FormCaptions().size(), 10);
    EXPECT_EQ(FormCaptions()[3], "vertical rotated image");
}

TEST(RenderOptions, WrongUseIsAUsageError)
{
    for (const QStringList& bad :
         {Args({}), Args({"p.pcf"}), Args({"--bogus", "-o", "a.png"}), Args({"-o"}),
          Args({"a.pcf", "b.pcf", "-o", "a.png"}), Args({"--transparent", "-o", "a.jpg"}),
          Args({"--transparent", "-o", "a.bmp"}), Args({"--quality", "80", "-o", "a.png"}),
          Args({"--transparent=1", "-o", "a.png"}), Args({"--save-project", "p.pcf", "--quality", "80"})})
        EXPECT_EQ(ParseFailure(bad).first, ExitUsage) << bad.join(' ').toStdString();
    // A picture type it cannot write is a bad value, named.
    const auto [status, text] = ParseFailure(Args({"-o", "box.gif"}));
    EXPECT_EQ(status, ExitBadInput);
    EXPECT_TRUE(text.startsWith("box.gif:")) << text.toStdString();
}

TEST(RenderOptions, LooksTakeAnOptionalValueWithoutEatingTheNextOption)
{
    // Bare, before another option, before the project, and with a value.
    RenderOptions o = ParseRenderArguments(Args({"--shadow", "-o", "x.png", "--light", "p.pcf", "--reflection"}));
    EXPECT_EQ(o.Looks.Shadow, LookLimits::DefaultShadow);
    EXPECT_EQ(o.Looks.Light, LookLimits::DefaultLight);
    EXPECT_EQ(o.Looks.Reflection, LookLimits::DefaultReflection);
    EXPECT_EQ(o.Output, "x.png");
    EXPECT_EQ(o.Project, "p.pcf");
    EXPECT_FALSE(o.Looks.ShadowSoftness);
    EXPECT_FALSE(o.Looks.SmoothTextures);
    EXPECT_FALSE(o.SamplesGiven);

    o = ParseRenderArguments(Args({"--shadow", "40", "--reflection=0", "--light", "+100", "--shadow-softness",
                                   "0", "--smooth-textures", "--samples", "32", "-o", "x.png"}));
    EXPECT_EQ(o.Looks.Shadow, 40);
    EXPECT_EQ(o.Looks.Reflection, 0);
    EXPECT_EQ(o.Looks.Light, 100);
    EXPECT_EQ(o.Looks.ShadowSoftness, 0);
    EXPECT_TRUE(o.Looks.SmoothTextures);
    EXPECT_EQ(o.Samples, 32);
    EXPECT_TRUE(o.SamplesGiven);
    for (int n : LookLimits::SampleCounts)
        EXPECT_EQ(ParseRenderArguments(Args({"-o", "x.png", "--samples"}) + QStringList{QString::number(n)}).Samples, n);

    // A number after the option is its value, checked; anything else is not.
    for (const QStringList& bad : {Args({"--shadow", "101"}), Args({"--shadow", "-5"}), Args({"--light=abc"}),
                                   Args({"--reflection="}), Args({"--shadow-softness", "101"}),
                                   Args({"--shadow-softness", "soft"}), Args({"--samples", "0"})}) {
        const auto [status, text] = ParseFailure(bad + Args({"-o", "x.jpg"}));
        EXPECT_EQ(status, ExitBadInput) << bad.join(' ').toStdString();
        EXPECT_TRUE(text.startsWith(bad[0].section('=', 0, 0))) << text.toStdString();
    }
    EXPECT_EQ(ParseFailure(Args({"-o", "x.png", "--shadow-softness"})).first, ExitUsage);
    EXPECT_EQ(ParseFailure(Args({"--smooth-textures=1", "-o", "x.png"})).first, ExitUsage);
}

TEST(HeadlessBox, LookOptionsApplyOverTheProjectsLooks)
{
    ProjectData data;
    data.Looks.Shadow = 20;
    data.Looks.ShadowSoftness = 90;
    data.Looks.Reflection = 10;
    data.Looks.SmoothTextures = true;
    data.Looks.Samples = 16;

    HeadlessBox box;
    box.OpenProject(OpenedProject{data, QStringLiteral("/projects")});
    EXPECT_EQ(box.Document.Params.Looks, data.Looks);
    // No look option: the project's looks, samples included, stay.
    box.ApplyOptions(ParseRenderArguments(Args({"--width", "30", "-o", "x.png"})));
    EXPECT_EQ(box.Document.Params.Looks, data.Looks);
    EXPECT_EQ(box.Capture().Looks, data.Looks);

    box.ApplyOptions(ParseRenderArguments(Args({"--shadow", "--light", "5", "--samples", "2", "-o", "x.png"})));
    BoxLooks expected = data.Looks;
    expected.Shadow = LookLimits::DefaultShadow;
    expected.Light = 5;
    expected.Samples = 2;
    EXPECT_EQ(box.Document.Params.Looks, expected);

    // A new project starts with every look off; the options alone set them.
    HeadlessBox fresh;
    fresh.NewProject();
    EXPECT_TRUE(fresh.Document.Params.Looks.AllOff());
    fresh.ApplyOptions(ParseRenderArguments(Args({"--reflection", "--smooth-textures", "-o", "x.png"})));
    EXPECT_EQ(fresh.Document.Params.Looks.Reflection, LookLimits::DefaultReflection);
    EXPECT_TRUE(fresh.Document.Params.Looks.SmoothTextures);
    EXPECT_EQ(fresh.Document.Params.Looks.Samples, 1);
}

TEST(HeadlessBox, OpeningAProjectGivesWhatTheWindowsControlsHold)
{
    ProjectData data;
    data.SizeClass = 0;      // Small: the output sliders stop at 100
    data.Form = 5;           // the kind's values are overridden by the stored ones
    data.Fog = 3;
    data.BackgroundColor = 0x00336699;
    data.ImageWidth = 400;
    data.ImageHeight = 80;
    data.Depth = 99;         // beyond the slider: clamped as the window's bar does
    data.Vertical = -150;
    data.Eye = 12;
    data.SideAngle = 12.25f;
    data.FrontBack = QStringLiteral("covers/front.jpg");

    HeadlessBox box;
    box.OpenProject(OpenedProject{data, QStringLiteral("/projects")});
    EXPECT_EQ(box.Document.Position(Slider::ImageWidth), 100);
    EXPECT_EQ(box.Document.Position(Slider::ImageHeight), 80);
    EXPECT_EQ(box.Document.Position(Slider::Depth), 80);
    EXPECT_EQ(box.Document.Position(Slider::Vertical), -150);
    EXPECT_EQ(box.Document.Params.CurrentForm.Name, "CD jewel box");
    EXPECT_EQ(box.Document.Params.FogMode, 3);
    EXPECT_EQ(box.Document.Params.SideAngle, 12.25f);
    EXPECT_FLOAT_EQ(box.Document.Params.BackgroundRed, 0x99 / 255.0f);
    // Kept as stored, read from the project's folder.
    EXPECT_EQ(box.Document.Cover(0).Path, "covers/front.jpg");
    EXPECT_EQ(box.CoverFileOf(0), QDir::toNativeSeparators("/projects/covers/front.jpg"));
    EXPECT_TRUE(box.Document.Cover(1).Path.isEmpty());
    EXPECT_EQ(box.OutputSize(RenderOptions{}), QSize(100, 80));

    // What it captures again is what a second opening reproduces.
    HeadlessBox again;
    again.OpenProject(OpenedProject{box.Capture(), QStringLiteral("/elsewhere")});
    EXPECT_EQ(again.Capture(), box.Capture());
    EXPECT_EQ(again.Capture().FrontBack, "covers/front.jpg");
}

TEST(HeadlessBox, TheKindComesBeforeTheSliderOptions)
{
    HeadlessBox box;
    box.NewProject();
    EXPECT_EQ(box.Document.Position(Slider::Depth), 25); // first kind after "New project"
    EXPECT_EQ(box.Document.Params.BackgroundRed, 1.0f);

    RenderOptions o = ParseRenderArguments(Args({"--depth", "40", "--form", "5", "--side-angle",
                                                 "90", "-o", "a.png"}));
    box.ApplyOptions(o);
    EXPECT_EQ(box.Document.Position(Slider::Depth), 40);      // the option, not the kind's 28
    EXPECT_EQ(box.Document.Position(Slider::Horizontal), -6);      // the kind's
    EXPECT_EQ(box.Document.Position(Slider::Eye), 12);        // the kind's
    EXPECT_EQ(box.Document.Params.SideAngle, 90.0f);     // the option
    EXPECT_EQ(box.Document.Params.TiltAngle, 16.0f);     // the kind's
    EXPECT_EQ(box.Document.Params.Depth, 40.0f);         // recomputed
    EXPECT_FLOAT_EQ(box.Document.Params.HalfHeight, 0.041f);

    o.Size = QSize(200, 100);
    o.Scale = 3;
    EXPECT_EQ(box.OutputSize(o), QSize(600, 300));
    o.Size = QSize(10000, 10);
    o.Scale = 2;
    EXPECT_THROW(box.OutputSize(o), JobError);
}

TEST(Transparency, AlphaComesFromHowFarTheBackgroundShowsThrough)
{
    const QRgb bg = qRgb(255, 255, 255);
    const QRgb other = ContrastColor(bg);
    EXPECT_EQ(other, qRgb(0, 0, 0));
    EXPECT_EQ(ContrastColor(qRgb(10, 200, 128)), qRgb(255, 0, 0));

    QImage normal(4, 1, QImage::Format_RGBA8888), contrast(4, 1, QImage::Format_RGBA8888);
    const QRgb box = qRgb(200, 100, 50);
    // Box, background, a half-covered edge, and a corner the background quad missed.
    normal.setPixel(0, 0, box);
    contrast.setPixel(0, 0, box);
    normal.setPixel(1, 0, bg);
    contrast.setPixel(1, 0, other);
    normal.setPixel(2, 0, qRgb(228, 178, 153)); // half box, half white
    contrast.setPixel(2, 0, qRgb(100, 50, 25)); // half box, half black
    normal.setPixelColor(3, 0, QColor(0, 0, 0, 0));
    contrast.setPixelColor(3, 0, QColor(0, 0, 0, 0));

    const QImage out = CombineTransparent(normal, contrast, bg, other);
    EXPECT_EQ(out.pixelColor(0, 0), QColor(200, 100, 50, 255)); // opaque colour kept exactly
    EXPECT_EQ(out.pixelColor(1, 0).alpha(), 0);
    EXPECT_NEAR(out.pixelColor(2, 0).alpha(), 127, 2);
    EXPECT_NEAR(out.pixelColor(2, 0).red(), 200, 3); // unmixed from the white
    EXPECT_NEAR(out.pixelColor(2, 0).blue(), 50, 3);
    EXPECT_EQ(out.pixelColor(3, 0).alpha(), 0);
}

TEST(ProjectInfo, EveryValueUnderItsKeyAsStored)
{
    ProjectData d;
    d.Version = -3;
    d.FrontBack = QStringLiteral("C:\\covers\\\"front\" é.jpg");
    d.BackgroundColor = 0x00FF8001; // 0x00BBGGRR
    d.Horizontal = -200;
    d.SideAngle = 0.1f;
    d.TiltAngle = std::numeric_limits<float>::quiet_NaN();
    const QByteArray json = ProjectInfoJson(d);
    QJsonParseError error{};
    const QJsonObject o = QJsonDocument::fromJson(json, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.toStdString();
    EXPECT_EQ(o.keys().size(), 24); // the 21 values, "looks", "shape" and "render"
    EXPECT_TRUE(o["looks"].isObject());
    EXPECT_TRUE(o["shape"].isObject());
    EXPECT_EQ(o["render"].toObject()["engine"].toString(), "raster"); // no block: the raster
    EXPECT_EQ(o["version"].toInt(), -3);
    EXPECT_EQ(o["front"].toString(), d.FrontBack);
    EXPECT_EQ(o["background"].toString(), "#0180FF");
    EXPECT_EQ(o["horizontal"].toInt(), -200);
    EXPECT_EQ(o["sideAngle"].toDouble(), static_cast<double>(0.1f)); // the float, not 0.1
    EXPECT_TRUE(o["tiltAngle"].isNull());
    for (const char* key : {"side", "top", "outputFolder", "sizeClass", "fog", "form", "imageWidth",
                            "imageHeight", "boxWidth", "boxHeight", "boxThickness", "depth",
                            "vertical", "turn", "eye"})
        EXPECT_TRUE(o.contains(QLatin1String(key))) << key;
    EXPECT_TRUE(json.startsWith("{\n    \"version\"")); // file order, not sorted
}

struct CommandTest : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
};

TEST_F(CommandTest, HelpVersionAndUsageErrors)
{
    CliResult r = RunCubiform(Args({"--version"}));
    EXPECT_EQ(r.Status, 0);
    EXPECT_EQ(r.Out, "Cubiform Classic 1.2\n");
    r = RunCubiform(Args({"--help"}));
    EXPECT_EQ(r.Status, 0);
    EXPECT_TRUE(r.Out.contains("cubiform render [PROJECT.pcf] [OPTIONS] -o IMAGE"));
    EXPECT_TRUE(r.Err.isEmpty());
    r = RunCubiform(Args({"render", "--frnot", "a.bmp", "-o", "x.png"}));
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Err.startsWith("cubiform: unknown option --frnot\n")) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.endsWith("Try 'cubiform --help'.\n")) << r.Err.toStdString();
    r = RunCubiform(Args({"info"}));
    EXPECT_EQ(r.Status, 2);
    // Without a command a long option is a typo, not a project to open.
    r = RunCubiform(Args({"--rendr"}));
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Err.startsWith("cubiform: unknown option --rendr\n")) << r.Err.toStdString();
}

TEST_F(CommandTest, SavedProjectReadsBackThroughInfo)
{
    const QString cover = Path("front.bmp");
    QImage(8, 8, QImage::Format_RGB888).save(cover, "BMP");
    const QString saved = Path("saved.pcf");
    CliResult r = RunCubiform(Args({"render", "--form", "Pizza box", "--fog", "2", "--background",
                                    "#102030", "--width", "77", "--turn", "-450", "--tilt-angle",
                                    "-7.25", "--front"}) +
                              QStringList{cover, QStringLiteral("--save-project"), saved});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();

    r = RunCubiform(Args({"info"}) + QStringList{saved});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.Out.toUtf8()).object();
    EXPECT_EQ(o["version"].toInt(), 11);
    EXPECT_EQ(o["form"].toInt(), 6);
    EXPECT_EQ(o["fog"].toInt(), 2);
    EXPECT_EQ(o["background"].toString(), "#102030");
    EXPECT_EQ(o["boxWidth"].toInt(), 77);
    EXPECT_EQ(o["turn"].toInt(), -450);
    EXPECT_EQ(o["depth"].toInt(), 27);  // the pizza box's
    EXPECT_EQ(o["sideAngle"].toDouble(), 30.0);
    EXPECT_EQ(o["tiltAngle"].toDouble(), -7.25);
    EXPECT_EQ(o["front"].toString(), QDir::toNativeSeparators(cover));
    EXPECT_EQ(o["imageWidth"].toInt(), 300);

    // Opened again and saved unchanged, the file is the same.
    const QString again = Path("again.pcf");
    r = RunCubiform(QStringList{QStringLiteral("render"), saved, QStringLiteral("--save-project"), again});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QFile a(saved), b(again);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), b.readAll());
}

TEST_F(CommandTest, LooksAreSavedShownByInfoAndKeptOnResave)
{
    const QString saved = Path("looks.pcf");
    CliResult r = RunCubiform(Args({"render", "--shadow", "--reflection", "15", "--smooth-textures", "--samples",
                                    "32", "--save-project"}) + QStringList{saved});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();

    r = RunCubiform(Args({"info"}) + QStringList{saved});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QJsonObject o = QJsonDocument::fromJson(r.Out.toUtf8()).object();
    EXPECT_EQ(o["version"].toInt(), 11);
    const QJsonObject looks = o["looks"].toObject();
    EXPECT_EQ(looks["shadow"].toInt(), LookLimits::DefaultShadow);
    EXPECT_EQ(looks["shadowSoftness"].toInt(), LookLimits::DefaultSoftness);
    EXPECT_EQ(looks["reflection"].toInt(), 15);
    EXPECT_EQ(looks["light"].toInt(), 0);
    EXPECT_EQ(looks["smoothTextures"].toBool(), true);
    EXPECT_EQ(looks["samples"].toInt(), 32);
    // The classic keys keep their order; the looks come last.
    EXPECT_LT(r.Out.indexOf("\"tiltAngle\""), r.Out.indexOf("\"looks\""));
    EXPECT_TRUE(r.Out.startsWith("{\n    \"version\": 11,\n    \"front\": "));

    // Re-saved with a look option turned down, the rest stays.
    const QString again = Path("again.pcf");
    r = RunCubiform(QStringList{QStringLiteral("render"), saved, QStringLiteral("--shadow"), QStringLiteral("0"),
                                QStringLiteral("--save-project"), again});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const std::optional<QByteArray> bytes = LoadProjectBytes(again);
    ASSERT_TRUE(bytes);
    const BoxLooks read = DecodeProject(*bytes).Looks;
    EXPECT_EQ(read.Shadow, 0);
    EXPECT_EQ(read.Reflection, 15);
    EXPECT_EQ(read.Samples, 32);

    // A classic project shows every look off.
    WriteBytes(Path("classic.pcf"), EncodeProject(ProjectData{}));
    r = RunCubiform(Args({"info"}) + QStringList{Path("classic.pcf")});
    const QJsonObject off = QJsonDocument::fromJson(r.Out.toUtf8()).object()["looks"].toObject();
    EXPECT_EQ(off["shadow"].toInt(-1), 0);
    EXPECT_EQ(off["samples"].toInt(), 1);
    EXPECT_EQ(off["smoothTextures"].toBool(true), false);
}

TEST_F(CommandTest, AMalformedLooksBlockIsRefusedLikeAnyDamagedProject)
{
    ProjectData data;
    data.Looks.Shadow = 50;
    QByteArray bytes = EncodeProject(data);
    bytes.chop(1); // the samples' payload
    WriteBytes(Path("cut.pcf"), bytes);
    const CliResult r = RunCubiform({QStringLiteral("render"), Path("cut.pcf"), QStringLiteral("--save-project"),
                                     Path("out.pcf")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, QStringLiteral("cubiform: %1: the project is cut short (Stream read error)\n").arg(Path("cut.pcf")));
    EXPECT_FALSE(QFile::exists(Path("out.pcf")));
}

TEST_F(CommandTest, NewProjectSavedWithoutAPictureKeepsTheFolderItRanIn)
{
    // A nested working folder: its parent is a real folder too, so a wrong
    // answer is a plausible path rather than an empty one.
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("work/here")));
    const QString work = QFileInfo(Path("work/here")).canonicalFilePath();
    const CliResult r = RunCubiform(Args({"render", "--save-project", "out.pcf"}), work);
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const std::optional<QByteArray> bytes = LoadProjectBytes(work + QStringLiteral("/out.pcf"));
    ASSERT_TRUE(bytes);
    EXPECT_EQ(DecodeProject(*bytes).OutputFolder.toStdString(),
              (QDir::toNativeSeparators(work) + QDir::separator()).toStdString());

    // At the root the folder is the separator alone, not doubled.
    const CliResult root = RunCubiform(QStringList{QStringLiteral("render"), QStringLiteral("--save-project"), Path("root.pcf")},
                                       QStringLiteral("/"));
    ASSERT_EQ(root.Status, 0) << root.Err.toStdString();
    const std::optional<QByteArray> rootBytes = LoadProjectBytes(Path("root.pcf"));
    ASSERT_TRUE(rootBytes);
    EXPECT_EQ(DecodeProject(*rootBytes).OutputFolder.toStdString(), QDir::toNativeSeparators(QStringLiteral("/")).toStdString());
}

TEST_F(CommandTest, DamagedProjectsAreRefusedWithTheirMessageAndNothingIsWritten)
{
    ProjectData data;
    const QByteArray good = EncodeProject(data);
    QByteArray newer = good;
    newer[1] = 12;
    QByteArray wrongTag = good;
    wrongTag[2] = 0x05; // a float where the front path's string belongs
    const struct {
        const char* name;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"truncated.pcf", good.left(good.size() - 3), QStringLiteral("the project is cut short (Stream read error)")},
        {"empty.pcf", QByteArray(), QStringLiteral("the project file is empty (Stream read error)")},
        {"newer.pcf", newer, QStringLiteral("File version is higher than than the program's. Get an update.")},
        {"tag.pcf", wrongTag, QStringLiteral("Invalid property value")},
        {"garbage.pcf", QByteArray("\x7f" "ELF garbage bytes, not a project at all"), QStringLiteral("not a Cubiform project")},
        {"notes.txt", QByteArray("Front: box.jpg\n"), QStringLiteral("not a Cubiform project")},
        {"padded.pcf", good + QByteArray(4, '\0'), QStringLiteral("the project is damaged after its classic values")},
    };
    for (const auto& c : cases) {
        const QString project = Path(c.name);
        WriteBytes(project, c.bytes);
        for (const QStringList& args :
             {QStringList{QStringLiteral("info"), project},
              QStringList{QStringLiteral("render"), project, QStringLiteral("--save-project"), Path("out.pcf")}}) {
            const CliResult r = RunCubiform(args);
            EXPECT_EQ(r.Status, 1) << c.name;
            EXPECT_EQ(r.Err, QStringLiteral("cubiform: %1: %2\n").arg(project, c.message)) << c.name;
            EXPECT_TRUE(r.Out.isEmpty());
        }
    }
    const CliResult missing = RunCubiform({QStringLiteral("info"), Path("none.pcf")});
    EXPECT_EQ(missing.Status, 1);
    EXPECT_TRUE(missing.Err.contains(Path("none.pcf"))) << missing.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("out.pcf")));
}

TEST_F(CommandTest, MissingCoversAreNamed)
{
    ProjectData data;
    data.LeftRight = Path("gone.jpg");
    WriteBytes(Path("p.pcf"), EncodeProject(data));
    CliResult r = RunCubiform({QStringLiteral("render"), Path("p.pcf"), QStringLiteral("--save-project"), Path("o.pcf")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, QStringLiteral("cubiform: %1: the side cover image does not exist\n").arg(Path("gone.jpg")));
    r = RunCubiform({QStringLiteral("render"), QStringLiteral("--top"), Path("p.pcf"), QStringLiteral("--save-project"), Path("o.pcf")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(".jpg, .bmp, .png, .gif or .tga")) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(Path("o.pcf")));
}

} // namespace
