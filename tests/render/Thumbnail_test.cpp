// A thumbnail made from a base level's rows as they come is the one made
// from the whole base level: same picked rows and columns, same pixels,
// also when the rows were made in a ring a reader recycled meanwhile.
#include "render/JpegBaseLevel.h"
#include "render/CoverImage.h"
#include "render/Thumbnail.h"
#include "support/JpegBytes.h"
#include "support/PictureFiles.h"

#include <turbojpeg.h>

#include <future>
#include <thread>

namespace {

using ThumbnailTest = PictureFiles;

QByteArray Pixels(const QImage& image)
{
    return QByteArray(reinterpret_cast<const char*>(image.constBits()), static_cast<qsizetype>(image.sizeInBytes()));
}

TEST_F(ThumbnailTest, RowsAsTheyComeGiveTheWholePicturesThumbnail)
{
    struct Case {
        int Width, Height;
        QSize Fit;
    };
    const Case cases[] = {
        {4096, 4096, {200, 133}}, // a 24 MP cover's base level in a preview
        {4096, 2048, {150, 75}},
        {2048, 2048, {37, 23}},
        {1024, 4096, {60, 240}},
        {3000, 1000, {301, 100}}, // not a power of two: pictures kept as they are
        {256, 4096, {100, 100}},  // kept whole across, reduced down
        {64, 32, {50, 25}},       // nothing to reduce: every row is read
        {1, 777, {1, 13}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << " in " << c.Fit.width() << " x "
                                        << c.Fit.height());
        RgbaPicture picture;
        Paint(picture, c.Width, c.Height, [](int x, int y, std::uint8_t* p) {
            const std::uint32_t n = (static_cast<std::uint32_t>(x) * 2654435761u) ^ (static_cast<std::uint32_t>(y) * 40503u);
            p[0] = static_cast<std::uint8_t>(n >> 24);
            p[1] = static_cast<std::uint8_t>(n >> 16);
            p[2] = static_cast<std::uint8_t>(n >> 8);
            p[3] = 255;
        });
        const QImage whole = ThumbnailOf(picture, c.Fit);
        ASSERT_EQ(whole.size(), c.Fit);

        ThumbnailRows rows({c.Width, c.Height}, c.Fit);
        // Top down, as a decoder makes them; each from a buffer of its own
        // that is spoiled right after, as a recycled ring place would be.
        std::vector<std::uint8_t> row(static_cast<std::size_t>(c.Width) * 4);
        for (int y = c.Height - 1; y >= 0; --y) {
            EXPECT_FALSE(rows.Complete() && y == c.Height - 1);
            const std::uint8_t* at = picture.Pixels.get() + static_cast<std::size_t>(y) * row.size();
            std::copy(at, at + row.size(), row.begin());
            rows.Take(y, row.data());
            std::fill(row.begin(), row.end(), std::uint8_t{0x5A});
        }
        rows.Take(0, row.data()); // a row seen twice counts once
        ASSERT_TRUE(rows.Complete());
        const QImage made = rows.Finish();
        EXPECT_EQ(made.format(), whole.format());
        EXPECT_EQ(made.size(), whole.size());
        EXPECT_TRUE(Pixels(made) == Pixels(whole));
    }
}

QByteArray Jpeg(int width, int height)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * height * 4);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = pixels.data() + (static_cast<std::size_t>(y) * width + x) * 4;
            p[0] = static_cast<std::uint8_t>(x * 255 / width ^ (y * 7));
            p[1] = static_cast<std::uint8_t>(y * 255 / height);
            p[2] = static_cast<std::uint8_t>((x * 13 + y * 29) % 251);
        }
    return EncodeJpeg(pixels.data(), width, height, TJPF_RGBX, TJSAMP_420, 90);
}

TEST_F(ThumbnailTest, ACoverReadIntoARecycledRingHasTheThumbnailOfOneReadWhole)
{
    const QString path = Path(QStringLiteral("cover.jpg"));
    Write(path, Jpeg(3000, 2000));
    const QSize preview(120, 90);
    const std::optional<DecodedCover> plain = DecodeCoverImage(path, preview, 16384);
    ASSERT_TRUE(plain && !plain->Thumbnail.isNull());

    BaseLevelProgress progress;
    const std::size_t rowBytes = std::size_t{2048} * 4;
    progress.RecycleRows(64 * rowBytes); // a ring of 64 rows for 2048: reused over and over
    auto reading = std::async(std::launch::async, [&] { return DecodeCoverImage(path, preview, 16384, &progress); });
    // A reader that sends every final row at once, so ring places are reused.
    int sent = INT_MAX;
    while (reading.wait_for(std::chrono::microseconds(200)) != std::future_status::ready) {
        if (!progress.Pixels())
            continue;
        const int final = progress.Final();
        if (final < sent) {
            progress.SentFrom(final);
            sent = final;
        }
    }
    const std::optional<DecodedCover> streamed = reading.get();
    ASSERT_TRUE(streamed);
    ASSERT_LT(sent, 2048) << "rows were sent while the cover was read";
    EXPECT_TRUE(Pixels(streamed->Thumbnail) == Pixels(plain->Thumbnail));
    EXPECT_EQ(streamed->Thumbnail.size(), plain->Thumbnail.size());
}

} // namespace
