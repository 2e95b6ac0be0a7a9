// Stored pictures of bundles, drawn in-process from "cubiform render
// --bundle" arguments over projects made here from the baselines' covers,
// with the classic baselines' tolerance. With CUBIFORM_REMAKE_BASELINES=1
// (tests/baselines/make-baselines.sh) they are written instead of compared.
#include "engine/BundleRender.h"
#include "engine/HeadlessBox.h"
#include "engine/RenderOptions.h"
#include "engine/RenderSession.h"
#include "formats/ProjectFile.h"
#include "support/StoredPicture.h"

#include <QDir>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>

namespace {

const QString Folder = QStringLiteral(CUBIFORM_BASELINES_DIR);

struct BundleCase {
    const char* Name;
    const char* Arguments; // after the projects
};

const BundleCase Cases[] = {
    {"bundle-row-looks", "--shadow 70 --shadow-softness 30 --reflection 35 --light 50 --fit 6 --size 192x96"},
    {"bundle-fan-transparent", "--arrange fan --spacing 5 --side-angle 0 --tilt-angle 0 --fit 4 --transparent --size 160x96"},
    {"bundle-stack-samples", "--arrange stack --fit 5 --shadow --samples 4 --size 80x128"},
};

// A project written into `folder`: its words are "render" options, the
// covers' names read from the baselines' inputs.
QString MakeProject(const QString& folder, const QString& name, const QString& words)
{
    QStringList args = QProcess::splitCommand(words);
    const QDir inputs(Folder + QStringLiteral("/inputs"));
    for (QString& word : args)
        if (word.endsWith(QLatin1String(".jpg")) || word.endsWith(QLatin1String(".bmp")))
            word = inputs.filePath(word);
    const QString file = folder + QLatin1Char('/') + name;
    const RenderOptions options = ParseRenderArguments(args + QStringList{QStringLiteral("--save-project"), file});
    HeadlessBox box;
    box.NewProject();
    box.ApplyOptions(options);
    EXPECT_TRUE(SaveProjectFile(file, EncodeProject(box.Capture())));
    return file;
}

// A software box with rounded edges, a CD and a soft-cover book with pages.
QStringList MakeProjects(const QString& folder)
{
    return {MakeProject(folder, QStringLiteral("a.pcf"),
                        QStringLiteral("--form 0 --front front.bmp --side side.jpg --top top.jpg --edge-radius 20")),
            MakeProject(folder, QStringLiteral("b.pcf"), QStringLiteral("--form 5 --front front.bmp --top top.jpg")),
            MakeProject(folder, QStringLiteral("c.pcf"),
                        QStringLiteral("--form 9 --front front.bmp --side side.jpg --book-pages"))};
}

QImage Render(const QStringList& projects, const QString& words)
{
    const RenderOptions options = ParseRenderArguments(QStringList{QStringLiteral("--bundle")} + projects +
                                                       QProcess::splitCommand(words) +
                                                       QStringList{QStringLiteral("-o"), QStringLiteral("x.png")});
    RenderSession session;
    PhaseClock clock;
    const QImage image = RenderOpenedBundle(session, OpenBundle(options), options, clock);
    return options.Transparent ? image.convertToFormat(QImage::Format_ARGB32) : image.convertToFormat(QImage::Format_RGB32);
}

struct BundleBaselines : ::testing::TestWithParam<BundleCase> {};

TEST_P(BundleBaselines, MatchStoredPicture)
{
    const BundleCase& c = GetParam();
    QTemporaryDir dir;
    ExpectStoredPicture(Render(MakeProjects(dir.path()), QString::fromLatin1(c.Arguments)), QStringLiteral("shapes"),
                        QString::fromLatin1(c.Name));
}

std::string CaseName(const ::testing::TestParamInfo<BundleCase>& info)
{
    std::string name = info.param.Name;
    std::replace(name.begin(), name.end(), '-', '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Stored, BundleBaselines, ::testing::ValuesIn(Cases), CaseName);

// A cover painted here: a colour field with a band and a disc, no text.
QString PaintCover(const QString& file, QColor field, QColor band, QColor disc)
{
    QImage cover(600, 800, QImage::Format_RGB32);
    cover.fill(field);
    QPainter painter(&cover);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(0, 520, 600, 120), band);
    painter.setPen(Qt::NoPen);
    painter.setBrush(disc);
    painter.drawEllipse(QPoint(300, 280), 170, 170);
    painter.end();
    EXPECT_TRUE(cover.save(file));
    return file;
}

// The manual's picture of a bundle, when CUBIFORM_BUNDLE_PICTURE names where
// it goes (scripts/make-docs-images.sh): the demo project with a CD and a
// book whose covers are painted here, in a row with the looks.
TEST(BundlePictures, BundleDemoForTheManual)
{
    const QString target = qEnvironmentVariable("CUBIFORM_BUNDLE_PICTURE");
    if (target.isEmpty())
        GTEST_SKIP() << "CUBIFORM_BUNDLE_PICTURE names no file";
    QTemporaryDir dir;
    const auto in = [&](const char* name) { return dir.filePath(QLatin1String(name)); };
    const QString cd = PaintCover(in("cd.png"), QColor(24, 60, 110), QColor(240, 190, 40), QColor(230, 235, 245));
    const QString book = PaintCover(in("book.png"), QColor(150, 30, 40), QColor(30, 30, 30), QColor(245, 220, 160));
    const QString spine = PaintCover(in("spine.png"), QColor(120, 20, 30), QColor(30, 30, 30), QColor(120, 20, 30));
    const QStringList projects = {
        QStringLiteral(CUBIFORM_DEMO_PROJECT),
        MakeProject(dir.path(), QStringLiteral("cd.pcf"), QStringLiteral("--form 5 --front %1 --top %1").arg(cd)),
        MakeProject(dir.path(), QStringLiteral("book.pcf"),
                    QStringLiteral("--form 8 --front %1 --side %2 --book-pages").arg(book, spine))};
    const QImage picture = Render(projects, QStringLiteral("--background #e8e8ec --shadow 75 --reflection 35 --light 60 "
                                                           "--smooth-textures --samples 16 --fit 6 --size 720x400"));
    ASSERT_TRUE(picture.save(target));
    std::cout << "wrote " << target.toStdString() << "\n";
}

} // namespace
