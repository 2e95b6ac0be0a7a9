// The option table against everything that is read from it or must agree
// with it: the document's limits, the usage, info and the batch manifest's
// columns.
#include "cli/BatchManifest.h"
#include "cli/CommandHelp.h"
#include "engine/OptionTable.h"
#include "cli/ProjectInfo.h"
#include "engine/RenderOptions.h"
#include "document/BoxDocument.h"
#include "document/BoxLooks.h"
#include "document/PrintBook.h"
#include "formats/ProjectFile.h"
#include "raytrace/RayRender.h"
#include "render/BoxGroup.h"
#include "render/ViewFit.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

#include <map>

namespace {

std::vector<const RenderOptionEntry*> Listed()
{
    std::vector<const RenderOptionEntry*> listed;
    for (const RenderOptionEntry& entry : RenderOptionTable())
        if (entry.Section != OptionSection::Hidden)
            listed.push_back(&entry);
    return listed;
}

QStringList WrittenNames(const RenderOptionEntry& entry)
{
    QStringList names{entry.LongName()};
    if (entry.Short)
        names << QLatin1String(entry.Short);
    return names;
}

// How often an option's name stands in a text as a word of its own.
int Occurrences(const QString& text, const QString& name)
{
    const QRegularExpression word(
        QStringLiteral("(?<![\\w-])%1(?![\\w-])").arg(QRegularExpression::escape(name)));
    int n = 0;
    for (auto it = word.globalMatch(text); it.hasNext(); it.next())
        ++n;
    return n;
}

std::pair<int, QString> ParseFailure(const QStringList& args)
{
    try {
        ParseRenderArguments(args);
        return {0, {}};
    } catch (const JobError& e) {
        return {e.Status(), e.Text()};
    }
}

QString ValueAt(const RenderOptionEntry& entry, int n)
{
    return entry.Kind == OptionKind::Size ? QStringLiteral("%1x%1").arg(n) : QString::number(n);
}

} // namespace

TEST(OptionTableTest, NamesAreUniqueAndEveryOptionHasItsWords)
{
    QSet<QString> names;
    const std::vector<RenderOptionEntry>& table = RenderOptionTable();
    for (std::size_t i = 0; i < table.size(); ++i) {
        const RenderOptionEntry& entry = table[i];
        for (const QString& name : WrittenNames(entry)) {
            EXPECT_FALSE(names.contains(name)) << name.toStdString();
            names.insert(name);
        }
        // "project" is the column of the render's one unnamed argument.
        EXPECT_NE(QLatin1String(entry.Name), QLatin1String("project"));
        EXPECT_EQ(entry.ValueName == nullptr, entry.Arity == OptionArity::None) << entry.Name;
        EXPECT_EQ(entry.Bare.has_value(), entry.Arity == OptionArity::Optional) << entry.Name;
        EXPECT_EQ(OptionChoices(entry).isEmpty(), entry.Kind != OptionKind::Choice) << entry.Name;
        // Words left out are shared with the next option on the same line.
        if (QByteArray(entry.Help).isEmpty()) {
            ASSERT_LT(i + 1, table.size()) << entry.Name;
            EXPECT_NE(table[i + 1].UsageColumn, 0) << entry.Name;
            EXPECT_EQ(table[i + 1].Section, entry.Section) << entry.Name;
        }
        EXPECT_FALSE(entry.HelpText().contains(QLatin1Char('{'))) << entry.HelpText().toStdString();
    }
}

