// The command line without GL: the commands that need no picture (info,
// --save-project, usage and refusals).
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

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
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
    EXPECT_EQ(o.keys().size(), 25); // the 21 values, "looks", "shape", "render" and "sides"
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
