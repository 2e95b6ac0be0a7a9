// Stored pictures of rounded boxes, drawn in-process from "cubiform render"
// arguments and an edge radius, with the same covers and the same tolerance
// as the classic baselines (tests/cli/Baselines_gltest.cpp). With
// CUBIFORM_REMAKE_BASELINES=1 (tests/baselines/make-baselines.sh) they are
// written instead of compared.
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/RenderOptions.h"
#include "support/StoredPicture.h"

#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace {

const QString Folder = QStringLiteral(CUBIFORM_BASELINES_DIR);

struct ShapeCase {
    const char* Name;
    const char* Arguments;
    float EdgeRadius;
    bool BookPages = false;
};

const ShapeCase Cases[] = {
    {"rounded-software-looks",
     "--form 0 --front front.bmp --side side.jpg --top top.jpg --shadow 70 --shadow-softness 20 --reflection 40 "
     "--light 60 --size 128x128",
     30},
    {"rounded-book-tilted",
     "--form 8 --front front.bmp --side side.jpg --reflection --light 40 --shadow 50 --shadow-softness 0 "
     "--size 96x128",
     40},
    {"rounded-card-transparent", "--form 3 --fog 1 --front front.bmp --transparent --size 96x120", 25},
    {"rounded-cd-samples", "--form 5 --front front.bmp --top top.jpg --side side.jpg --samples 4 --size 128x96", 100},
    // Books with pages: the fore-edge and head of a hard cover, the spine and
    // head of a soft cover, the top picture nowhere.
    {"book-hard-looks",
     "--form 8 --front front.bmp --side side.jpg --top top.jpg --side-angle 325 --tilt-angle 30 --depth 40 "
     "--shadow 60 --reflection 30 --light 50 --size 112x128",
     0, true},
    {"book-soft-looks",
     "--form 9 --front front.bmp --side side.jpg --top top.jpg --side-angle 30 --tilt-angle 40 --depth 40 "
     "--reflection 40 --light 60 --smooth-textures --samples 4 --size 112x128",
     0, true},
};

QImage Render(const ShapeCase& c)
{
    QStringList words = QProcess::splitCommand(QString::fromLatin1(c.Arguments));
    const QDir inputs(Folder + QStringLiteral("/inputs"));
    for (QString& word : words)
        if (word.endsWith(QLatin1String(".jpg")) || word.endsWith(QLatin1String(".bmp")))
            word = inputs.filePath(word);
    const RenderOptions options = ParseRenderArguments(words + QStringList{QStringLiteral("-o"), QStringLiteral("x.png")});
    HeadlessBox box;
    box.NewProject();
    box.ApplyOptions(options);
    box.Document.Params.Shape.EdgeRadius = c.EdgeRadius;
    box.Document.Params.Shape.BookPages = c.BookPages;
    RenderRequest request;
    request.Size = box.OutputSize(options);
    request.Samples = options.Samples;
    request.Transparent = options.Transparent;
    PendingCovers covers(box);
    PhaseClock clock;
    QImage image = RenderBox(box, covers, request, clock);
    return request.Transparent ? image.convertToFormat(QImage::Format_ARGB32)
                               : image.convertToFormat(QImage::Format_RGB32);
}

struct ShapeBaselines : ::testing::TestWithParam<ShapeCase> {};

TEST_P(ShapeBaselines, MatchStoredPicture)
{
    const ShapeCase& c = GetParam();
    ExpectStoredPicture(Render(c), QStringLiteral("shapes"), QString::fromLatin1(c.Name));
}

std::string CaseName(const ::testing::TestParamInfo<ShapeCase>& info)
{
    std::string name = info.param.Name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Stored, ShapeBaselines, ::testing::ValuesIn(Cases), CaseName);

// A picture for the manual from the demo project: written where the variable `env`
// names (scripts/make-docs-images.sh), else skipped.
void WriteDemoPicture(const char* env, const char* arguments, float edgeRadius, bool bookPages)
{
    const QString target = qEnvironmentVariable(env);
    if (target.isEmpty())
        GTEST_SKIP() << env << " names no file";
    const QStringList words = QProcess::splitCommand(
        QStringLiteral("%1 %2 -o x.png").arg(QStringLiteral(CUBIFORM_DEMO_PROJECT), QString::fromLatin1(arguments)));
    const RenderOptions options = ParseRenderArguments(words);
    HeadlessBox box;
    box.OpenProject(ReadProject(options.Project));
    box.ApplyOptions(options);
    if (edgeRadius > 0) // the project's own shape otherwise
        box.Document.Params.Shape.EdgeRadius = edgeRadius;
    if (bookPages)
        box.Document.Params.Shape.BookPages = true;
    RenderRequest request;
    request.Size = QSize(480, 480);
    request.Samples = 16;
    PendingCovers covers(box);
    PhaseClock clock;
    ASSERT_TRUE(RenderBox(box, covers, request, clock).convertToFormat(QImage::Format_RGB32).save(target));
    std::cout << "wrote " << target.toStdString() << "\n";
}

// The rounded box.
TEST(ShapePictures, RoundedDemoForTheManual)
{
    WriteDemoPicture("CUBIFORM_ROUNDED_PICTURE",
                     "--background #e8e8ec --depth 45 --vertical=-5 --shadow 75 --reflection 35 --light 60 "
                     "--smooth-textures",
                     25, false);
}

// A hard-cover book with its pages, from the demo project's covers.
TEST(ShapePictures, BookDemoForTheManual)
{
    WriteDemoPicture("CUBIFORM_BOOK_PICTURE",
                     "--form 8 --side-angle 325 --tilt-angle 24 --depth 47 --vertical=1 --background #e8e8ec "
                     "--shadow 75 --reflection 35 --light 60 --smooth-textures",
                     0, true);
}

} // namespace
