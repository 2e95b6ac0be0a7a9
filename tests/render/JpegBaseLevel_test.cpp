// A JPEG decoded straight into its base level gives what the full-size
// decoder and the base level scaler give one after the other: same pixels,
// same errors.
#include "render/JpegBaseLevel.h"
#include "formats/JpegCodec.h"
#include "render/BaseLevel.h"
#include "concurrency/ParallelWork.h"
#include "support/JpegBytes.h"
#include "support/PictureFiles.h"

#include <turbojpeg.h>

#include <cstring>
#include <future>
#include <optional>
#include <thread>

namespace {

using JpegBaseLevelTest = PictureFiles;

struct Encoding {
    int Width, Height;
    int Format;      // TJPF_*
    int Subsampling; // TJSAMP_*
    int Flags;
};

QByteArray Encode(const Encoding& e)
{
    // Gradients under fine noise: every block has real work in it.
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(e.Width) * e.Height * 4);
    for (int y = 0; y < e.Height; ++y)
        for (int x = 0; x < e.Width; ++x) {
            std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * e.Width + x) * 4;
            const int noise = (x * 7919 + y * 104729) % 61;
            p[0] = static_cast<std::uint8_t>(x * 255 / e.Width + noise / 2);
            p[1] = static_cast<std::uint8_t>(y * 255 / e.Height);
            p[2] = static_cast<std::uint8_t>((x + y) % 256 ^ noise);
            p[3] = static_cast<std::uint8_t>(200 - noise);
        }
    return EncodeJpeg(pixels.data(), e.Width, e.Height, e.Format, e.Subsampling, 85, e.Flags);
}

// The full picture, then the base level from it.
QByteArray TwoSteps(const QString& path, PictureSize& base, int maxSide)
{
    std::vector<std::uint8_t> full;
    PictureSize size;
    DecodeJpeg(path, [&](std::int64_t w, std::int64_t h) {
        size = {static_cast<int>(w), static_cast<int>(h)};
        full.resize(static_cast<std::size_t>(w * h * 4));
        return full.data();
    });
    base = BaseLevelSize(size.Width, size.Height, maxSide);
    QByteArray out(static_cast<qsizetype>(base.Width) * base.Height * 4, 0);
    ScaleToBaseLevel(full.data(), size, reinterpret_cast<std::uint8_t*>(out.data()), base, 2);
    return out;
}

TEST_F(JpegBaseLevelTest, SamePixelsAsDecodingThenScaling)
{
    const Encoding cases[] = {
        {601, 403, TJPF_RGBX, TJSAMP_420, 0},             // down one way, up the other
        {300, 1000, TJPF_RGBX, TJSAMP_444, 0},            // tall
        {1030, 20, TJPF_RGBX, TJSAMP_422, 0},             // a strip
        {257, 130, TJPF_GRAY, TJSAMP_GRAY, 0},            // grey
        {200, 150, TJPF_CMYK, TJSAMP_420, 0},             // print inks
        {333, 222, TJPF_RGBX, TJSAMP_420, TJFLAG_PROGRESSIVE},
        {256, 128, TJPF_RGBX, TJSAMP_420, 0},             // already a base level
    };
    for (const Encoding& e : cases) {
        const QString path = Path(QStringLiteral("c%1x%2.jpg").arg(e.Width).arg(e.Height));
        Write(path, Encode(e));
        for (const int maxSide : {16384, 64}) { // 64: shrunk past a small GL's limit
            PictureSize base;
            const QByteArray want = TwoSteps(path, base, maxSide);
            for (const bool oneThread : {false, true}) { // streamed, or decoded whole on one thread
                std::optional<OneThreadHere> one;
                if (oneThread)
                    one.emplace();
                const DecodedBaseLevel got = DecodeJpegBaseLevel(path, maxSide);
                EXPECT_EQ(got.Original, (PictureSize{e.Width, e.Height}));
                ASSERT_EQ(got.Base, base) << path.toStdString();
                EXPECT_TRUE(std::memcmp(want.constData(), got.Pixels.get(), static_cast<std::size_t>(want.size())) == 0)
                    << path.toStdString() << " limit " << maxSide << " one thread " << oneThread;
            }
        }
    }
}

