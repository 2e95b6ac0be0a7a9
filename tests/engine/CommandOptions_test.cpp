// How a command reads its own options by its table: each once, with the
// value its arity asks for, and anything else handed back.
#include "engine/CommandOptions.h"
#include "engine/JobError.h"

#include <gtest/gtest.h>

TEST(ReadOptionsTest, OptionsTakeTheirValuesOnceAndTheRestIsHandedBack)
{
    const struct {
        QStringList args;
        const char* read; // what was taken, "NAME=VALUE" or "NAME", and handed back, "+WORD"
        const char* refused;
    } cases[] = {
        {{"-j4", "m.csv", "--report=r.csv"}, "jobs=4 +m.csv report=r.csv", ""},
        {{"--jobs", "2", "--fail-fast", "--shard", "1/2"}, "jobs=2 fail-fast shard=1/2", ""},
        {{"--jobs=2", "-j3"}, "jobs=2", "-j is given twice"},
        {{"--report"}, "", "--report needs a value"},
        {{"--fail-fast=yes"}, "", "--fail-fast takes no value"},
        {{"--frames", "x", "-j", "1"}, "+--frames +x jobs=1", ""}, // not batch's: handed back
    };
    for (const auto& c : cases) {
        QStringList read;
        QString refused;
        try {
            ReadOptions(
                c.args, Entries(OwnOptionTable(ForBatch)),
                [&](const RenderOptionEntry& entry, const QString&, const std::optional<QString>& value) {
                    read << QLatin1String(entry.Name) + (value ? QLatin1Char('=') + *value : QString());
                },
                [&](qsizetype& i) { read << QLatin1Char('+') + c.args[i]; });
        } catch (const JobError& e) {
            refused = e.Text();
        }
        EXPECT_EQ(read.join(QLatin1Char(' ')), QString::fromUtf8(c.read)) << c.args.join(' ').toStdString();
        EXPECT_EQ(refused, QString::fromUtf8(c.refused)) << c.args.join(' ').toStdString();
    }
}
