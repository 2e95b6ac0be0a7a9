// "cubiform batch" run as a script runs it: good and bad rows and the same
// pictures as "render" whatever the workers.
#include "support/BatchFixture.h"

#include <QFile>
#include <QFileInfo>

TEST_F(BatchTest, GoodAndBadRowsInCsv_TheSamePicturesAsRender)
{
    // Scaled to its texture: read whole on a worker's one thread, streamed by render.
    const QString red = Cover(QStringLiteral("red.jpg"), qRgb(200, 30, 30), 300);
    Write(Path(QStringLiteral("broken.jpg")), "not a picture at all");
    const QString manifest = Manifest(QStringLiteral("m.csv"),
                                      "front,form,size,transparent,output\r\n"
                                      "red.jpg,2,80x60,,out/a.png\r\n"
                                      "red.jpg,2,80x60,abc,out/b.png\r\n"
                                      "missing.jpg,2,80x60,,out/c.png\r\n"
                                      "broken.jpg,1,80x60,no,out/d.png\r\n"
                                      "red.jpg,\"CD jewel box\",\"64x64\",yes,out/e.png\r\n"
                                      "red.jpg,2,80x,,out/f.png\r\n");
    const CliResult r = Batch({manifest, QStringLiteral("-j2"), QStringLiteral("--report"), QStringLiteral("failed.csv")});
    EXPECT_EQ(r.Status, 1) << r.Err.toStdString();
    const std::map<int, QString> rows = RowLines(r.Err);
    ASSERT_EQ(rows.size(), 6u) << r.Err.toStdString();
    EXPECT_EQ(rows.at(2), QStringLiteral("ok"));
    EXPECT_EQ(rows.at(3), QStringLiteral("failed: transparent \"abc\": not true or false"));
    EXPECT_TRUE(rows.at(4).contains(QStringLiteral("missing.jpg: the front cover image does not exist"))) << rows.at(4).toStdString();
    EXPECT_TRUE(rows.at(5).startsWith(QStringLiteral("failed: ")) && rows.at(5).contains(QStringLiteral("broken.jpg")));
    EXPECT_EQ(rows.at(6), QStringLiteral("ok"));
    EXPECT_EQ(rows.at(7), QStringLiteral("failed: --size \"80x\": not a size of the form WIDTHxHEIGHT"));
    EXPECT_TRUE(r.Err.endsWith(QStringLiteral("\n")));
    EXPECT_TRUE(r.Err.contains(QRegularExpression(QStringLiteral("\ndone 2, skipped 0, failed 4 in [0-9.]+ s\n$")))) << r.Err.toStdString();
    EXPECT_EQ(Pictures(), (QStringList{QStringLiteral("a.png"), QStringLiteral("e.png")}));

    // Byte for byte what render writes with the same options.
    const QString single = Path(QStringLiteral("single.png"));
    ASSERT_EQ(RunCubiform({QStringLiteral("render"), QStringLiteral("--front"), red, QStringLiteral("--form"),
                           QStringLiteral("CD jewel box"), QStringLiteral("--size"), QStringLiteral("64x64"),
                           QStringLiteral("--transparent"), QStringLiteral("-o"), single})
                  .Status,
              0);
    EXPECT_EQ(Read(Path(QStringLiteral("out/e.png"))), Read(single));

    // The report: the failed rows in manifest order, quoted where CSV needs it.
    const QStringList report = QString::fromUtf8(Read(Path(QStringLiteral("failed.csv")))).split(QStringLiteral("\r\n"));
    ASSERT_EQ(report.size(), 6) << report.join('|').toStdString();
    EXPECT_EQ(report[0], QStringLiteral("line,output,reason"));
    EXPECT_EQ(report[1], QStringLiteral("3,out/b.png,\"transparent \"\"abc\"\": not true or false\""));
    EXPECT_TRUE(report[2].startsWith(QStringLiteral("4,out/c.png,"))) << report[2].toStdString();
    EXPECT_EQ(report[4], QStringLiteral("7,out/f.png,\"--size \"\"80x\"\": not a size of the form WIDTHxHEIGHT\""));
    EXPECT_EQ(report[5], QString());
}

