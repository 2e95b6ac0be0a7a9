// Manifests of "cubiform batch": the CSV and JSON lines readers and the way
// a row becomes the arguments of "render".
#include "support/CliErrors.h"
#include "cli/BatchManifest.h"

#include <gtest/gtest.h>

namespace {

const QString Folder = QStringLiteral("/shots/in");

Manifest Csv(const QByteArray& text) { return ParseManifest(text, ManifestKind::Csv, Folder); }
Manifest Json(const QByteArray& text) { return ParseManifest(text, ManifestKind::JsonLines, Folder); }

QString Cell(const ManifestRow& row, const char* name)
{
    for (const auto& [column, value] : row.Cells)
        if (column == QLatin1String(name))
            return value;
    return QStringLiteral("<none>");
}


} // namespace

TEST(BatchCsv, QuotingLineEndsAndLineNumbers)
{
    // BOM, CRLF, a quoted comma, an escaped quote, a newline inside quotes
    // and a blank line: the records start on lines 2, 4 and 6.
    const Manifest m = Csv("\xEF\xBB\xBF" "front,output\r\n"
                           "\"a,b.jpg\",\"say \"\"hi\"\".png\"\r\n"
                           "\"two\r\nlines.jpg\",c.png\r\n"
                           "\r\n"
                           "d.jpg,\"\"\n");
    ASSERT_EQ(m.Rows.size(), 3u);
    EXPECT_EQ(m.Folder, Folder);
    EXPECT_EQ(m.Rows[0].Line, 2);
    EXPECT_EQ(Cell(m.Rows[0], "front"), QStringLiteral("a,b.jpg"));
    EXPECT_EQ(Cell(m.Rows[0], "output"), QStringLiteral("say \"hi\".png"));
    EXPECT_EQ(m.Rows[1].Line, 3);
    EXPECT_EQ(Cell(m.Rows[1], "front"), QStringLiteral("two\nlines.jpg"));
    EXPECT_EQ(m.Rows[2].Line, 6);
    EXPECT_EQ(Cell(m.Rows[2], "output"), QString());
    for (const ManifestRow& row : m.Rows)
        EXPECT_TRUE(row.Error.isEmpty()) << row.Error.toStdString();
}

TEST(BatchCsv, HeaderNamesAreTrimmedAndLowered_RowsOfTheWrongWidthFailAlone)
{
    const Manifest m = Csv("Front , OUTPUT\na.jpg,a.png\nb.jpg\nc.jpg,c.png,extra\nd.jpg,d.png");
    ASSERT_EQ(m.Rows.size(), 4u);
    EXPECT_EQ(Cell(m.Rows[0], "output"), QStringLiteral("a.png"));
    EXPECT_EQ(m.Rows[1].Error, QStringLiteral("1 fields where the header has 2"));
    EXPECT_EQ(m.Rows[2].Error, QStringLiteral("3 fields where the header has 2"));
    EXPECT_TRUE(m.Rows[3].Error.isEmpty()); // no line end at the end of the file
    EXPECT_EQ(Cell(m.Rows[3], "output"), QStringLiteral("d.png"));
}

TEST(BatchCsv, WhatSpoilsTheWholeFile)
{
    EXPECT_EQ(CommandErrorOf([] { Csv(""); }), "the manifest is empty (it needs a header row)");
    EXPECT_EQ(CommandErrorOf([] { Csv("front,output\n\"open.jpg,x.png\n"); }), "line 2: a quoted field is not closed");
    EXPECT_EQ(CommandErrorOf([] { Csv("front,output\nok.jpg,ok.png\n\"a\"b,x.png\n"); }),
              "line 3: text after the closing quote of a field");
    EXPECT_EQ(CommandErrorOf([] { Csv("front,,output\n"); }), "line 1: a column has no name");
    EXPECT_EQ(CommandErrorOf([] { Csv("front,Front\n"); }), "line 1: column \"front\" is named twice");
}

TEST(BatchJsonLines, ValuesBlankLinesAndBadLines)
{
    const Manifest m = Json("{\"front\": \"a.jpg\", \"size\": 900, \"side-angle\": 12.5, \"transparent\": true,"
                            " \"top\": null, \"output\": \"a.png\"}\r\n"
                            "\n   \n"
                            "{\"output\": [1]}\n"
                            "not json\n"
                            "[1, 2]\n"
                            "{\"output\": \"\xC3\xA9t\xC3\xA9.png\"}");
    ASSERT_EQ(m.Rows.size(), 5u);
    EXPECT_EQ(m.Rows[0].Line, 1);
    EXPECT_EQ(Cell(m.Rows[0], "size"), QStringLiteral("900"));
    EXPECT_EQ(Cell(m.Rows[0], "side-angle"), QStringLiteral("12.5"));
    EXPECT_EQ(Cell(m.Rows[0], "transparent"), QStringLiteral("true"));
    EXPECT_EQ(Cell(m.Rows[0], "top"), QString());
    EXPECT_EQ(m.Rows[1].Line, 4);
    EXPECT_EQ(m.Rows[1].Error, QStringLiteral("output: not a string, number or true/false"));
    EXPECT_TRUE(m.Rows[2].Error.startsWith(QStringLiteral("not JSON"))) << m.Rows[2].Error.toStdString();
    EXPECT_EQ(m.Rows[3].Error, QStringLiteral("not a JSON object"));
    EXPECT_EQ(Cell(m.Rows[4], "output"), QString::fromUtf8("\xC3\xA9t\xC3\xA9.png"));
}

