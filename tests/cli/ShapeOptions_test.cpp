// The shape options of "render" (and so of turntable and the manifests):
// read and range-checked, applied over the project's, and shown by info.
#include "support/CliErrors.h"
#include "cli/BatchManifest.h"
#include "engine/HeadlessBox.h"
#include "engine/OptionTable.h"
#include "cli/ProjectInfo.h"
#include "engine/RenderOptions.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

TEST(ShapeOptions, RadiusIsANumberInItsRangeAndTheSidesAreCoverSlots)
{
    const RenderOptions o = ParseRenderArguments(
        Args({"--edge-radius", "12.5", "--book-pages", "--back", "b.jpg", "--right=r.png", "--bottom", "u.tga", "-o",
              "x.png"}));
    EXPECT_EQ(*o.Shape.EdgeRadius, 12.5f);
    EXPECT_TRUE(o.Shape.BookPages);
    EXPECT_EQ(*o.Covers[3], "b.jpg");
    EXPECT_EQ(*o.Covers[4], "r.png");
    EXPECT_EQ(*o.Covers[5], "u.tga");
    EXPECT_FALSE(o.Covers[0].has_value());
    for (const char* edge : {"0", "100", "1e1"})
        EXPECT_NO_THROW(ParseRenderArguments(Args({"--edge-radius", edge, "-o", "x.png"}))) << edge;

    for (const char* bad : {"-0.5", "100.01", "abc", "nan", "inf", ""}) {
        const auto [status, text] = ParseFailure(Args({"--edge-radius", bad, "-o", "x.png"}));
        EXPECT_EQ(status, ExitBadInput) << bad;
        EXPECT_TRUE(text.startsWith(QStringLiteral("--edge-radius"))) << text.toStdString();
    }
    EXPECT_EQ(ParseFailure(Args({"-o", "x.png", "--back"})).first, ExitUsage);
}

TEST(ShapeOptions, OptionsOverrideTheProjectsShapeAndItsSidePictures)
{
    OpenedProject project;
    project.Folder = QStringLiteral("/p");
    project.Data.Shape = {.EdgeRadius = 30.0f, .BookPages = true};
    project.Data.Back = QStringLiteral("back.jpg");
    project.Data.Right = QStringLiteral("right.jpg");

    HeadlessBox kept;
    kept.OpenProject(project);
    kept.ApplyOptions(ParseRenderArguments(Args({"-o", "x.png"})));
    EXPECT_EQ(kept.Document.Params.Shape, project.Data.Shape);
    EXPECT_EQ(kept.CoverFileOf(3), QStringLiteral("/p/back.jpg"));

    HeadlessBox changed;
    changed.OpenProject(project);
    changed.ApplyOptions(ParseRenderArguments(Args({"--edge-radius", "0", "--right", "/art/r.png", "-o", "x.png"})));
    EXPECT_EQ(changed.Document.Params.Shape.EdgeRadius, 0.0f);
    EXPECT_TRUE(changed.Document.Params.Shape.BookPages); // only turned on by an option
    EXPECT_EQ(changed.CoverFileOf(3), QStringLiteral("/p/back.jpg"));
    EXPECT_EQ(changed.CoverFileOf(4), QStringLiteral("/art/r.png"));
    const ProjectData saved = changed.Capture();
    EXPECT_EQ(saved.Back, QStringLiteral("back.jpg")); // as the project stores it
    EXPECT_EQ(saved.Right, QStringLiteral("/art/r.png"));
}

TEST(ShapeOptions, ManifestColumnsInCsvAndJsonLines)
{
    const QString folder = QStringLiteral("/shots/in");
    const std::vector<BatchJob> csv = PrepareJobs(ParseManifest(
        "output,edge-radius,book-pages,back,bottom\na.png,7.5,yes,b.jpg,\nb.png,,no,,u.png\nc.png,101,,,\n",
        ManifestKind::Csv, folder));
    ASSERT_EQ(csv.size(), 3u);
    ASSERT_TRUE(csv[0].Options);
    EXPECT_EQ(*csv[0].Options->Shape.EdgeRadius, 7.5f);
    EXPECT_TRUE(csv[0].Options->Shape.BookPages);
    EXPECT_EQ(*csv[0].Options->Covers[3], QStringLiteral("/shots/in/b.jpg")); // from the manifest's folder
    EXPECT_FALSE(csv[0].Options->Covers[5].has_value());
    ASSERT_TRUE(csv[1].Options);
    EXPECT_FALSE(csv[1].Options->Shape.EdgeRadius.has_value());
    EXPECT_FALSE(csv[1].Options->Shape.BookPages);
    EXPECT_EQ(*csv[1].Options->Covers[5], QStringLiteral("/shots/in/u.png"));
    EXPECT_FALSE(csv[2].Options); // out of range: that row fails, the others go on
    EXPECT_TRUE(csv[2].Error.contains(QStringLiteral("--edge-radius"))) << csv[2].Error.toStdString();

    const std::vector<BatchJob> json = PrepareJobs(ParseManifest(
        "{\"output\": \"a.png\", \"edge-radius\": 12.25, \"book-pages\": true, \"right\": \"r.png\"}\n",
        ManifestKind::JsonLines, folder));
    ASSERT_EQ(json.size(), 1u);
    ASSERT_TRUE(json[0].Options) << json[0].Error.toStdString();
    EXPECT_EQ(*json[0].Options->Shape.EdgeRadius, 12.25f);
    EXPECT_TRUE(json[0].Options->Shape.BookPages);
    EXPECT_EQ(*json[0].Options->Covers[4], QStringLiteral("/shots/in/r.png"));
}

TEST(ShapeOptions, InfoShowsTheShapeBlock)
{
    ProjectData d;
    d.Shape = {.EdgeRadius = 2.5f, .BookPages = true};
    d.Bottom = QStringLiteral("under.png");
    const QJsonObject shape = QJsonDocument::fromJson(ProjectInfoJson(d)).object()[QStringLiteral("shape")].toObject();
    EXPECT_EQ(shape[QStringLiteral("edgeRadius")].toDouble(), 2.5);
    EXPECT_TRUE(shape[QStringLiteral("bookPages")].toBool());
    EXPECT_EQ(shape[QStringLiteral("back")].toString(), QString());
    EXPECT_EQ(shape[QStringLiteral("bottom")].toString(), QStringLiteral("under.png"));
    EXPECT_EQ(shape.size(), 5);
}

} // namespace