TEST_F(BatchTest, JsonLinesWithAProjectTemplateAndBadLines)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("covers")));
    Cover(QStringLiteral("covers/red.jpg"), qRgb(200, 30, 30));
    // A project saved by render is the template; its rows only change the cover and size.
    ASSERT_EQ(RunCubiform({QStringLiteral("render"), QStringLiteral("--form"), QStringLiteral("2"),
                           QStringLiteral("--background"), QStringLiteral("#102030"), QStringLiteral("--save-project"),
                           Path(QStringLiteral("t.pcf"))})
                  .Status,
              0);
    const QString manifest = Manifest(QStringLiteral("list.ndjson"),
                                      "{\"project\": \"t.pcf\", \"front\": \"covers/red.jpg\", \"size\": \"50x40\", \"output\": \"a.bmp\"}\n"
                                      "\n"
                                      "{\"project\": \"t.pcf\", \"size\": \"50x40\", \"samples\": 4, \"output\": \"b.png\"}\n"
                                      "{\"project\": \"t.pcf\", \"output\": \"c.png\", \"samples\": 3}\n"
                                      "{\"output\": \"d.png\", broken\n"
                                      "{\"project\": \"nothing.pcf\", \"output\": \"e.png\"}\n");
    const CliResult r = Batch({manifest, QStringLiteral("-j"), QStringLiteral("1")});
    EXPECT_EQ(r.Status, 1);
    const std::map<int, QString> rows = RowLines(r.Err);
    ASSERT_EQ(rows.size(), 5u) << r.Err.toStdString();
    EXPECT_EQ(rows.at(1), QStringLiteral("ok"));
    EXPECT_EQ(rows.at(3), QStringLiteral("ok"));
    EXPECT_EQ(rows.at(4), QStringLiteral("failed: --samples \"3\": not 1, 2, 4, 8, 16 or 32"));
    EXPECT_TRUE(rows.at(5).startsWith(QStringLiteral("failed: not JSON"))) << rows.at(5).toStdString();
    EXPECT_TRUE(rows.at(6).contains(QStringLiteral("nothing.pcf: no such project file"))) << rows.at(6).toStdString();
    const QImage a(Path(QStringLiteral("a.bmp")));
    EXPECT_EQ(a.size(), QSize(50, 40));
    EXPECT_EQ(a.pixel(0, 0), qRgb(0x10, 0x20, 0x30));
    EXPECT_EQ(QImage(Path(QStringLiteral("b.png"))).size(), QSize(50, 40));
}

TEST_F(BatchTest, ATemplatesLooksAndSamplesAreDrawnAsRenderDrawsThem)
{
    Cover(QStringLiteral("red.jpg"), qRgb(200, 30, 30));
    ASSERT_EQ(RunCubiform({QStringLiteral("render"), QStringLiteral("--shadow"), QStringLiteral("50"),
                           QStringLiteral("--light"), QStringLiteral("--samples"), QStringLiteral("4"),
                           QStringLiteral("--save-project"), Path(QStringLiteral("t.pcf"))})
                  .Status,
              0);
    const QString manifest = Manifest(QStringLiteral("m.csv"), "project,front,size,output\n"
                                                               "t.pcf,red.jpg,72x60,out/a.png\n");
    const CliResult r = Batch({manifest});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QString single = Path(QStringLiteral("single.png"));
    ASSERT_EQ(RunCubiform({QStringLiteral("render"), Path(QStringLiteral("t.pcf")), QStringLiteral("--front"),
                           Path(QStringLiteral("red.jpg")), QStringLiteral("--size"), QStringLiteral("72x60"),
                           QStringLiteral("-o"), single})
                  .Status,
              0);
    EXPECT_EQ(Read(Path(QStringLiteral("out/a.png"))), Read(single));
}

TEST_F(BatchTest, WrongUseAndUnusableManifestsDoNoWork)
{
    Cover(QStringLiteral("red.jpg"), qRgb(200, 30, 30));
    const QString manifest = Manifest(QStringLiteral("m.csv"), "front,output,colour\nred.jpg,a.png,red\n");
    CliResult r = Batch({manifest});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err.toStdString(),
              "cubiform: " + manifest.toStdString() + ": line 1: unknown column \"colour\" (not a render option)\n");
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("a.png"))));

    r = Batch({Manifest(QStringLiteral("q.csv"), "front,output\n\"red.jpg,a.png\n")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("q.csv: line 2: a quoted field is not closed"))) << r.Err.toStdString();
    EXPECT_EQ(Batch({Path(QStringLiteral("none.csv"))}).Status, 1);

    const QString good = Manifest(QStringLiteral("g.csv"), "front,output\nred.jpg,a.png\n");
    for (const QStringList& args : {QStringList{}, QStringList{good, "-j", "0"}, QStringList{good, "--shard", "0/4"},
                                    QStringList{good, "--shard", "5/4"}, QStringList{good, "--shard", "1/0"},
                                    QStringList{good, "--shard=x"}, QStringList{good, "--fail-fast=1"},
                                    QStringList{good, "--frobnicate"}, QStringList{good, good}}) {
        r = Batch(args);
        EXPECT_EQ(r.Status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.Err.endsWith(QStringLiteral("Try 'cubiform --help'.\n"))) << r.Err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("a.png"))));
}