TEST(BatchManifestKind, ByExtensionThenByContent)
{
    EXPECT_EQ(ManifestKindOf("m.CSV", "{\"a\":1}"), ManifestKind::Csv);
    EXPECT_EQ(ManifestKindOf("m.jsonl", "front,output"), ManifestKind::JsonLines);
    EXPECT_EQ(ManifestKindOf("m.ndjson", ""), ManifestKind::JsonLines);
    EXPECT_EQ(ManifestKindOf("m.txt", "\xEF\xBB\xBF\n  {\"output\":\"a.png\"}"), ManifestKind::JsonLines);
    EXPECT_EQ(ManifestKindOf("manifest", "front,output\n"), ManifestKind::Csv);
}

TEST(BatchRows, ArgumentsResolvePathsAndReadFlags)
{
    const Manifest m = Csv("project,front,side,output,transparent,vertical,form\n"
                           "t.pcf,covers/a.jpg,/abs/s.jpg,../out/a.png,yes,-20,CD jewel box\n"
                           ",,,b.png,0,,\n");
    EXPECT_EQ(RowArguments(m.Rows[0], m.Folder),
              (QStringList{"/shots/in/t.pcf", "--front", "/shots/in/covers/a.jpg", "--side", "/abs/s.jpg", "-o",
                           "/shots/out/a.png", "--transparent", "--vertical=-20", "--form=CD jewel box"}));
    // Empty cells are options not given; a false flag is no flag.
    EXPECT_EQ(RowArguments(m.Rows[1], m.Folder), (QStringList{"-o", "/shots/in/b.png"}));

    const Manifest bad = Csv("output,transparent\na.png,maybe\n");
    EXPECT_EQ(CommandErrorOf([&] { RowArguments(bad.Rows[0], bad.Folder); }), "transparent \"maybe\": not true or false");
}

TEST(BatchRows, EachRowIsCheckedLikeRender)
{
    const Manifest m = Csv("output,size,quality,samples,form\n"
                           "a.jpg,900x900,90,4,2\n"
                           "b.png,12x,,,\n"
                           "c.png,,90,,\n"
                           "d.gif,,,,\n"
                           ",,,,\n"
                           "a.jpg,,,,\n"
                           "e.png,,,,99\n");
    const std::vector<BatchJob> jobs = PrepareJobs(m);
    ASSERT_EQ(jobs.size(), 7u);
    ASSERT_TRUE(jobs[0].Options);
    EXPECT_EQ(jobs[0].Options->Size, QSize(900, 900));
    EXPECT_EQ(jobs[0].Options->Quality, 90);
    EXPECT_EQ(jobs[0].Options->Samples, 4);
    EXPECT_EQ(jobs[0].Options->Form, 2);
    EXPECT_EQ(jobs[0].Options->Output, QStringLiteral("/shots/in/a.jpg"));
    EXPECT_EQ(jobs[0].Output, QStringLiteral("a.jpg"));
    // The same words as render's for the same option.
    const auto renderError = [](const QStringList& args) {
        return CommandErrorOf([&] { ParseRenderArguments(args + QStringList{"-o", "x.png"}); });
    };
    EXPECT_EQ(jobs[1].Error.toStdString(), renderError({"--size=12x"}));
    EXPECT_EQ(jobs[2].Error.toStdString(), "--quality is for JPEG pictures (.jpg, .jpeg) only");
    EXPECT_TRUE(jobs[3].Error.startsWith(QStringLiteral("/shots/in/d.gif: not a picture type"))) << jobs[3].Error.toStdString();
    EXPECT_EQ(jobs[4].Error, QStringLiteral("no output"));
    EXPECT_EQ(jobs[5].Error, QStringLiteral("the same output as line 2"));
    EXPECT_EQ(jobs[6].Error.toStdString(), renderError({"--form=99"}));
    for (const BatchJob& job : jobs)
        EXPECT_EQ(job.Options.has_value(), job.Error.isEmpty()) << job.Line;
}

TEST(BatchRows, AColumnThatIsNoOptionStopsTheWholeManifest)
{
    // Known options and flags pass, also those "render" knows that nobody listed here.
    EXPECT_NO_THROW(PrepareJobs(Csv("output,scale,tilt-angle,eye,transparent\na.png,2,10,5,true\n")));
    EXPECT_EQ(CommandErrorOf([] { PrepareJobs(Csv("output,colour\na.png,red\n")); }),
              "line 1: unknown column \"colour\" (not a render option)");
    EXPECT_EQ(CommandErrorOf([] { PrepareJobs(Csv("output,colour\n")); }),
              "line 1: unknown column \"colour\" (not a render option)");
    EXPECT_EQ(CommandErrorOf([] { PrepareJobs(Json("{\"output\":\"a.png\"}\n{\"output\":\"b.png\",\"save-project\":\"b.pcf\"}")); }),
              "line 2: unknown column \"save-project\"");
    EXPECT_EQ(CommandErrorOf([] { PrepareJobs(Csv("output,--form\na.png,1\n")); }), "line 1: unknown column \"--form\"");
}