TEST_F(JpegBaseLevelTest, DamagedFilesFailWithTheFullDecodersTextAndNoThreadLeft)
{
    const QByteArray good = Encode({640, 480, TJPF_RGBX, TJSAMP_420, 0});
    QByteArray flipped = good;
    for (qsizetype i = flipped.size() / 2; i < flipped.size() / 2 + 64; ++i)
        flipped[i] = static_cast<char>(0xFF);
    const QByteArray cases[] = {
        good.left(good.size() / 2),                    // cut short mid-scan
        flipped,                                        // markers in the data
        good.left(300),                                 // cut inside the headers
        QByteArray("\xFF\xD8\xFF\xE0 not really a JPEG"), // a header that reads as 0 x 0
        QByteArray("plain text"),
    };
    int serial = 0;
    for (const QByteArray& bytes : cases) {
        const QString path = Path(QStringLiteral("bad%1.jpg").arg(serial++));
        Write(path, bytes);
        std::string want;
        try {
            std::vector<std::uint8_t> sink;
            DecodeJpeg(path, [&](std::int64_t w, std::int64_t h) {
                sink.resize(static_cast<std::size_t>(std::max<std::int64_t>(1, w * h * 4)));
                return sink.data();
            });
        } catch (const ImageError& e) {
            want = e.what();
        }
        ASSERT_FALSE(want.empty()) << "case " << serial - 1 << " is not damaged";
        for (const bool oneThread : {false, true}) {
            std::optional<OneThreadHere> one;
            if (oneThread)
                one.emplace();
            try {
                DecodeJpegBaseLevel(path, 16384);
                ADD_FAILURE() << "no error for case " << serial - 1;
            } catch (const ImageError& e) {
                EXPECT_EQ(std::string(e.what()), want);
            }
        }
    }
}

// Files larger than what is read before decoding: the rest is read as the
// decoder goes, past a header that does not fit in that part too, with the
// same pixels, and the same error when the file ends early.
TEST_F(JpegBaseLevelTest, LargeFilesAreReadAsTheyAreDecoded)
{
    const QByteArray big = Encode({1800, 1400, TJPF_RGBX, TJSAMP_444, 0});
    ASSERT_GT(big.size(), 600 * 1024) << "too small to be read in parts";
    // Five application segments of 60 KB before the picture's own header.
    QByteArray padded = big.left(2);
    for (int i = 0; i < 5; ++i) {
        const int length = 60 * 1024;
        padded += QByteArray("\xFF\xE9", 2);
        padded += static_cast<char>(length >> 8);
        padded += static_cast<char>(length & 0xFF);
        padded += QByteArray(length - 2, static_cast<char>('a' + i));
    }
    padded += big.mid(2);
    // A 60 KB comment after the last scan, skipped while the rest is read.
    QByteArray trailer = big.left(big.size() - 2);
    trailer += QByteArray("\xFF\xFE\xF0\x00", 4) + QByteArray(60 * 1024 - 2, 'c') + big.right(2);
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"big.jpg", big},
                 {"padded.jpg", padded},
                 {"trailer.jpg", trailer},
                 {"cut.jpg", big.left(big.size() * 3 / 4)}};
    for (const auto& c : cases) {
        const QString path = Path(QString::fromLatin1(c.name));
        Write(path, c.bytes);
        std::string wantError;
        PictureSize base;
        QByteArray want;
        try {
            want = TwoSteps(path, base, 16384);
        } catch (const ImageError& e) {
            wantError = e.what();
        }
        try {
            const DecodedBaseLevel got = DecodeJpegBaseLevel(path, 16384);
            EXPECT_EQ(wantError, "") << c.name;
            ASSERT_EQ(got.Base, base) << c.name;
            EXPECT_TRUE(std::memcmp(want.constData(), got.Pixels.get(), static_cast<std::size_t>(want.size())) == 0)
                << c.name;
        } catch (const ImageError& e) {
            EXPECT_EQ(std::string(e.what()), wantError) << c.name;
        }
    }
}

