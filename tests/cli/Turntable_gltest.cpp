// "cubiform turntable" run as a script runs it: the GIF's frames, timing
// and looping, the numbered pictures against plain renders, and failures
// that leave nothing behind.
#include "cli/CliRunner.h"
#include "cli/CommandLine.h"
#include "support/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gif_lib.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

#include <csignal>
#include <map>
#include <cstring>
#include <memory>

namespace {

struct Gif {
    int Frames = 0;
    int Width = 0, Height = 0;
    std::vector<int> Delays;
    bool Loops = false;
    QImage First; // frame 0, decoded
};

Gif ReadGif(const QString& path)
{
    Gif g;
    int error = 0;
    GifFileType* file = DGifOpenFileName(QFile::encodeName(path).constData(), &error);
    if (!file) {
        ADD_FAILURE() << "not a GIF: " << path.toStdString();
        return g;
    }
    const std::unique_ptr<GifFileType, void (*)(GifFileType*)> close(file, [](GifFileType* f) { DGifCloseFile(f, nullptr); });
    EXPECT_EQ(DGifSlurp(file), GIF_OK);
    g.Frames = file->ImageCount;
    g.Width = file->SWidth;
    g.Height = file->SHeight;
    for (int i = 0; i < file->ImageCount; ++i) {
        GraphicsControlBlock control;
        EXPECT_EQ(DGifSavedExtensionToGCB(file, i, &control), GIF_OK);
        g.Delays.push_back(control.DelayTime);
        const SavedImage& frame = file->SavedImages[i];
        EXPECT_EQ(frame.ImageDesc.Width, g.Width);
        for (int b = 0; b + 1 < frame.ExtensionBlockCount; ++b) {
            const ExtensionBlock& app = frame.ExtensionBlocks[b];
            const ExtensionBlock& data = frame.ExtensionBlocks[b + 1];
            if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
                std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 && data.ByteCount == 3 && data.Bytes[0] == 1)
                g.Loops = data.Bytes[1] == 0 && data.Bytes[2] == 0; // 0: for ever
        }
    }
    if (file->ImageCount > 0) {
        const SavedImage& frame = file->SavedImages[0];
        const ColorMapObject* map = frame.ImageDesc.ColorMap ? frame.ImageDesc.ColorMap : file->SColorMap;
        g.First = QImage(g.Width, g.Height, QImage::Format_RGB32);
        for (int y = 0; y < g.Height; ++y)
            for (int x = 0; x < g.Width; ++x) {
                const GifColorType c = map->Colors[frame.RasterBits[y * g.Width + x]];
                g.First.setPixel(x, y, qRgb(c.Red, c.Green, c.Blue));
            }
    }
    return g;
}

double MeanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * a.width() * a.height());
}

struct TurntableRun : TempFiles {
    void SetUp() override
    {
        QImage cover(48, 64, QImage::Format_RGB888);
        for (int y = 0; y < cover.height(); ++y)
            for (int x = 0; x < cover.width(); ++x)
                cover.setPixel(x, y, qRgb(x * 5, 255 - y * 3, (x / 8 + y / 8) % 2 ? 230 : 20));
        ASSERT_TRUE(cover.save(Path(QStringLiteral("front.jpg")), "JPG", 90));
        Write(Path(QStringLiteral("damaged.jpg")), Read(Path(QStringLiteral("front.jpg"))).left(200));
    }

    CliResult Turntable(const QStringList& args)
    {
        return RunCubiform(QStringList{QStringLiteral("turntable")} + args, dir.path());
    }
    QStringList Files(const QString& folder = QString()) const
    {
        return QDir(Path(folder)).entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot,
                                            QDir::Name);
    }
};

