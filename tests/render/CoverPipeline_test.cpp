// Covers read through the one pipeline give what the plain decoders and the
// base level scaler give, tell their errors, stop when no longer wanted,
// and lose no row however the reader of their rows behaves.
#include "concurrency/BackgroundWork.h"
#include "concurrency/ThreadPool.h"
#include "formats/JpegCodec.h"
#include "formats/PngCodec.h"
#include "render/CoverPipeline.h"
#include "support/JpegBytes.h"
#include "support/RefusedThreads.h"
#include "support/TempFiles.h"
#include "support/ThreadNice.h"

#include <QImage>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

class CoverPipelineTest : public TempFiles {
public:
    // 1200 x 1801 with fine detail: its base level, 1024 x 2048, streams.
    QString WriteJpeg(const QString& name)
    {
        const int w = 1200, h = 1801;
        std::vector<std::uint8_t> rgb(static_cast<std::size_t>(w) * h * 3);
        for (std::size_t i = 0; i < rgb.size(); ++i)
            rgb[i] = static_cast<std::uint8_t>((i * 7919 + i / 3601) % 251);
        const QString path = Path(name);
        Write(path, EncodeJpeg(rgb.data(), w, h, TJPF_RGB, TJSAMP_420, 90));
        return path;
    }

    // The plain way: the whole picture decoded, opaque, then scaled.
    static QByteArray TwoSteps(const QString& path, void (*decode)(const QString&, const AllocateRgba&),
                               PictureSize& base)
    {
        std::vector<std::uint8_t> full;
        PictureSize size;
        decode(path, [&](std::int64_t w, std::int64_t h) {
            size = {static_cast<int>(w), static_cast<int>(h)};
            full.resize(static_cast<std::size_t>(w * h * 4));
            return full.data();
        });
        for (std::size_t i = 3; i < full.size(); i += 4)
            full[i] = 255;
        base = BaseLevelSize(size.Width, size.Height, 16384);
        QByteArray out(static_cast<qsizetype>(base.Width) * base.Height * 4, 0);
        ScaleToBaseLevel(full.data(), size, reinterpret_cast<std::uint8_t*>(out.data()), base, 2);
        return out;
    }

    static CoverRead::Request Asked(const QString& path, std::size_t ringBytes = 0)
    {
        CoverRead::Request request;
        request.FileName = path;
        request.PreviewSize = QSize(80, 100);
        request.MaxTextureSize = 16384;
        request.RingBytes = ringBytes;
        return request;
    }

    // The read's picture with every row in its buffer.
    static QByteArray Whole(CoverRead& read, DecodedCover& cover)
    {
        if (read.Progress().Pixels() == cover.Picture->Pixels.get())
            read.Progress().Gather();
        return QByteArray(reinterpret_cast<const char*>(cover.Picture->Pixels.get()),
                          static_cast<qsizetype>(cover.Picture->PixelBytes()));
    }
};

constexpr std::size_t RowBytes = 1024 * 4;
constexpr std::size_t RingBytes = 64 * RowBytes;

TEST_F(CoverPipelineTest, ReadsGiveThePlainDecodeAndBaseLevel)
{
    const QString jpeg = WriteJpeg(QStringLiteral("cover.jpg"));
    const QString png = Path(QStringLiteral("cover.png"));
    {
        QImage picture(300, 500, QImage::Format_RGB888);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixel(x, y, qRgb(x * 7 % 256, (x * y) % 256, (y * 3 + x) % 256));
        ASSERT_TRUE(picture.save(png, "PNG"));
    }
    const struct {
        QString Path;
        void (*Decode)(const QString&, const AllocateRgba&);
        std::size_t Ring;
    } cases[] = {{jpeg, DecodeJpeg, 0}, {jpeg, DecodeJpeg, RingBytes}, {png, DecodePng, RingBytes}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path.toStdString() + (c.Ring ? " with a ring" : ""));
        PictureSize base;
        const QByteArray want = TwoSteps(c.Path, c.Decode, base);
        CoverNotice notice;
        CoverRead read(Asked(c.Path, c.Ring), {{}, [&] { notice.Notify(); }});
        notice.WaitPast(0);
        ASSERT_TRUE(read.Done());
        std::optional<DecodedCover> cover = read.Take();
        ASSERT_TRUE(cover);
        EXPECT_EQ((PictureSize{cover->Picture->Width, cover->Picture->Height}), base);
        EXPECT_TRUE(Whole(read, *cover) == want);
        EXPECT_FALSE(cover->Thumbnail.isNull());
    }
}