TEST(OptionTableTest, RangesAreTheDocumentsLimits)
{
    using namespace SliderLimits;
    using namespace LookLimits;
    const OptionRange size{SizeMin, SizeMax}, offset{OffsetMin, OffsetMax},
        strength{MinStrength, MaxStrength};
    const std::map<QString, OptionRange> expected = {
        {"form", {0, static_cast<int>(FormCaptions().size()) - 1}},
        {"fog", {0, static_cast<int>(FogCaptions().size()) - 1}},
        {"width", size},
        {"height", size},
        {"thickness", size},
        {"depth", {DepthMin, DepthMax}},
        {"vertical", offset},
        {"horizontal", offset},
        {"turn", {TurnMin, TurnMax}},
        {"eye", {EyeMin, EyeMax}},
        {"shadow", strength},
        {"shadow-softness", strength},
        {"reflection", strength},
        {"light", strength},
        {"lens", {MinLensMm, MaxLensMm}},
        {"samples", {SampleCounts.front(), SampleCounts.back()}},
        {"size", {1, MaxOutputSide}},
        {"scale", {1, MaxScale}},
        {"quality", {MinJpegQuality, MaxJpegQuality}},
        {"dpi", {MinDpi, MaxDpi}},
        {"edge-radius", {static_cast<int>(ShapeLimits::MinEdgeRadius), static_cast<int>(ShapeLimits::MaxEdgeRadius)}},
        {"fit", {FitLimits::MinMargin, FitLimits::MaxMargin}},
        {"engine", {0, 1}},
        {"passes", {RayLimits::MinPasses, RayLimits::MaxPasses}},
        {"time-limit", {0, MaxTimeLimit}},
        {"seed", {0, 1000000000}},
        {"gloss", {0, RayLimits::MaxGloss}},
        {"denoise", {0, 1}},
        {"aperture", {1, 32}},
        {"arrange", {0, 2}},
        {"spacing", {GroupLimits::MinSpacing, GroupLimits::MaxSpacing}},
        {"pages", {MinPages, MaxPages}},
    };
    int ranged = 0;
    for (const RenderOptionEntry& entry : RenderOptionTable()) {
        const std::optional<OptionRange> range = entry.ValueRange();
        if (!range)
            continue;
        ++ranged;
        const auto it = expected.find(QLatin1String(entry.Name));
        ASSERT_NE(it, expected.end()) << entry.Name;
        EXPECT_EQ(range->Min, it->second.Min) << entry.Name;
        EXPECT_EQ(range->Max, it->second.Max) << entry.Name;

        // The parser checks the same range the usage names.
        const QString name = entry.LongName();
        // The ray tracer's own options need it chosen.
        const bool rayOption = QByteArray(entry.Name) == "passes" || QByteArray(entry.Name) == "time-limit" ||
                               QByteArray(entry.Name) == "seed" || QByteArray(entry.Name) == "gloss" ||
                               QByteArray(entry.Name) == "denoise" || QByteArray(entry.Name) == "aperture";
        const QStringList output = QStringList{QStringLiteral("-o"), QStringLiteral("x.jpg")} +
                                   (rayOption ? QStringList{QStringLiteral("--engine"), QStringLiteral("raytrace")}
                                              : QStringList{});
        EXPECT_EQ(ParseFailure(QStringList{name + '=' + ValueAt(entry, range->Min)} + output).first,
                  0)
            << entry.Name;
        EXPECT_EQ(ParseFailure(QStringList{name + '=' + ValueAt(entry, range->Max)} + output).first,
                  0)
            << entry.Name;
        for (int outside : {range->Min - 1, range->Max + 1}) {
            // The aperture's 0 closes the lens; half a stop below f/1 is outside.
            const QString value = QByteArray(entry.Name) == "aperture" && outside == 0 ? QStringLiteral("0.5")
                                                                                    : ValueAt(entry, outside);
            const auto [status, text] = ParseFailure(QStringList{name + '=' + value} + output);
            EXPECT_EQ(status, ExitBadInput) << entry.Name;
            EXPECT_TRUE(text.contains(QStringLiteral("%1..%2").arg(range->Min).arg(range->Max)))
                << text.toStdString();
        }
    }
    EXPECT_EQ(ranged, static_cast<int>(expected.size()));
    EXPECT_EQ(FindRenderOption("--shadow")->Bare, DefaultShadow);
    EXPECT_EQ(FindRenderOption("--reflection")->Bare, DefaultReflection);
    EXPECT_EQ(FindRenderOption("--light")->Bare, DefaultLight);
    EXPECT_EQ(FindRenderOption("--shadow-softness")->Default, DefaultSoftness);
    EXPECT_EQ(FindRenderOption("--quality")->Default, DefaultJpegQuality);
}

TEST(OptionTableTest, TheUsageListsEveryOptionOnceWithItsRange)
{
    // The option list, without the usage lines above it (which name -o too).
    const auto optionList = [](const QString& help) {
        const qsizetype begin = help.indexOf(QLatin1String("Options, applied"));
        return help.mid(begin, help.indexOf(QLatin1String("\n\n"), begin) - begin);
    };
    for (const QString& command : {QStringLiteral("render"), QStringLiteral("turntable")}) {
        const QString list = optionList(CommandHelp(command));
        for (const RenderOptionEntry& entry : RenderOptionTable())
            for (const QString& name : WrittenNames(entry))
                EXPECT_EQ(Occurrences(list, name), entry.Section == OptionSection::Hidden ? 0 : 1)
                    << command.toStdString() << " " << name.toStdString();
    }
    const QString usage = CommandHelp(QStringLiteral("render"));
    for (const RenderOptionEntry* entry : Listed()) {
        if (const std::optional<OptionRange> r = entry->ValueRange()) {
            EXPECT_GE(Occurrences(entry->HelpText(), QString::number(r->Min)), 1) << entry->Name;
            EXPECT_GE(Occurrences(entry->HelpText(), QString::number(r->Max)), 1) << entry->Name;
        }
    }
    EXPECT_TRUE(usage.contains(QStringLiteral("1 (off), 2, 4, 8, 16 or 32")));
    EXPECT_TRUE(usage.contains(QStringLiteral("(alone: 60)")));
    EXPECT_EQ(optionList(UsageText()), optionList(usage));
}

