// "cubiform batch" run as a script runs it: good and bad rows, the same
// pictures as "render" whatever the workers, resuming, shards, GNU parallel
// and the progress bar on a real terminal.
#include "cli/CliRunner.h"
#include "formats/PictureWriter.h"
#include "support/TempFiles.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

#include <map>
#include <set>

#include <csignal>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Line number -> what the plain progress said of it ("ok", "skipped ...", "failed: ...").
std::map<int, QString> RowLines(const QString& err)
{
    static const QRegularExpression pattern(QStringLiteral("^line (\\d+): (?:.*?: )?(ok|skipped.*|failed: .*)$"),
                                            QRegularExpression::MultilineOption);
    std::map<int, QString> rows;
    for (auto it = pattern.globalMatch(err); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_TRUE(rows.emplace(m.captured(1).toInt(), m.captured(2)).second) << "line reported twice: " << m.captured(0).toStdString();
    }
    return rows;
}

class BatchTest : public TempFiles {
public:
    // A small JPEG cover of one colour with a stripe, painted here.
    QString Cover(const QString& name, QRgb colour, int size = 64)
    {
        QImage image(size, size, QImage::Format_RGBA8888);
        image.fill(colour);
        for (int y = 0; y < size / 4; ++y)
            for (int x = 0; x < size; ++x)
                image.setPixel(x, y, qRgb(20, 20, 20));
        const QString path = Path(name);
        Write(path, EncodeJpeg(RgbaRows::Of(image), 90, path));
        return path;
    }

    QString Manifest(const QString& name, const QByteArray& text)
    {
        const QString path = Path(name);
        Write(path, text);
        return path;
    }

    CliResult Batch(const QStringList& args) { return RunCubiform(QStringList{QStringLiteral("batch")} + args, dir.path()); }

    // Without the folder's record of what made each picture (and its lock).
    static QStringList WithoutRecord(QStringList names)
    {
        names.removeAll(QStringLiteral(".cubiform-batch.json"));
        names.removeAll(QStringLiteral(".cubiform-batch.lock"));
        return names;
    }

    QStringList Pictures(const QString& folder = QStringLiteral("out")) const
    {
        return WithoutRecord(QDir(Path(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name));
    }

    // Starts "cubiform batch ARGS" without a display, to be stopped part way.
    void StartBatch(QProcess& process, const QStringList& args)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(CUBIFORM_EXE), QStringList{QStringLiteral("batch")} + args);
        ASSERT_TRUE(process.waitForStarted());
    }

    // Pictures under out/ so far, and a wait (of at most 50 s) for `count` of them.
    int Written() const
    {
        return static_cast<int>(QDir(Path(QStringLiteral("out"))).entryList({QStringLiteral("*.png")}, QDir::Files).size());
    }
    void WaitForWritten(int count) const
    {
        QElapsedTimer waited;
        waited.start();
        while (Written() < count && waited.elapsed() < 50000)
            QThread::msleep(5);
    }

    // A manifest of `rows` rows drawing the two covers in turn at a few sizes.
    QString ManyRows(const QString& name, int rows, const QString& size = QStringLiteral("96x96"))
    {
        Cover(QStringLiteral("red.jpg"), qRgb(200, 30, 30));
        Cover(QStringLiteral("blue.jpg"), qRgb(30, 30, 200));
        QByteArray text = "front,form,size,output\n";
        for (int i = 0; i < rows; ++i)
            text += QStringLiteral("%1,%2,%3,out/%4.png\n")
                        .arg(i % 2 ? QStringLiteral("blue.jpg") : QStringLiteral("red.jpg"))
                        .arg(i % 3)
                        .arg(size)
                        .arg(i, 3, 10, QLatin1Char('0'))
                        .toUtf8();
        return Manifest(name, text);
    }
};

} // namespace

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