TEST_F(CoverPipelineTest, DamagedFilesAndMissingOnesAreToldThroughTheRead)
{
    const QString whole = WriteJpeg(QStringLiteral("whole.jpg"));
    const QByteArray bytes = Read(whole);
    const QString cut = Path(QStringLiteral("cut.jpg"));
    Write(cut, bytes.left(bytes.size() / 2));
    const QString png = Path(QStringLiteral("bad.png"));
    Write(png, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16));
    for (const QString& path : {cut, png}) {
        SCOPED_TRACE(path.toStdString());
        CoverRead read(Asked(path, RingBytes), {});
        read.Wait();
        ASSERT_TRUE(read.Done());
        try {
            read.Take();
            ADD_FAILURE() << "a damaged file gave a picture";
        } catch (const ImageError& e) {
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(path)) << e.what();
        }
    }
    CoverRead missing(Asked(Path(QStringLiteral("none.jpg"))), {});
    missing.Wait();
    EXPECT_FALSE(missing.Take());
}

TEST_F(CoverPipelineTest, ACancelledReadEndsEarlyWithItsReason)
{
    const QString path = WriteJpeg(QStringLiteral("cover.jpg"));
    const auto expectStopped = [&](CoverRead& read) {
        try {
            read.Take();
            ADD_FAILURE() << "a cancelled read gave a picture";
        } catch (const ImageError& e) {
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(QLatin1String("reading was stopped"))) << e.what();
        }
    };
    // Mid-way, while the maker waits for ring places a reader that began
    // sending will never send.
    {
        CoverNotice notice;
        CoverRead read(Asked(path, RingBytes), {[&] { notice.Notify(); }, [&] { notice.Notify(); }});
        BaseLevelProgress& progress = read.Progress();
        unsigned long seen = 0;
        while (!progress.Pixels() || progress.Final() > 2048 - 8) {
            notice.WaitPast(seen);
            seen = notice.Count();
        }
        progress.SentFrom(2048); // began, sends nothing more
        while (progress.Final() > 2048 - 56) { // most of the ring's 64 rows made: the maker waits soon
            notice.WaitPast(seen);
            seen = notice.Count();
        }
        EXPECT_FALSE(read.Done());
        read.Cancel();
        read.Wait();
        expectStopped(read);
        EXPECT_GT(progress.Final(), 1024) << "it stopped well before the end";
    }
    // Before it began (waiting for its turn): it never begins.
    {
        CoverTurns turns(0);
        CoverRead read(Asked(Path(QStringLiteral("absent.png"))), {}, &turns);
        read.Cancel();
        turns.Add();
        read.Wait();
        expectStopped(read);
    }
}

// A reader that copies each final row out and hands its place back, as the
// GL's thread does, woken by the read's notices. `most` rows at a time
// (with a pause), and it may go away after `goneAfter` rows.
QByteArray FollowRows(CoverRead& read, CoverNotice& notice, int most, int goneAfter, int& fromRing)
{
    BaseLevelProgress& progress = read.Progress();
    QByteArray got(static_cast<qsizetype>(RowBytes) * 2048, 0);
    int sentFrom = 2048;
    fromRing = 0;
    const auto send = [&](int limit) {
        const std::uint8_t* pixels = progress.Pixels();
        if (!pixels)
            return;
        const int final = std::max(progress.Final(), sentFrom - limit);
        for (int row = final; row < sentFrom; ++row) {
            const std::uint8_t* at = progress.Row(row);
            fromRing += at != pixels + row * RowBytes;
            std::memcpy(got.data() + row * RowBytes, at, RowBytes);
        }
        sentFrom = std::min(sentFrom, final);
    };
    bool gone = false;
    for (;;) {
        const unsigned long seen = notice.Count();
        if (read.Done())
            break;
        if (!gone) {
            send(most);
            std::this_thread::yield(); // a slow reader
            if (progress.Pixels())
                progress.SentFrom(sentFrom);
            if (2048 - sentFrom >= goneAfter) {
                progress.ReaderGone();
                gone = true;
            }
            if (progress.RowsUnsent())
                continue; // more to send before any notice comes
        }
        notice.WaitPast(seen);
    }
    send(2048); // what was not sent yet, from where the finished read has it
    return got;
}

