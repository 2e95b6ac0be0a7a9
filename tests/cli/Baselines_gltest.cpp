// Stored pictures of what "cubiform render" draws, one per line of
// tests/baselines/cases.txt, so that a change meant to keep every picture
// (a restructuring) is checked by pixels. With CUBIFORM_REMAKE_BASELINES=1
// (tests/baselines/make-baselines.sh) the same cases write the pictures
// instead of comparing with them.
#include "cli/CliRunner.h"
#include "formats/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <set>
#include <string>
#include <vector>

namespace {

// The same program on the same machine draws the same bytes every run
// (llvmpipe, checked over repeated runs), and a restructuring must keep
// them, so the comparison is all but exact. The slack lets another driver
// or CPU round the last bits of a handful of pixels differently (shading,
// filtering, blending): no channel, alpha included, may differ by more than
// MaxChannelDifference, and at most one pixel in MaxDifferingPerMille*1000
// may differ at all. Anything a person could see moves more pixels or more
// levels than that; a uniform shift of one level fails too.
constexpr int MaxChannelDifference = 2;
constexpr int MaxDifferingPerMille = 1; // 0.1 %

const QString BaselineFolder = QStringLiteral(CUBIFORM_BASELINES_DIR);
const QString FailureFolder = QStringLiteral(CUBIFORM_BASELINE_FAILURES_DIR);

bool Remaking() { return qEnvironmentVariableIntValue("CUBIFORM_REMAKE_BASELINES") == 1; }

struct BaselineCase {
    std::string Name;
    QStringList Arguments;
    int Line = 0;
};

void PrintTo(const BaselineCase& c, std::ostream* os) { *os << c.Name; }

// Parse problems are kept as cases without arguments so that the manifest
// test can name them; an unreadable manifest gives no cases, which gtest
// reports as a parameterised suite with nothing in it.
std::vector<BaselineCase> ReadCases()
{
    std::vector<BaselineCase> cases;
    QFile file(BaselineFolder + QStringLiteral("/cases.txt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return cases;
    int line = 0;
    while (!file.atEnd()) {
        ++line;
        const QString text = QString::fromUtf8(file.readLine()).trimmed();
        if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
            continue;
        QStringList words = QProcess::splitCommand(text);
        BaselineCase c;
        c.Line = line;
        c.Name = words.takeFirst().toStdString();
        c.Arguments = words;
        cases.push_back(c);
    }
    return cases;
}

QString PicturePath(const std::string& name)
{
    return BaselineFolder + QLatin1Char('/') + QString::fromStdString(name) + QStringLiteral(".png");
}

// --- The inputs: covers with distinct colours, gradients, corner marks and
// one-pixel stripes, so that a flipped, turned or differently filtered face
// shows; painted once and stored, so they never change under the pictures.

QImage FrontCover()
{
    QImage image(64, 48, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb c = qRgb(x * 4, 40 + y * 4, 170);
            if (x < 12 && y < 10)
                c = qRgb(255, 255, 255); // top left
            else if (x >= 56 && y >= 40)
                c = qRgb(0, 0, 0); // bottom right
            else if (x >= 24 && x < 40 && y >= 18 && y < 30)
                c = (x + y) % 2 ? qRgb(250, 230, 20) : qRgb(20, 20, 90);
            image.setPixel(x, y, c);
        }
    return image;
}

QImage SideCover()
{
    QImage image(16, 48, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int band = y / 16;
            const int shade = 80 + x * 10;
            QRgb c = band == 0 ? qRgb(shade, 30, 30) : band == 1 ? qRgb(30, shade, 30) : qRgb(30, 30, shade);
            if (y < 2)
                c = qRgb(255, 255, 255);
            image.setPixel(x, y, c);
        }
    return image;
}

QImage TopCover()
{
    QImage image(64, 16, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            QRgb c = qRgb(255 - x * 3, 120 + y * 8, x * 4);
            if (x < 6)
                c = qRgb(10, 10, 10);
            image.setPixel(x, y, c);
        }
    return image;
}

void MakeInputsIfMissing()
{
    const QDir inputs(BaselineFolder + QStringLiteral("/inputs"));
    ASSERT_TRUE(inputs.mkpath(QStringLiteral("project")));
    const struct {
        const char* name;
        QImage (*paint)();
        const char* format;
    } covers[] = {{"front.bmp", FrontCover, "BMP"}, {"side.jpg", SideCover, "JPG"}, {"top.jpg", TopCover, "JPG"}};
    for (const auto& cover : covers) {
        const QString path = inputs.filePath(QString::fromUtf8(cover.name));
        if (!QFileInfo::exists(path)) {
            ASSERT_TRUE(cover.paint().save(path, cover.format, 90)) << path.toStdString();
        }
    }

    // Covers named relative to the project's own folder, not to where the
    // program runs (the runs happen in inputs/, one folder up).
    const QString project = inputs.filePath(QStringLiteral("project/dressed.pcf"));
    if (QFileInfo::exists(project))
        return;
    ProjectData data;
    data.FrontBack = QStringLiteral("../front.bmp");
    data.LeftRight = QStringLiteral("../side.jpg");
    data.TopBottom = QStringLiteral("../top.jpg");
    data.Form = 0;
    data.Fog = 3;
    data.BackgroundColor = 0x00705030;
    data.ImageWidth = 128;
    data.ImageHeight = 96;
    data.Breed = 64;
    data.Thick = 40;
    data.Turn = -200;
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(EncodeProject(data));
}

// --- Comparison

struct Comparison {
    int Differing = 0;     // pixels with any channel different
    int OverTolerance = 0; // pixels with a channel beyond the tolerance
    int Largest = 0;
    QPoint Where;
    QImage Picture; // the differences, for a person to look at
};

int ChannelDifference(QRgb a, QRgb b)
{
    return std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                     std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
}

// Both pictures of the same size, straight (not premultiplied) ARGB.
Comparison Compare(const QImage& expected, const QImage& actual)
{
    Comparison r;
    r.Picture = QImage(expected.size(), QImage::Format_RGB32);
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb e = expected.pixel(x, y);
            const int d = ChannelDifference(e, actual.pixel(x, y));
            // Unchanged pixels faint, so the differences stand out on the shape.
            const int grey = 200 + qGray(e) / 5;
            QRgb shown = qRgb(grey, grey, grey);
            if (d > 0) {
                ++r.Differing;
                shown = qRgb(255, 160, 0); // within the tolerance
            }
            if (d > MaxChannelDifference) {
                ++r.OverTolerance;
                shown = qRgb(255, 0, 255);
            }
            if (d > r.Largest) {
                r.Largest = d;
                r.Where = QPoint(x, y);
            }
            r.Picture.setPixel(x, y, shown);
        }
    return r;
}

bool WithinTolerance(const Comparison& c, QSize size)
{
    const qint64 pixels = qint64(size.width()) * size.height();
    return c.OverTolerance == 0 && qint64(c.Differing) * 1000 <= pixels * MaxDifferingPerMille;
}

std::string Describe(QRgb c)
{
    return QStringLiteral("(%1,%2,%3,%4)")
        .arg(qRed(c))
        .arg(qGreen(c))
        .arg(qBlue(c))
        .arg(qAlpha(c))
        .toStdString();
}

// --- The cases

struct BaselineTest : ::testing::TestWithParam<BaselineCase> {
    static void SetUpTestSuite()
    {
        if (Remaking())
            MakeInputsIfMissing();
    }

    QTemporaryDir scratch;

    // Renders the case as a person would type it, in inputs/.
    QString Render(const BaselineCase& c)
    {
        const QString out = scratch.filePath(QString::fromStdString(c.Name) + QStringLiteral(".png"));
        const CliResult r = RunCubiform(QStringList{QStringLiteral("render")} + c.Arguments +
                                            QStringList{QStringLiteral("-o"), out},
                                        BaselineFolder + QStringLiteral("/inputs"));
        EXPECT_EQ(r.Status, 0) << c.Name << ": " << c.Arguments.join(QLatin1Char(' ')).toStdString() << "\n"
                               << r.Err.toStdString();
        return r.Status == 0 ? out : QString();
    }

    // Keeps the actual picture and its differences where a person can look;
    // returns where they went.
    static std::string KeepForALook(const BaselineCase& c, const QString& actualFile, const Comparison& cmp)
    {
        QDir().mkpath(FailureFolder);
        const QString base = FailureFolder + QLatin1Char('/') + QString::fromStdString(c.Name);
        const QString actual = base + QStringLiteral(".actual.png");
        const QString difference = base + QStringLiteral(".difference.png");
        QFile::remove(actual);
        QFile::copy(actualFile, actual);
        if (!cmp.Picture.isNull())
            cmp.Picture.save(difference);
        return "\n  expected:   " + PicturePath(c.Name).toStdString() + "\n  actual:     " + actual.toStdString() +
               (cmp.Picture.isNull() ? std::string()
                                     : "\n  difference: " + difference.toStdString() +
                                           " (magenta: beyond the tolerance, orange: within it)");
    }

    static void ForgetOldFailure(const BaselineCase& c)
    {
        const QString base = FailureFolder + QLatin1Char('/') + QString::fromStdString(c.Name);
        QFile::remove(base + QStringLiteral(".actual.png"));
        QFile::remove(base + QStringLiteral(".difference.png"));
    }
};

TEST_P(BaselineTest, MatchesItsStoredPicture)
{
    const BaselineCase& c = GetParam();
    ASSERT_FALSE(c.Arguments.isEmpty()) << "cases.txt line " << c.Line << ": no arguments";
    const QString actualFile = Render(c);
    ASSERT_FALSE(actualFile.isEmpty());

    if (Remaking()) {
        QFile::remove(PicturePath(c.Name));
        ASSERT_TRUE(QFile::copy(actualFile, PicturePath(c.Name)));
        std::cout << "wrote " << PicturePath(c.Name).toStdString() << "\n";
        return;
    }

    const QImage expectedImage(PicturePath(c.Name));
    const QImage actualImage(actualFile);
    ASSERT_FALSE(expectedImage.isNull()) << "no stored picture " << PicturePath(c.Name).toStdString()
                                         << " (make it with tests/baselines/make-baselines.sh)";
    ASSERT_FALSE(actualImage.isNull()) << actualFile.toStdString();
    if (actualImage.size() != expectedImage.size()) {
        ADD_FAILURE() << c.Name << ": the picture is " << actualImage.width() << "x" << actualImage.height()
                      << ", the stored one " << expectedImage.width() << "x" << expectedImage.height()
                      << KeepForALook(c, actualFile, {});
        return;
    }
    // A transparent picture keeps its alpha; an opaque one gains none.
    EXPECT_EQ(actualImage.hasAlphaChannel(), expectedImage.hasAlphaChannel()) << c.Name;

    const Comparison cmp = Compare(expectedImage.convertToFormat(QImage::Format_ARGB32),
                                   actualImage.convertToFormat(QImage::Format_ARGB32));
    if (WithinTolerance(cmp, expectedImage.size())) {
        ForgetOldFailure(c);
        return;
    }
    const QPoint p = cmp.Where;
    ADD_FAILURE() << c.Name << ": " << cmp.Differing << " of " << expectedImage.width() * expectedImage.height()
                  << " pixels differ, " << cmp.OverTolerance << " by more than " << MaxChannelDifference
                  << "; the largest difference is " << cmp.Largest << " at (" << p.x() << "," << p.y()
                  << "): expected " << Describe(expectedImage.pixel(p)) << ", got "
                  << Describe(actualImage.pixel(p)) << KeepForALook(c, actualFile, cmp);
}

std::string CaseName(const ::testing::TestParamInfo<BaselineCase>& info)
{
    std::string name = info.param.Name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Stored, BaselineTest, ::testing::ValuesIn(ReadCases()), CaseName);

// The manifest and the folder agree: every case has a well-formed, unique
// name and its picture, and no picture is left over from a case now gone.
TEST(BaselineManifest, NamesEveryStoredPictureOnce)
{
    const std::vector<BaselineCase> cases = ReadCases();
    ASSERT_GE(cases.size(), 8u) << "cases.txt missing or nearly empty in " << BaselineFolder.toStdString();
    static const QRegularExpression wellFormed(QStringLiteral("^[a-z0-9]+(-[a-z0-9]+)*$"));
    std::set<QString> names;
    for (const BaselineCase& c : cases) {
        const QString name = QString::fromStdString(c.Name);
        EXPECT_TRUE(wellFormed.match(name).hasMatch()) << "cases.txt line " << c.Line << ": " << c.Name;
        EXPECT_TRUE(names.insert(name + QStringLiteral(".png")).second) << "cases.txt line " << c.Line
                                                                         << ": " << c.Name << " twice";
        EXPECT_FALSE(c.Arguments.contains(QStringLiteral("-o"))) << c.Name << ": -o is added by the test";
    }
    if (Remaking())
        return;
    for (const QString& file : QDir(BaselineFolder).entryList({QStringLiteral("*.png")}, QDir::Files))
        EXPECT_TRUE(names.count(file)) << file.toStdString() << " is in no line of cases.txt";
    for (const QString& name : names)
        EXPECT_TRUE(QFileInfo::exists(BaselineFolder + QLatin1Char('/') + name)) << name.toStdString()
                                                                                 << " was never made";
}

} // namespace
