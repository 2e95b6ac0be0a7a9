// A turntable as video: ffprobe reads the MP4 (H.264) and WebM (VP9) with
// the frames and rate asked, yuv420p and BT.709, an odd side padded to even;
// each frame looks like the same frame drawn as a picture; a video is never
// transparent and a failed turn leaves the older file as it was.
#include "cli/CliRunner.h"
#include "support/TempFiles.h"

#include <QImage>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct VideoCase {
    const char* File;
    const char* Size;
    const char* Fps;
    const char* Probed; // codec, width, height, pixels, colours, rate, frames
};
const VideoCase Cases[] = {
    {"spin.mp4", "160x120", "12", "h264,160,120,yuv420p,bt709,12/1,6"},
    {"spin.webm", "161x121", "25", "vp9,162,122,yuv420p,bt709,25/1,6"},
};

struct TurntableVideo : TempFiles {
    CliResult Turntable(const QString& args) { return RunCubiform(QStringList{QStringLiteral("turntable")} + args.split(QLatin1Char(' ')), dir.path()); }

    QString Probe(const QString& file)
    {
        QProcess probe;
        probe.start(QStringLiteral("ffprobe"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                                                QStringLiteral("-select_streams"), QStringLiteral("v:0"), QStringLiteral("-show_entries"),
                                                QStringLiteral("stream=codec_name,width,height,pix_fmt,color_space,r_frame_rate,nb_read_frames"),
                                                QStringLiteral("-of"), QStringLiteral("csv=p=0"), Path(file)});
        probe.waitForFinished(60000);
        return QString::fromUtf8(probe.readAllStandardOutput()).trimmed();
    }

    // Frame `k` of the video as a picture, decoded by ffmpeg.
    QImage Frame(const QString& file, int k)
    {
        const QString out = Path(QStringLiteral("decoded.png"));
        QProcess decode;
        decode.start(QStringLiteral("ffmpeg"), {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-y"), QStringLiteral("-i"),
                                                Path(file), QStringLiteral("-vf"), QStringLiteral("select=eq(n\\,%1)").arg(k),
                                                QStringLiteral("-vframes"), QStringLiteral("1"), out});
        decode.waitForFinished(60000);
        return QImage(out).convertToFormat(QImage::Format_RGB32);
    }
};

double MeanDifference(const QImage& a, const QImage& b)
{
    double sum = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * b.width() * b.height());
}

} // namespace

TEST_F(TurntableVideo, PlayersReadTheFramesAndRateAskedAndEachFrameIsTheDrawnOne)
{
    for (const VideoCase& c : Cases) {
        SCOPED_TRACE(c.File);
        const QString file = QString::fromLatin1(c.File);
        const QString shot = QStringLiteral("--form 2 --light --size %1 --frames 6").arg(QLatin1String(c.Size));
        CliResult r = Turntable(shot + QStringLiteral(" --fps %1 -o %2").arg(QLatin1String(c.Fps), file));
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
        EXPECT_EQ(Probe(file), QLatin1String(c.Probed));
        r = Turntable(shot + QStringLiteral(" -o frame-%d.png"));
        ASSERT_EQ(r.Status, 0) << r.Err.toStdString();
        const QImage drawn = QImage(Path(QStringLiteral("frame-2.png"))).convertToFormat(QImage::Format_RGB32);
        // Lossy, 4:2:0: close on average, not exact.
        EXPECT_LT(MeanDifference(Frame(file, 2), drawn), 3.0);
    }
}

TEST_F(TurntableVideo, AVideoIsNeverTransparentAndAFailedTurnKeepsTheOlderFile)
{
    Write(Path(QStringLiteral("spin.mp4")), "older video");
    CliResult r = Turntable(QStringLiteral("--transparent -o spin.webm"));
    EXPECT_EQ(r.Status, 2);
    EXPECT_TRUE(r.Err.contains(QStringLiteral("not a video"))) << r.Err.toStdString();
    r = Turntable(QStringLiteral("--front damaged.jpg --frames 4 -o spin.mp4"));
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(Read(Path(QStringLiteral("spin.mp4"))), QByteArray("older video"));
}