TEST_F(CoverPipelineTest, NoRowIsLostWhenTheReaderIsSlowOrGone)
{
    const QString path = WriteJpeg(QStringLiteral("cover.jpg"));
    PictureSize base;
    const QByteArray want = TwoSteps(path, DecodeJpeg, base);
    ASSERT_EQ(base, (PictureSize{1024, 2048}));
    const struct {
        const char* Name;
        int Most, GoneAfter;
    } readers[] = {{"keeps up", 2048, 4096}, {"slow", 3, 4096}, {"gone part way", 16, 700}};
    for (const auto& reader : readers) {
        SCOPED_TRACE(reader.Name);
        CoverNotice notice;
        CoverRead read(Asked(path, RingBytes), {[&] { notice.Notify(); }, [&] { notice.Notify(); }});
        read.Progress().SentFrom(2048); // following from the start: the maker waits for it from its first rows
        int fromRing = 0;
        const QByteArray got = FollowRows(read, notice, reader.Most, reader.GoneAfter, fromRing);
        ASSERT_TRUE(read.Take());
        EXPECT_TRUE(got == want);
        EXPECT_GT(fromRing, 64) << "ring places were reused";
    }
}

// A read's reader waits for its notices and a decoder for its scaler: with
// no thread to run beside them, the work is done where it was asked for.
TEST_F(CoverPipelineTest, ReadsWithoutThreadsToSpareGiveTheSamePicture)
{
    const QString path = WriteJpeg(QStringLiteral("cover.jpg"));
    PictureSize base;
    const QByteArray want = TwoSteps(path, DecodeJpeg, base);
    for (const int threads : {0, 1}) {
        SCOPED_TRACE(threads);
        ThreadPool pool(StartsRefusedAfter(threads));
        const UseThreadPool use(pool);
        CoverNotice notice;
        CoverRead read(Asked(path, RingBytes), {[&] { notice.Notify(); }, [&] { notice.Notify(); }});
        if (threads == 0) {
            EXPECT_TRUE(read.Done()) << "read here and now";
        }
        for (unsigned long seen = notice.Count(); !read.Done(); seen = notice.Count())
            notice.WaitPast(seen);
        std::optional<DecodedCover> cover = read.Take();
        ASSERT_TRUE(cover);
        EXPECT_TRUE(Whole(read, *cover) == want);
    }
}

#ifdef __linux__
// The window's reads run below the process's priority, so that its view's
// thread and the GL's get the cores first; the command line's do not.
TEST_F(CoverPipelineTest, ABackgroundReadRunsBelowTheProcess)
{
    const QString path = WriteJpeg(QStringLiteral("cover.jpg"));
    const int ours = ThreadNice();
    for (const bool background : {true, false}) {
        SCOPED_TRACE(background ? "background" : "foreground");
        std::mutex mutex;
        std::vector<int> nice; // on the threads that made rows, and the one that ended the read
        const auto record = [&] {
            const std::lock_guard lock(mutex);
            nice.push_back(ThreadNice());
        };
        CoverNotice notice;
        const auto noticed = [&] {
            record();
            notice.Notify();
        };
        CoverRead::Request request = Asked(path, RingBytes);
        request.Background = background;
        CoverRead read(std::move(request), {noticed, noticed});
        read.Progress().SentFrom(2048);
        int fromRing = 0;
        FollowRows(read, notice, 2048, 4096, fromRing);
        ASSERT_TRUE(read.Take());
        const std::lock_guard lock(mutex);
        ASSERT_GT(nice.size(), 1u);
        for (const int n : nice)
            EXPECT_EQ(n, background ? std::max(ours, BackgroundNice) : ours);
    }
}
#endif

TEST(CoverNoticeTest, AWaitEndsOnANoticeGivenBeforeOrWhileItWaits)
{
    CoverNotice notice;
    const unsigned long seen = notice.Count();
    notice.Notify();
    notice.WaitPast(seen); // given before: no wait
    std::thread later([&] { notice.Notify(); });
    notice.WaitPast(seen + 1);
    later.join();
    EXPECT_EQ(notice.Count(), seen + 2);
}

} // namespace
