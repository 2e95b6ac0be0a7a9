// Each command checks its own options against the ranges its help names.
#include "cli/Batch.h"
#include "cli/Turntable.h"
#include "engine/CommandOptions.h"
#include "serve/ServeSettings.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace {

int StatusOf(const std::function<void()>& parse)
{
    try {
        parse();
        return 0;
    } catch (const JobError& e) {
        return e.Status();
    }
}

} // namespace

TEST(CommandOptionsTest, EachCommandTakesTheEndsOfItsRangesAndNothingBeyond)
{
    const std::map<OptionCommand, std::function<void(const QString&)>> parsers = {
        {ForTurntable, [](const QString& a) { ParseTurntableArguments({a, QStringLiteral("-o"), QStringLiteral("s.gif")}); }},
        {ForBatch, [](const QString& a) { ParseBatchArguments({a, QStringLiteral("m.csv")}); }},
        {ForServe, [](const QString& a) { ParseServeArguments({a}); }},
    };
    int ranged = 0;
    for (const auto& [command, parse] : parsers)
        for (const RenderOptionEntry& entry : OwnOptionTable(command)) {
            const std::optional<OptionRange> r = entry.ValueRange();
            if (!r)
                continue;
            ++ranged;
            const auto with = [&](int n) {
                return StatusOf([&] { parse(entry.LongName() + QLatin1Char('=') + QString::number(n)); });
            };
            EXPECT_EQ(with(r->Min), 0) << entry.Name;
            EXPECT_EQ(with(r->Max), 0) << entry.Name;
            EXPECT_NE(with(r->Min - 1), 0) << entry.Name;
            EXPECT_NE(with(r->Max + 1), 0) << entry.Name;
        }
    EXPECT_GT(ranged, 0);
}
