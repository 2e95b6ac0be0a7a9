// "cubiform batch" stopped and run again: resuming, clearing what a killed
// run left, shards, GNU parallel and the progress bar on a real terminal.
#include "support/BatchFixture.h"

#include <csignal>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
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