TEST_F(BatchTest, PicturesDoNotDependOnWorkersOrOrder)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 6);
    // Some rows more: other sizes, samples and a transparent one between them.
    QFile file(manifest);
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("blue.jpg,1,120x90,out/big.png\nred.jpg,0,40x30,out/small.jpg\n");
    file.close();
    ASSERT_EQ(Batch({manifest, QStringLiteral("-j1")}).Status, 0);
    std::map<QString, QByteArray> first;
    for (const QString& name : Pictures())
        first[name] = Read(Path(QStringLiteral("out/") + name));
    ASSERT_EQ(first.size(), 8u);
    ASSERT_TRUE(QDir(Path(QStringLiteral("out"))).removeRecursively());

    const CliResult r = Batch({manifest, QStringLiteral("-j2")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    for (const auto& [name, bytes] : first)
        EXPECT_EQ(Read(Path(QStringLiteral("out/") + name)), bytes) << name.toStdString();

    // The last row alone: nothing the rows before it did shows.
    const QString alone = Manifest(QStringLiteral("alone.csv"), "front,form,size,output\nred.jpg,0,40x30,solo/small.jpg\n");
    ASSERT_EQ(Batch({alone}).Status, 0);
    EXPECT_EQ(Read(Path(QStringLiteral("solo/small.jpg"))), first[QStringLiteral("small.jpg")]);
}

TEST_F(BatchTest, APictureThatCannotBeWrittenFailsItsOwnRowOnly)
{
    // Its failure is told for its own line, and the rows around it written.
    Cover(QStringLiteral("red.jpg"), qRgb(200, 30, 30));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("out/taken.png")));
    const QString manifest = Manifest(QStringLiteral("m.csv"), "front,size,output\n"
                                                               "red.jpg,40x30,out/a.png\n"
                                                               "red.jpg,40x30,out/taken.png\n"
                                                               "red.jpg,40x30,out/c.png\n");
    const CliResult r = Batch({manifest, QStringLiteral("-j1")});
    EXPECT_EQ(r.Status, 1);
    const std::map<int, QString> rows = RowLines(r.Err);
    ASSERT_EQ(rows.size(), 3u) << r.Err.toStdString();
    EXPECT_EQ(rows.at(2), QStringLiteral("ok"));
    EXPECT_TRUE(rows.at(3).startsWith(QStringLiteral("failed: ")) && rows.at(3).contains(QStringLiteral("taken.png")))
        << rows.at(3).toStdString();
    EXPECT_EQ(rows.at(4), QStringLiteral("ok"));
    EXPECT_TRUE(r.Err.contains(QStringLiteral("done 2, skipped 0, failed 1"))) << r.Err.toStdString();
}

TEST_F(BatchTest, FailFastStopsAtTheFirstFailure)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 12);
    QByteArray text = Read(manifest);
    text.insert(text.indexOf('\n') + 1, "red.jpg,0,1x,out/bad.png\n");
    Write(manifest, text);
    const CliResult r = Batch({manifest, QStringLiteral("-j1"), QStringLiteral("--fail-fast")});
    EXPECT_EQ(r.Status, 1);
    const std::map<int, QString> rows = RowLines(r.Err);
    EXPECT_EQ(rows.size(), 1u) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("done 0, skipped 0, failed 1, not started 12 in"))) << r.Err.toStdString();
    EXPECT_TRUE(Pictures().isEmpty());
}

TEST_F(BatchTest, SkipExistingRedoesOnlyWhatIsMissingOrOlderThanItsInputs)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 4);
    ASSERT_EQ(Batch({manifest}).Status, 0);
    CliResult r = Batch({manifest, QStringLiteral("--skip-existing")});
    ASSERT_EQ(r.Status, 0);
    for (const auto& [line, what] : RowLines(r.Err))
        EXPECT_EQ(what, QStringLiteral("skipped (up to date)")) << line;
    EXPECT_TRUE(r.Err.contains(QStringLiteral("done 0, skipped 4, failed 0")));

    // A newer blue cover (rows 1 and 3), and row 0's picture gone.
    QFile blue(Path(QStringLiteral("blue.jpg")));
    ASSERT_TRUE(blue.open(QIODevice::ReadWrite));
    ASSERT_TRUE(blue.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    blue.close();
    ASSERT_TRUE(QFile::remove(Path(QStringLiteral("out/000.png"))));
    r = Batch({manifest, QStringLiteral("--skip-existing")});
    const std::map<int, QString> rows = RowLines(r.Err);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows.at(2), QStringLiteral("ok"));
    EXPECT_EQ(rows.at(3), QStringLiteral("ok"));
    EXPECT_EQ(rows.at(4), QStringLiteral("skipped (up to date)"));
    EXPECT_EQ(rows.at(5), QStringLiteral("ok"));
}