TEST_F(JpegBaseLevelTest, RowsMadeInARingReachAReaderThatSendsThemOrAGatherThatDoesNot)
{
    const QString path = Path(QStringLiteral("ring.jpg"));
    Write(path, Encode({1200, 1801, TJPF_RGBX, TJSAMP_420, 0}));
    PictureSize base;
    const QByteArray want = TwoSteps(path, base, 16384);
    ASSERT_EQ(base, (PictureSize{1024, 2048}));
    const std::size_t rowBytes = 1024 * 4;
    constexpr int RingRows = 64;

    // A reader that copies each final row out and hands its place back, as
    // the GL's thread does: every row arrives intact though places are reused.
    {
        BaseLevelProgress progress;
        progress.RecycleRows(RingRows * rowBytes);
        auto job = std::async(std::launch::async, [&] { return DecodeJpegBaseLevel(path, 16384, &progress); });
        QByteArray got(want.size(), 0);
        int sentFrom = base.Height, fromRing = 0;
        const auto send = [&] {
            const std::uint8_t* pixels = progress.Pixels();
            if (!pixels)
                return;
            const int final = progress.Final();
            for (int row = final; row < sentFrom; ++row) {
                const std::uint8_t* at = progress.Row(row);
                fromRing += at != pixels + row * rowBytes;
                std::memcpy(got.data() + row * rowBytes, at, rowBytes);
            }
            sentFrom = std::min(sentFrom, final);
            progress.SentFrom(sentFrom);
        };
        while (job.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
            send();
            std::this_thread::yield();
        }
        const DecodedBaseLevel level = job.get();
        send();
        EXPECT_EQ(sentFrom, 0);
        EXPECT_TRUE(got == want);
        EXPECT_GT(fromRing, RingRows) << "ring places were reused";
    }
    // A reader that stops following part way (an error elsewhere) does not
    // hold the maker up: it no longer waits for ring places once told.
    {
        BaseLevelProgress progress;
        progress.RecycleRows(RingRows * rowBytes);
        auto job = std::async(std::launch::async, [&] { return DecodeJpegBaseLevel(path, 16384, &progress); });
        while (!progress.Pixels() || progress.Final() > base.Height - 2 * RingRows)
            std::this_thread::yield();
        progress.SentFrom(progress.Final()); // began, then went away
        progress.ReaderGone();
        // Without it, the maker would wait for good.
        ASSERT_EQ(job.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        job.get();
    }
    // A reader that no longer wants the picture stops the decoder at once,
    // here while it waits for a ring place the reader will never send.
    {
        BaseLevelProgress progress;
        progress.RecycleRows(RingRows * rowBytes);
        // Begun before the maker starts, sending nothing: once the ring is
        // full the maker waits, however late this thread runs.
        progress.SentFrom(base.Height);
        auto job = std::async(std::launch::async, [&] { return DecodeJpegBaseLevel(path, 16384, &progress); });
        while (!progress.Pixels() || progress.Final() > base.Height - RingRows / 2)
            std::this_thread::yield();
        progress.Cancel();
        ASSERT_EQ(job.wait_for(std::chrono::seconds(30)), std::future_status::ready);
        try {
            job.get();
            ADD_FAILURE() << "a cancelled decode gave a picture";
        } catch (const ImageError& e) {
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(QLatin1String("reading was stopped"))) << e.what();
            EXPECT_TRUE(QString::fromStdString(e.what()).contains(path)) << e.what();
        }
        EXPECT_GT(progress.Final(), base.Height / 2) << "it stopped well before the end";
    }
    // A reader that sends nothing: gathered, the picture is whole.
    {
        BaseLevelProgress progress;
        progress.RecycleRows(RingRows * rowBytes);
        DecodedBaseLevel level = DecodeJpegBaseLevel(path, 16384, &progress);
        ASSERT_EQ(progress.Pixels(), level.Pixels.get());
        progress.Gather();
        EXPECT_TRUE(std::memcmp(want.constData(), level.Pixels.get(), static_cast<std::size_t>(want.size())) == 0);
    }
}

} // namespace