TEST_F(BatchTest, AKilledBatchLeavesWholePicturesAndResumes)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 40, QStringLiteral("300x300"));
    QProcess process;
    StartBatch(process, {manifest, QStringLiteral("-j1")});
    WaitForWritten(3);
    ::kill(static_cast<pid_t>(process.processId()), SIGKILL);
    process.waitForFinished();
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);

    // Every picture under an output's name is whole; a temporary file the
    // kill interrupted is hidden beside them and not one of the outputs.
    const QStringList done = QDir(Path(QStringLiteral("out"))).entryList({QStringLiteral("*.png")}, QDir::Files);
    ASSERT_GE(done.size(), 3);
    ASSERT_LT(done.size(), 40) << "the batch ended before it was killed";
    for (const QString& name : done)
        EXPECT_EQ(QImage(Path(QStringLiteral("out/") + name)).size(), QSize(300, 300)) << name.toStdString();
    for (const QString& name : WithoutRecord(QDir(Path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden)))
        EXPECT_TRUE(done.contains(name) || (name.startsWith('.') && name.endsWith(QStringLiteral(".part"))))
            << name.toStdString();

    const CliResult r = Batch({manifest, QStringLiteral("--skip-existing"), QStringLiteral("-j2")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const std::map<int, QString> rows = RowLines(r.Err);
    ASSERT_EQ(rows.size(), 40u);
    for (const auto& [line, what] : rows) {
        const QString name = QStringLiteral("%1.png").arg(line - 2, 3, 10, QLatin1Char('0'));
        EXPECT_EQ(what, done.contains(name) ? QStringLiteral("skipped (up to date)") : QStringLiteral("ok")) << line;
    }
    EXPECT_EQ(Written(), 40);
}

TEST_F(BatchTest, CtrlCOrTerminateStopsBetweenRowsWithNothingHalfDone)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 60, QStringLiteral("300x300"));
    for (const int signal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
        QDir(Path(QStringLiteral("out"))).removeRecursively();
        QProcess process;
        StartBatch(process, {manifest, QStringLiteral("-j2")});
        WaitForWritten(3);
        ::kill(static_cast<pid_t>(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
        const QString err = QString::fromLocal8Bit(process.readAllStandardError());
        ASSERT_LT(Written(), 60) << "the batch ended before the signal";
        EXPECT_EQ(process.exitCode(), 128 + signal) << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("run the same command with --skip-existing to go on")))
            << err.toStdString();
        EXPECT_TRUE(err.contains(QStringLiteral("not started"))) << err.toStdString();
        // Every row that began was finished: whole pictures, no temporary file.
        const QStringList all = WithoutRecord(QDir(Path(QStringLiteral("out"))).entryList(QDir::Files | QDir::Hidden));
        EXPECT_EQ(static_cast<int>(all.size()), Written()) << all.join(QLatin1Char(' ')).toStdString();
        for (const QString& name : all)
            EXPECT_EQ(QImage(Path(QStringLiteral("out/") + name)).size(), QSize(300, 300)) << name.toStdString();
        EXPECT_EQ(static_cast<int>(RowLines(err).size()), Written());
    }
    const CliResult r = Batch({manifest, QStringLiteral("--skip-existing")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_EQ(Written(), 60);
}

TEST_F(BatchTest, TemporariesAKilledBatchLeftAreClearedByTheNextRun)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 3);
    QDir().mkpath(Path(QStringLiteral("out")));
    const pid_t child = fork(); // a process number no longer in use
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    const auto leftover = [&](const QString& name) {
        const QString path = Path(QStringLiteral("out/.%1.%2-0.part").arg(name).arg(child));
        Write(path, "half a picture");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadWrite));
        EXPECT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        return path;
    };
    const QString ours = leftover(QStringLiteral("001.png"));
    const QString other = leftover(QStringLiteral("notes.png")); // no row writes it: not the batch's to remove
    const CliResult r = Batch({manifest});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("removed 1 temporary file(s) an interrupted batch left")))
        << r.Err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(ours));
    EXPECT_TRUE(QFileInfo::exists(other));
    EXPECT_EQ(QImage(Path(QStringLiteral("out/001.png"))).size(), QSize(96, 96));
}

TEST_F(BatchTest, ShardsCoverTheBatchOnce)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 10);
    std::map<int, int> shardOf;
    for (int k = 1; k <= 3; ++k) {
        const CliResult r = Batch({manifest, QStringLiteral("--shard"), QStringLiteral("%1/3").arg(k), QStringLiteral("-j1")});
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
        for (const auto& [line, what] : RowLines(r.Err)) {
            EXPECT_EQ(what, QStringLiteral("ok"));
            EXPECT_TRUE(shardOf.emplace(line, k).second) << "line " << line << " in two shards";
            EXPECT_EQ((line - 2) % 3 + 1, k) << line; // rows K, K+N, ... counted from 1
        }
    }
    EXPECT_EQ(shardOf.size(), 10u);
    EXPECT_EQ(Pictures().size(), 10);
}

TEST_F(BatchTest, GnuParallelRunsTheShards)
{
    const QString parallel = QStandardPaths::findExecutable(QStringLiteral("parallel"));
    if (parallel.isEmpty())
        GTEST_SKIP() << "GNU parallel is not installed (scripts/install-deps.sh installs it)";
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 9);
    // The recipe in the manual ("Batch"), as a shell runs it.
    QProcess shell;
    shell.setWorkingDirectory(dir.path());
    shell.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("parallel --will-cite --halt now,fail=1 '%1' batch m.csv --shard {}/4 -j1 ::: 1 2 3 4")
                                                                 .arg(QStringLiteral(CUBIFORM_EXE))});
    ASSERT_TRUE(shell.waitForFinished(60000));
    const QString err = QString::fromLocal8Bit(shell.readAllStandardError());
    EXPECT_EQ(shell.exitCode(), 0) << err.toStdString();
    EXPECT_EQ(RowLines(err).size(), 9u) << err.toStdString();
    EXPECT_EQ(err.count(QStringLiteral("failed 0 in")), 4);
    EXPECT_EQ(Pictures().size(), 9);
}

TEST_F(BatchTest, ProgressBarOnARealTerminal)
{
    const QString manifest = ManyRows(QStringLiteral("m.csv"), 3);
    Write(manifest, Read(manifest) + "red.jpg,0,1x,out/bad.png\n");
    int master = -1;
    const QByteArray exe = CUBIFORM_EXE;
    const QByteArray path = manifest.toLocal8Bit();
    const pid_t child = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(child, 0);
    if (child == 0) {
        unsetenv("DISPLAY");
        execl(exe.constData(), exe.constData(), "batch", path.constData(), "-j1", static_cast<char*>(nullptr));
        _exit(127);
    }
    QByteArray seen;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break; // EIO once the child is gone
        seen.append(buffer, n);
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
    const QString text = QString::fromLocal8Bit(seen);
    EXPECT_TRUE(text.contains(QStringLiteral("\r\033[K[------------------------] 0/4"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\\] 2/4  [0-9.]+ rows/s  [0-9.:]+ s? ?left")))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("line 5: out/bad.png: failed: --size \"1x\""))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral(": ok"))); // good rows are only counted
    EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\\] 4/4 .*1 failed\r?\ndone 3, skipped 0, failed 1 in")))) << text.toStdString();
}