TEST(BatchForms, AnEmptyManifestIsTheSameMistakeInBothForms)
{
    for (const QByteArray& empty : {QByteArray(), QByteArray(" \r\n\t\n"), QByteArray("\xEF\xBB\xBF"),
                                    QByteArray("\xEF\xBB\xBF\n\n")}) {
        EXPECT_EQ(CommandErrorOf([&] { Csv(empty); }), "the manifest is empty (it needs a header row)");
        EXPECT_EQ(CommandErrorOf([&] { Json(empty); }), "the manifest is empty (it has no rows)");
    }
}

TEST(BatchForms, AKeyGivenTwiceIsRefusedLikeAColumnNamedTwice)
{
    const Manifest m = Json("{\"output\": \"a.png\", \"form\": 1, \"Form\": 2}\n"
                            "{\"output\": \"b.png\", \"shadow\": 10, \"shadow\": 20}\n"
                            "{\"output\": \"c.png\", \"front\": \"x \\\"shadow\\\": .jpg\", \"nested\": null}\n");
    ASSERT_EQ(m.Rows.size(), 3u);
    EXPECT_EQ(m.Rows[0].Error, QStringLiteral("\"form\" is given twice"));
    EXPECT_EQ(m.Rows[1].Error, QStringLiteral("\"shadow\" is given twice"));
    EXPECT_TRUE(m.Rows[2].Error.isEmpty()) << m.Rows[2].Error.toStdString(); // a key's name inside a value
    // The refused rows still name their outputs.
    EXPECT_EQ(m.Rows[0].Output, QStringLiteral("a.png"));
    EXPECT_EQ(m.Rows[1].Output, QStringLiteral("b.png"));
}

TEST(BatchForms, ALookCellMayAskForItsBareDefault)
{
    const Manifest m = Csv("output,shadow,reflection,light\n"
                           "a.png,yes,true,ON\n"
                           "b.png,no,false,off\n"
                           "c.png,0,,45\n");
    const std::vector<BatchJob> jobs = PrepareJobs(m);
    ASSERT_EQ(jobs.size(), 3u);
    for (const BatchJob& job : jobs)
        ASSERT_TRUE(job.Options) << job.Error.toStdString();
    EXPECT_EQ(jobs[0].Options->Looks.Shadow, 60);
    EXPECT_EQ(jobs[0].Options->Looks.Reflection, 30);
    EXPECT_EQ(jobs[0].Options->Looks.Light, 50);
    EXPECT_EQ(jobs[1].Options->Looks.Shadow, 0);
    EXPECT_EQ(jobs[1].Options->Looks.Reflection, 0);
    EXPECT_EQ(jobs[1].Options->Looks.Light, 0);
    EXPECT_EQ(jobs[2].Options->Looks.Shadow, 0);
    EXPECT_FALSE(jobs[2].Options->Looks.Reflection); // blank: not given, the project's stays
    EXPECT_EQ(jobs[2].Options->Looks.Light, 45);
    // JSON's true and false too; a word that is neither is still refused.
    const std::vector<BatchJob> json = PrepareJobs(Json("{\"output\": \"a.png\", \"shadow\": true, \"light\": false}\n"
                                                        "{\"output\": \"b.png\", \"shadow\": \"lots\"}\n"));
    ASSERT_TRUE(json[0].Options) << json[0].Error.toStdString();
    EXPECT_EQ(json[0].Options->Looks.Shadow, 60);
    EXPECT_EQ(json[0].Options->Looks.Light, 0);
    EXPECT_EQ(json[1].Error, QStringLiteral("--shadow \"lots\": not a whole number 0..100"));
}

TEST(BatchForms, ARowThatCannotBeReadNamesItsOutput)
{
    const std::vector<BatchJob> json = PrepareJobs(Json("{\"output\": \"a.png\", \"size\": }\n"
                                                        "{\"output\": \"b.png\", \"top\": [\"x.jpg\"]}\n"
                                                        "not json at all\n"));
    ASSERT_EQ(json.size(), 3u);
    EXPECT_EQ(json[0].Line, 1);
    EXPECT_EQ(json[0].Output, QStringLiteral("a.png"));
    EXPECT_TRUE(json[0].Error.startsWith(QStringLiteral("not JSON"))) << json[0].Error.toStdString();
    EXPECT_EQ(json[1].Output, QStringLiteral("b.png"));
    EXPECT_EQ(json[2].Output, QString());
    const std::vector<BatchJob> csv = PrepareJobs(Csv("front,output,size\na.jpg,a.png\nb.jpg\n"));
    EXPECT_EQ(csv[0].Output, QStringLiteral("a.png"));
    EXPECT_EQ(csv[0].Error, QStringLiteral("2 fields where the header has 3"));
    EXPECT_EQ(csv[1].Output, QString());
}
