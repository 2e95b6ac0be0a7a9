// The bundle's options on the command line and in manifests: its projects
// read up to the next option, checked for count, the options of one box
// refused, the arrangement and spacing only with a bundle.
#include "support/CliErrors.h"
#include "cli/BatchManifest.h"
#include "engine/BundleRender.h"
#include "engine/RenderOptions.h"
#include "render/BoxGroup.h"

#include <gtest/gtest.h>

namespace {

TEST(BundleOptions, ProjectsRunToTheNextOptionAndArrangementIsNamedOrNumbered)
{
    const RenderOptions o = ParseRenderArguments(
        Args({"--bundle", "a.pcf", "b.pcf", "c.pcf", "--arrange", "FAN", "--spacing", "35.5", "-o", "x.png"}));
    EXPECT_EQ(o.Bundle, Args({"a.pcf", "b.pcf", "c.pcf"}));
    EXPECT_EQ(o.Output, "x.png");
    EXPECT_EQ(*o.Arrange, static_cast<int>(GroupArrangement::Fan));
    EXPECT_EQ(*o.Spacing, 35.5f);

    const RenderOptions inline_ = ParseRenderArguments(Args({"-o", "x.png", "--bundle=a.pcf", "b.pcf", "--arrange=2"}));
    EXPECT_EQ(inline_.Bundle, Args({"a.pcf", "b.pcf"}));
    EXPECT_EQ(*inline_.Arrange, static_cast<int>(GroupArrangement::Stack));
    // Without a bundle nothing changes.
    EXPECT_TRUE(ParseRenderArguments(Args({"p.pcf", "-o", "x.png"})).Bundle.isEmpty());
}

TEST(BundleOptions, RefusesWhatABundleCannotBe)
{
    const auto usage = [](std::initializer_list<const char*> list, const char* says) {
        const auto [status, text] = ParseFailure(Args(list));
        EXPECT_EQ(status, ExitUsage) << text.toStdString();
        EXPECT_TRUE(text.contains(QLatin1String(says))) << text.toStdString();
    };
    usage({"--bundle", "a.pcf", "-o", "x.png"}, "2 to 6 projects, not 1");
    usage({"--bundle", "1.pcf", "2.pcf", "3.pcf", "4.pcf", "5.pcf", "6.pcf", "7.pcf", "-o", "x.png"}, "not 7");
    usage({"p.pcf", "--bundle", "a.pcf", "b.pcf", "-o", "x.png"}, "\"p.pcf\" is one too many");
    // Each box keeps its own kind, size, shape and covers.
    for (const char* option : {"--form=2", "--width=40", "--thickness=10", "--front=f.png", "--bottom=u.png",
                               "--edge-radius=5", "--book-pages"}) {
        const auto [status, text] = ParseFailure(Args({"--bundle", "a.pcf", "b.pcf", option, "-o", "x.png"}));
        EXPECT_EQ(status, ExitUsage) << option;
        EXPECT_TRUE(text.contains(QStringLiteral("does not apply to a bundle"))) << text.toStdString();
        EXPECT_TRUE(text.startsWith(QString::fromLatin1(option).section(QLatin1Char('='), 0, 0)))
            << text.toStdString();
    }
    usage({"--bundle", "a.pcf", "b.pcf", "--save-project", "s.pcf", "-o", "x.png"}, "--save-project");
    usage({"--bundle", "a.pcf", "b.pcf", "--export-model", "m.glb", "-o", "x.png"}, "--export-model");
    usage({"--bundle", "a.pcf", "b.pcf", "--export-model", "m.glb"}, "--export-model");
    usage({"--bundle", "a.pcf", "b.pcf", "--arrange", "stack", "--spacing", "10", "-o", "x.png"}, "a stack's boxes");
    // Read alone as every option is; the commands refuse them without a bundle.
    for (const char* option : {"--arrange=row", "--spacing=10"}) {
        const RenderOptions alone = ParseRenderArguments(Args({"p.pcf", option, "-o", "x.png"}));
        EXPECT_EQ(CommandErrorOf([&] { RefuseArrangementWithoutBundle(alone); }),
                  QString::fromLatin1(option).section(QLatin1Char('='), 0, 0).toStdString() + " needs --bundle");
    }
    EXPECT_NO_THROW(RefuseArrangementWithoutBundle(ParseRenderArguments(Args({"--bundle", "a", "b", "--arrange=1",
                                                                                  "-o", "x.png"}))));
    usage({"-o", "x.png", "--bundle"}, "--bundle needs a value");

    EXPECT_EQ(ParseFailure(Args({"--bundle", "a.pcf", "b.pcf", "--arrange", "zigzag", "-o", "x.png"})).first,
              ExitBadInput);
    EXPECT_EQ(ParseFailure(Args({"--bundle", "a.pcf", "b.pcf", "--spacing", "200.5", "-o", "x.png"})).first,
              ExitBadInput);
    // The view, the looks and the output are the group's.
    EXPECT_EQ(ParseFailure(Args({"--bundle", "a.pcf", "b.pcf", "--side-angle", "20", "--depth", "70", "--shadow",
                                 "--fit", "--transparent", "--size", "90x60", "-o", "x.png"}))
                  .first,
              0);
    // And so are the engine and its passes, seed and gloss.
    EXPECT_EQ(ParseFailure(Args({"--bundle", "a.pcf", "b.pcf", "--engine", "raytrace", "--passes", "8", "--seed", "3",
                                 "--gloss", "40", "--time-limit", "5", "-o", "x.png"}))
                  .first,
              0);
}

TEST(BundleOptions, ManifestCellsListTheProjectsFromTheManifestsFolder)
{
    const QString folder = QStringLiteral("/shots");
    const auto row = [&](const QByteArray& text, ManifestKind kind) {
        const Manifest m = ParseManifest(text, kind, folder);
        EXPECT_EQ(m.Rows.size(), 1u);
        return m.Rows.front();
    };
    const QStringList expected = Args({"--bundle", "/shots/a.pcf", "/p/b.pcf", "--arrange=stack", "-o", "/shots/x.png"});
    EXPECT_EQ(RowArguments(row("bundle,arrange,output\n\"a.pcf; /p/b.pcf\",stack,x.png\n", ManifestKind::Csv), folder),
              expected);
    // A JSON object's keys come in their sorted order.
    EXPECT_EQ(RowArguments(row(R"({"bundle": ["a.pcf", "/p/b.pcf"], "arrange": "stack", "output": "x.png"})",
                               ManifestKind::JsonLines),
                           folder),
              Args({"--arrange=stack", "--bundle", "/shots/a.pcf", "/p/b.pcf", "-o", "/shots/x.png"}));

    // Only the bundle takes a list, and only of names without the separator.
    for (const QByteArray& bad : {QByteArray(R"({"bundle": ["a.pcf", 3], "output": "x.png"})"),
                                  QByteArray(R"({"bundle": ["a;b.pcf", "c.pcf"], "output": "x.png"})"),
                                  QByteArray(R"({"front": ["a.png"], "output": "x.png"})")}) {
        const Manifest m = ParseManifest(bad, ManifestKind::JsonLines, folder);
        ASSERT_EQ(m.Rows.size(), 1u);
        EXPECT_FALSE(m.Rows.front().Error.isEmpty()) << bad.toStdString();
    }
}

} // namespace