TEST(OptionTableTest, InfoHasEveryKeyOnce)
{
    const QByteArray json = ProjectInfoJson(ProjectData{});
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    const QJsonObject looks = root.value(QStringLiteral("looks")).toObject();
    const QJsonObject shape = root.value(QStringLiteral("shape")).toObject();
    const QJsonObject render = root.value(QStringLiteral("render")).toObject();
    std::map<InfoBlock, std::pair<const QJsonObject*, int>> blocks{
        {InfoBlock::Top, {&root, 0}}, {InfoBlock::Looks, {&looks, 0}}, {InfoBlock::Shape, {&shape, 0}},
        {InfoBlock::Engine, {&render, 0}}};
    for (const RenderOptionEntry& entry : RenderOptionTable()) {
        EXPECT_EQ(entry.Json == InfoBlock::None, entry.Info == nullptr) << entry.Name;
        for (const QString& key : entry.Keys()) {
            EXPECT_EQ(
                Occurrences(QString::fromUtf8(json), QLatin1Char('"') + key + QLatin1Char('"')), 1)
                << key.toStdString();
            auto& [object, count] = blocks.at(entry.Json);
            EXPECT_TRUE(object->contains(key)) << key.toStdString();
            ++count;
        }
    }
    // version, outputFolder, sizeClass and the looks, shape, render and sides blocks are the project's own.
    EXPECT_EQ(root.size(), blocks[InfoBlock::Top].second + 7);
    EXPECT_EQ(looks.size(), blocks[InfoBlock::Looks].second);
    EXPECT_EQ(shape.size(), blocks[InfoBlock::Shape].second);
    EXPECT_EQ(render.size(), blocks[InfoBlock::Engine].second);
}

TEST(OptionTableTest, ManifestColumnsAreTheTablesAndValuesFollowTheArity)
{
    for (const RenderOptionEntry& entry : RenderOptionTable()) {
        const QByteArray csv = "output," + QByteArray(entry.Name) + "\nx.png,\n";
        const QString name = QString::fromLatin1(entry.Name);
        bool accepted = true;
        try {
            PrepareJobs(ParseManifest(name == QLatin1String("output") ? "output\nx.png\n" : csv,
                                      ManifestKind::Csv, QStringLiteral("/tmp")));
        } catch (const JobError& e) {
            accepted = false;
            EXPECT_TRUE(e.Text().contains(QStringLiteral("unknown column")))
                << e.Text().toStdString();
        }
        EXPECT_EQ(accepted, entry.ManifestColumn) << entry.Name;

        const QString written = entry.LongName();
        const int withNumber = RenderOptionValuesAt({written, QStringLiteral("5")}, 0);
        const int beforeOption = RenderOptionValuesAt({written, QStringLiteral("-o")}, 0);
        EXPECT_EQ(withNumber, entry.Arity == OptionArity::None ? 0 : 1) << entry.Name;
        EXPECT_EQ(beforeOption, entry.Arity == OptionArity::Required ? 1 : 0) << entry.Name;
    }
}

TEST(OptionTableTest, EachLookOptionSetsItsOwnFieldOverTheProjects)
{
    const BoxLooks project{10, 20, 30, 40, false, 2};
    int looks = 0;
    for (const RenderOptionEntry& entry : RenderOptionTable()) {
        if (entry.Kind == OptionKind::Strength) {
            EXPECT_TRUE(entry.Look) << entry.Name;
        }
        if (!entry.Look)
            continue;
        ++looks;
        const RenderOptions o =
            ParseRenderArguments({entry.LongName() + QStringLiteral("=77"), "-o", "x.png"});
        BoxLooks expected = project;
        expected.*(entry.Look->Field) = 77;
        EXPECT_EQ(LooksWithOptions(project, o), expected) << entry.Name;
    }
    EXPECT_EQ(looks, 5); // four strengths and the lens
    EXPECT_EQ(LooksWithOptions(project, ParseRenderArguments({"-o", "x.png"})), project);
}
