// --fit on the command line and as a manifest column: its bare default,
// its range, and an off that is no margin of 0.
#include "cli/BatchManifest.h"
#include "support/CliErrors.h"

#include <gtest/gtest.h>

namespace {

std::optional<int> FitOf(QStringList args)
{
    return ParseRenderArguments(args << "-o" << "x.png").Fit;
}

} // namespace

TEST(FitOptions, BareGivenOrAbsent)
{
    EXPECT_EQ(FitOf({}), std::nullopt);
    EXPECT_EQ(FitOf({"--fit"}), 8);
    EXPECT_EQ(FitOf({"--fit", "20"}), 20);
    EXPECT_EQ(FitOf({"--fit=0"}), 0);
    EXPECT_EQ(FitOf({"--fit", "45"}), 45);
    // A project's name after it is the project, as after a bare look.
    const RenderOptions o = ParseRenderArguments({"--fit", "box.pcf", "-o", "x.png"});
    EXPECT_EQ(o.Fit, 8);
    EXPECT_EQ(o.Project, "box.pcf");
}

TEST(FitOptions, AMarginOutsideItsRangeOrNoWholeNumberIsRefusedByName)
{
    for (const char* bad : {"46", "-1", "100", "abc", "7.5", ""}) {
        const auto [status, text] = ParseFailure({QStringLiteral("--fit=") + bad, "-o", "x.png"});
        EXPECT_EQ(status, ExitBadInput) << bad;
        EXPECT_EQ(text, QStringLiteral("--fit \"%1\": not a whole number 0..45 (percent of the picture)").arg(bad));
    }
    EXPECT_EQ(ParseFailure({"--fit", "50", "-o", "x.png"}).second,
              "--fit \"50\": not a whole number 0..45 (percent of the picture)");
}

TEST(FitOptions, AManifestCellTurnsItOnOffOrGivesTheMargin)
{
    const Manifest csv = ParseManifest("output,fit\na.png,yes\nb.png,no\nc.png,12\nd.png,\ne.png,lots\nf.png,0\n",
                                       ManifestKind::Csv, QStringLiteral("/shots"));
    const std::vector<BatchJob> jobs = PrepareJobs(csv);
    ASSERT_EQ(jobs.size(), 6u);
    for (std::size_t i : {0u, 1u, 2u, 3u, 5u})
        ASSERT_TRUE(jobs[i].Options) << i << ": " << jobs[i].Error.toStdString();
    EXPECT_EQ(jobs[0].Options->Fit, 8);
    EXPECT_EQ(jobs[1].Options->Fit, std::nullopt) << "off is no fit, not a margin of 0";
    EXPECT_EQ(jobs[2].Options->Fit, 12);
    EXPECT_EQ(jobs[3].Options->Fit, std::nullopt);
    EXPECT_EQ(jobs[4].Error, "--fit \"lots\": not a whole number 0..45 (percent of the picture)");
    EXPECT_EQ(jobs[5].Options->Fit, 0);

    const Manifest json = ParseManifest("{\"output\": \"a.png\", \"fit\": true}\n{\"output\": \"b.png\", \"fit\": false}\n"
                                        "{\"output\": \"c.png\", \"fit\": 30}\n",
                                        ManifestKind::JsonLines, QStringLiteral("/shots"));
    const std::vector<BatchJob> rows = PrepareJobs(json);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].Options->Fit, 8);
    EXPECT_EQ(rows[1].Options->Fit, std::nullopt);
    EXPECT_EQ(rows[2].Options->Fit, 30);
}
