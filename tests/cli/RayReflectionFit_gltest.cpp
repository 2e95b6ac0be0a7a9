// The ray tracer's reflection fades out with height as the raster's does,
// so a fitted picture, framed for what the raster draws, holds it: nothing
// a person sees reaches the bottom rows, in either engine.
#include "cli/CliRunner.h"
#include "support/TempFiles.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {

struct ReflectionCase {
    const char* Name;
    const char* Arguments;
};
const ReflectionCase Cases[] = {
    {"plain box", "--form 2"},
    {"hard cover with pages", "--form 8 --book-pages"},
    {"tall box looked down on", "--form 2 --eye 20 --height 95"},
};

// Pixels of the bottom rows a person would see (alpha at least about 3%).
int SeenInBottomRows(const QImage& picture, int rows)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    int seen = 0;
    for (int y = image.height() - rows; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            seen += qAlpha(image.pixel(x, y)) >= 8;
    return seen;
}

struct ReflectionFitTest : TempFiles {};

} // namespace

TEST_F(ReflectionFitTest, TheFittedReflectionStaysInsideThePictureInBothEngines)
{
    for (const ReflectionCase& c : Cases) {
        for (const char* engine : {"raster", "raytrace"}) {
            SCOPED_TRACE(std::string(c.Name) + ", " + engine);
            const QString out = Path(QStringLiteral("shot.png"));
            QStringList arguments = QStringList{QStringLiteral("render")} +
                                    QString::fromLatin1(c.Arguments).split(QLatin1Char(' '));
            arguments << QStringLiteral("--engine") << QString::fromLatin1(engine)
                      << QStringLiteral("--reflection") << QStringLiteral("40") << QStringLiteral("--fit")
                      << QStringLiteral("--transparent") << QStringLiteral("--size") << QStringLiteral("120x120")
                      << QStringLiteral("-o") << out;
            const CliResult r = RunCubiform(arguments, dir.path());
            ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
            EXPECT_EQ(SeenInBottomRows(QImage(out), 3), 0);
        }
    }
}