TEST_F(TurntableRun, GifHasEveryFrameItsTimingAndLoops)
{
    const CliResult r = Turntable({QStringLiteral("--front"), QStringLiteral("front.jpg"), QStringLiteral("--frames"),
                                   QStringLiteral("6"), QStringLiteral("--fps"), QStringLiteral("8"),
                                   QStringLiteral("--size"), QStringLiteral("48x40"), QStringLiteral("-o"),
                                   QStringLiteral("spin.gif")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.isEmpty()) << "no progress off a terminal: " << r.Err.toStdString();
    const Gif gif = ReadGif(Path(QStringLiteral("spin.gif")));
    EXPECT_EQ(gif.Frames, 6);
    EXPECT_EQ(gif.Width, 48);
    EXPECT_EQ(gif.Height, 40);
    EXPECT_EQ(gif.Delays, (std::vector<int>{13, 12, 13, 12, 13, 12})); // 75 hundredths: 6 frames at 8 a second
    EXPECT_TRUE(gif.Loops);

    // Frame 0 is the plain render, give or take the palette.
    const QImage plain = RenderPicture({QStringLiteral("--front"), Path(QStringLiteral("front.jpg")),
                                        QStringLiteral("--size"), QStringLiteral("48x40")},
                                       Path(QStringLiteral("plain.png")));
    EXPECT_LT(MeanDifference(gif.First, plain), 1.5);
    EXPECT_EQ(Files(), (QStringList{QStringLiteral("damaged.jpg"), QStringLiteral("front.jpg"),
                                    QStringLiteral("plain.png"), QStringLiteral("spin.gif")}));
}

TEST_F(TurntableRun, NumberedFramesAreThePlainRendersAtTheirAngles)
{
    const QStringList shared = {QStringLiteral("--front"), QStringLiteral("front.jpg"), QStringLiteral("--form"),
                                QStringLiteral("3"), QStringLiteral("--fog"), QStringLiteral("1"),
                                QStringLiteral("--side-angle"), QStringLiteral("300"), QStringLiteral("--tilt-angle"),
                                QStringLiteral("20"), QStringLiteral("--size"), QStringLiteral("64x48")};
    const CliResult r = Turntable(shared + QStringList{QStringLiteral("--frames"), QStringLiteral("8"),
                                                       QStringLiteral("--tilt"), QStringLiteral("-o"),
                                                       QStringLiteral("new/deeper/spin-%03d.png")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    QStringList expected;
    for (int k = 0; k < 8; ++k)
        expected << QStringLiteral("spin-%1.png").arg(k, 3, 10, QLatin1Char('0'));
    EXPECT_EQ(Files(QStringLiteral("new/deeper")), expected); // nothing staged is left
    for (int k : {0, 3, 7}) {
        // 300 + 45 k, once around: frame 3 is at 75, not at 435.
        const int side = (300 + 45 * k) % 360;
        const int tilt = 20 + 45 * k;
        QStringList args = shared;
        args[args.indexOf(QStringLiteral("front.jpg"))] = Path(QStringLiteral("front.jpg"));
        args[args.indexOf(QStringLiteral("300"))] = QString::number(side);
        args[args.indexOf(QStringLiteral("20"))] = QString::number(tilt);
        const QImage plain = RenderPicture(args, Path(QStringLiteral("plain.png")));
        const QImage frame(Path(QStringLiteral("new/deeper/spin-%1.png").arg(k, 3, 10, QLatin1Char('0'))));
        EXPECT_EQ(frame.convertToFormat(QImage::Format_RGB32), plain.convertToFormat(QImage::Format_RGB32))
            << "frame " << k;
    }
}

TEST_F(TurntableRun, FailuresSayWhyAndLeaveNothingBehind)
{
    Write(Path(QStringLiteral("spin.gif")), "older animation");
    const QStringList before = Files();

    CliResult r = Turntable({QStringLiteral("--front"), QStringLiteral("damaged.jpg"), QStringLiteral("--frames"),
                             QStringLiteral("4"), QStringLiteral("-o"), QStringLiteral("spin.gif")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.startsWith(QStringLiteral("cubiform: "))) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(QStringLiteral("damaged.jpg"))) << r.Err.toStdString();
    EXPECT_EQ(Read(Path(QStringLiteral("spin.gif"))), QByteArray("older animation"));

    r = Turntable({QStringLiteral("--front"), QStringLiteral("damaged.jpg"), QStringLiteral("-o"),
                   QStringLiteral("made/spin-%02d.png")});
    EXPECT_EQ(r.Status, 1);
    r = Turntable({QStringLiteral("-o"), QStringLiteral("missing/spin.gif")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("the folder does not exist"))) << r.Err.toStdString();
    EXPECT_EQ(Files(), before); // no folder made, nothing staged

    r = Turntable({QStringLiteral("--frames"), QStringLiteral("4"), QStringLiteral("-o"), QStringLiteral("spin-%s.png")});
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Err.startsWith(QStringLiteral("cubiform: spin-%s.png: numbered pictures need"))) << r.Err.toStdString();
    r = Turntable({QStringLiteral("--frames"), QStringLiteral("0"), QStringLiteral("-o"), QStringLiteral("spin.gif")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.startsWith(QStringLiteral("cubiform: --frames \"0\": out of range 2..720"))) << r.Err.toStdString();
    EXPECT_EQ(Files(), before);
}

TEST_F(TurntableRun, ATurnThatCannotReplaceEveryFrameLeavesTheEarlierTurnWhole)
{
    const QStringList args = {QStringLiteral("--front"), QStringLiteral("front.jpg"), QStringLiteral("--size"),
                              QStringLiteral("32x32"), QStringLiteral("--frames"), QStringLiteral("4"),
                              QStringLiteral("-o"), QStringLiteral("made/spin-%03d.png")};
    ASSERT_EQ(Turntable(args).Status, 0);
    // Frame 2 of the earlier turn has a folder in its place.
    ASSERT_TRUE(QFile::remove(Path(QStringLiteral("made/spin-002.png"))));
    ASSERT_TRUE(QDir().mkdir(Path(QStringLiteral("made/spin-002.png"))));
    std::map<QString, QByteArray> before;
    for (const QString& name : Files(QStringLiteral("made")))
        if (QFileInfo(Path(QStringLiteral("made/") + name)).isFile())
            before[name] = Read(Path(QStringLiteral("made/") + name));
    ASSERT_EQ(before.size(), 3u);

    const CliResult r = Turntable(args + QStringList{QStringLiteral("--background"), QStringLiteral("#FF0000")});
    EXPECT_EQ(r.Status, 1);
    EXPECT_TRUE(r.Err.startsWith(QStringLiteral("cubiform: /"))) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.endsWith(QStringLiteral("/made/spin-002.png: cannot be written (a folder is in its place)\n")))
        << r.Err.toStdString();
    for (const auto& [name, bytes] : before)
        EXPECT_EQ(Read(Path(QStringLiteral("made/") + name)), bytes) << name.toStdString();
    EXPECT_EQ(Files(QStringLiteral("made")),
              (QStringList{QStringLiteral("spin-000.png"), QStringLiteral("spin-001.png"), QStringLiteral("spin-002.png"),
                           QStringLiteral("spin-003.png")}))
        << "no staging folder is left";
}

TEST_F(TurntableRun, CtrlCStopsBetweenFramesAndLeavesNothingBehind)
{
    const QStringList before = Files();
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(QStringLiteral(CUBIFORM_EXE),
                  {QStringLiteral("turntable"), QStringLiteral("--front"), QStringLiteral("front.jpg"),
                   QStringLiteral("--size"), QStringLiteral("300x300"), QStringLiteral("--frames"),
                   QStringLiteral("720"), QStringLiteral("-o"), QStringLiteral("made/spin-%03d.png")});
    ASSERT_TRUE(process.waitForStarted());
    // Wait until frames are being staged in the hidden folder.
    const auto staged = [&] {
        const QStringList hidden = QDir(Path(QStringLiteral("made"))).entryList({QStringLiteral(".turntable-*")},
                                                                            QDir::Dirs | QDir::Hidden);
        return !hidden.isEmpty() && !QDir(Path(QStringLiteral("made/") + hidden.first())).isEmpty();
    };
    QElapsedTimer waited;
    waited.start();
    while (!staged() && waited.elapsed() < 60000 && process.state() == QProcess::Running)
        QThread::msleep(5);
    ASSERT_TRUE(staged()) << "no frame was staged";
    // Meanwhile it goes by its own name: pkill and killall find it, ps and
    // top show it.
    QFile comm(QStringLiteral("/proc/%1/comm").arg(process.processId()));
    ASSERT_TRUE(comm.open(QIODevice::ReadOnly));
    EXPECT_EQ(comm.readAll().trimmed(), QFileInfo(QStringLiteral(CUBIFORM_EXE)).fileName().left(15).toUtf8());
    ::kill(static_cast<pid_t>(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(60000));
    ASSERT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 130);
    const QString err = QString::fromLocal8Bit(process.readAllStandardError());
    EXPECT_TRUE(err.contains(QStringLiteral("stopped after an interrupt at frame"))) << err.toStdString();
    EXPECT_EQ(Files(), before) << "the staging folder and the folder made for it are gone";
}

TEST_F(TurntableRun, StagingFoldersOfKilledTurntablesAreClearedByTheNext)
{
    const pid_t ended = fork(); // a process number no longer in use
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    const auto staging = [&](qint64 pid, const char* suffix, bool old) {
        const QString name = QStringLiteral(".turntable-%1-%2").arg(pid).arg(QLatin1String(suffix));
        EXPECT_TRUE(QDir().mkpath(Path(QStringLiteral("made/") + name)));
        Write(Path(QStringLiteral("made/%1/spin-000.png").arg(name)), "a frame");
        if (old) {
            const utimbuf times{time(nullptr) - 3600, time(nullptr) - 3600};
            utime(QFile::encodeName(Path(QStringLiteral("made/") + name)).constData(), &times);
        }
        return name;
    };
    const QString abandoned = staging(ended, "aB3xYz", true);
    const QString recent = staging(ended, "Qw12er", false); // perhaps another machine's, at work
    const QString running = staging(getppid(), "zzzzzz", true); // its turntable still runs
    const CliResult r = Turntable({QStringLiteral("--front"), QStringLiteral("front.jpg"), QStringLiteral("--frames"),
                                   QStringLiteral("2"), QStringLiteral("-o"), QStringLiteral("made/spin-%03d.png")});
    ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
    const QStringList left = Files(QStringLiteral("made"));
    QStringList want = {recent, running, QStringLiteral("spin-000.png"), QStringLiteral("spin-001.png")};
    want.sort();
    EXPECT_EQ(left.join(QLatin1Char(' ')).toStdString(), want.join(QLatin1Char(' ')).toStdString())
        << "only " << abandoned.toStdString() << " goes";
}

TEST(TurntableProgress, OnATerminalEachFrameIsCountedInPlace)
{
    QTemporaryDir dir;
    int master = -1, slave = -1;
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    std::FILE* terminal = fdopen(slave, "w");
    ASSERT_NE(terminal, nullptr);
    const int status = RunCommandLine({QStringLiteral("turntable"), QStringLiteral("--frames"), QStringLiteral("3"),
                                       QStringLiteral("--size"), QStringLiteral("16x16"), QStringLiteral("-o"),
                                       dir.filePath(QStringLiteral("spin.gif"))},
                                      stdout, terminal);
    std::fclose(terminal);
    EXPECT_EQ(status, 0);
    QByteArray shown;
    char buffer[256];
    for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;)
        shown.append(buffer, n);
    close(master);
    shown.replace("\r\n", "\n"); // the terminal's own line ends
    EXPECT_EQ(shown, QByteArray("\rframe 1/3\rframe 2/3\rframe 3/3\n"));
}

} // namespace
