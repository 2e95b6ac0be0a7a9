// The colours of a GIF animation's frames: a palette and error diffusion of
// their own that keep smooth gradients smooth (held to ImageMagick's own
// 256-colour reduction of the same picture), keep small palettes exactly,
// and give the same bytes for the same frames.
#include "formats/GifAnimation.h"
#include "formats/NearestColour.h"
#include "formats/PaletteChoice.h"
#include "formats/PaletteDither.h"
#include "support/GifFrames.h"
#include "support/TempFiles.h"

#include <QColor>

namespace {

QImage Filled(int width, int height, const std::function<QRgb(int, int)>& colour)
{
    QImage picture(width, height, QImage::Format_RGBA8888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y, colour(x, y));
    return picture;
}

// A navy-to-orange sky, lighter to the right, over a teal-to-magenta
// diagonal with a soft round highlight: smooth, and far more than 256 colours.
QImage Gradients(int width = 320, int height = 240)
{
    return Filled(width, height, [=](int x, int y) {
        const double across = x / (width - 1.0);
        if (y < height / 2) {
            const double t = y / (height / 2 - 1.0), light = 0.8 + 0.2 * across;
            return qRgb(qRound((0 + 255 * t) * light), qRound((0 + 165 * t) * light),
                        qRound((128 - 128 * t) * light));
        }
        const double t = (across + (y - height / 2) / (height / 2.0)) / 2;
        const double dx = x - width * 0.6, dy = y - height * 0.75;
        const double glow = 90 * std::exp(-(dx * dx + dy * dy) / (2 * 40.0 * 40.0));
        return qRgb(std::min(qRound(16 + 160 * t + glow), 255), qRound(112 - 56 * t + glow),
                    qRound(122 + 22 * t + glow));
    });
}

struct GifColours : TempFiles {
    // The frames written as one animation and read back.
    GifFrames RoundTrip(const std::vector<QImage>& frames, QByteArray* bytes = nullptr)
    {
        GifAnimation gif(frames[0].width(), frames[0].height(), QStringLiteral("test.gif"));
        for (const QImage& frame : frames)
            gif.AddFrame(RgbaRows::Of(frame), 4);
        const QByteArray written = gif.Finish();
        if (bytes)
            *bytes = written;
        Write(Path(QStringLiteral("test.gif")), written);
        return ReadGifFrames(Path(QStringLiteral("test.gif")));
    }
};

TEST_F(GifColours, FramesOfAtMost256ColoursKeepEveryPixelExactly)
{
    // 256 neighbouring colours, scattered; one colour; three colours.
    const QImage many = Filled(64, 48, [](int x, int y) {
        const int i = (x * 7 + y * 13) % 256;
        return qRgb(100 + i % 8, 50 + i / 8 % 8, 200 + i / 64);
    });
    const QImage one = Filled(64, 48, [](int, int) { return qRgb(12, 34, 250); });
    const QImage three = Filled(64, 48, [](int x, int y) {
        return x < 20 ? qRgb(1, 2, 3) : y < 9 ? qRgb(254, 253, 252) : qRgb(127, 128, 129);
    });
    const GifFrames frames = RoundTrip({many, one, three});
    ASSERT_EQ(frames.Pictures.size(), 3u);
    EXPECT_EQ(frames.Pictures[0], many.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(frames.Pictures[1], one.convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(frames.Pictures[2], three.convertToFormat(QImage::Format_RGB32));
    // The smallest colour table that holds them.
    EXPECT_EQ(frames.TableSizes, (std::vector<int>{256, 2, 4}));
    EXPECT_EQ(frames.Delays, (std::vector<int>{4, 4, 4}));
}

TEST_F(GifColours, SmoothGradientsKeepTheirColoursAtLeastAsWellAsImageMagick)
{
    const QImage gradients = Gradients();
    ASSERT_TRUE(gradients.save(Path(QStringLiteral("gradients.png"))));
    const GifFrames frames = RoundTrip({gradients});
    ASSERT_EQ(frames.Pictures.size(), 1u);
    const QImage& ours = frames.Pictures[0];
    const double psnr = Psnr(ours, gradients);
    // ImageMagick 6.9.11 reaches 35.3 dB on this picture, giflib's own
    // quantizer 34.1 dB.
    double floor = 35.3;
    if (const std::optional<QImage> theirs =
            ImageMagickColours256(Path(QStringLiteral("gradients.png"))))
        floor = Psnr(*theirs, gradients);
    else
        std::cerr << "ImageMagick is not installed: held to " << floor << " dB\n";
    EXPECT_GE(psnr, floor);
    // No false colour anywhere: every pixel within a few levels of its own.
    EXPECT_LE(MostOff(ours, gradients), 24);
}

TEST_F(GifColours, TheSameFramesGiveTheSameBytes)
{
    QByteArray first, second;
    const QImage a = Gradients(), b = Gradients().mirrored(true, false);
    RoundTrip({a, b}, &first);
    RoundTrip({a, b}, &second);
    EXPECT_EQ(first, second);
}

TEST(NearestColourTest, AgreesWithTryingEveryColourAndTakesTheLowestIndexOnATie)
{
    std::vector<PaletteColour> palette;
    std::uint32_t seed = 12345;
    const auto next = [&] {
        return static_cast<std::uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
    };
    for (int i = 0; i < 250; ++i)
        palette.push_back({next(), next(), next()});
    for (int i = 0; i < 6; ++i)
        palette.push_back(
            palette[static_cast<std::size_t>(i * 40)]); // duplicates: the first must win
    NearestColour nearest(palette);
    int wrong = 0;
    for (int r = 0; r < 256; r += 3)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 2) {
                int best = 0, bestDistance = 1 << 30;
                for (std::size_t i = 0; i < palette.size(); ++i) {
                    const int dr = r - palette[i][0], dg = g - palette[i][1],
                              db = b - palette[i][2];
                    if (dr * dr + dg * dg + db * db < bestDistance) {
                        bestDistance = dr * dr + dg * dg + db * db;
                        best = static_cast<int>(i);
                    }
                }
                wrong += nearest(r, g, b) != best;
            }
    EXPECT_EQ(wrong, 0);
    NearestColour single(std::vector<PaletteColour>{{7, 8, 9}});
    EXPECT_EQ(single(255, 0, 255), 0);
}

TEST(PaletteTest, APlainBackgroundKeepsItsColourAndDitheringKeepsTheMean)
{
    // Mostly white, with a gradient of far more than 16 colours in a corner.
    const QImage picture = Filled(200, 100, [](int x, int y) {
        return x < 80 && y < 60 ? qRgb(x * 3, y * 4, 100 + x) : qRgb(255, 255, 255);
    });
    const std::vector<PaletteColour> palette = ChoosePalette(RgbaRows::Of(picture), 16);
    EXPECT_EQ(palette.size(), 16u);
    EXPECT_NE(std::find(palette.begin(), palette.end(), PaletteColour{255, 255, 255}),
              palette.end());

    // Grey 102 from greys 96 and 112 only: a mix that keeps the level, not
    // the nearest everywhere.
    const QImage grey = Filled(100, 100, [](int, int) { return qRgb(102, 102, 102); });
    NearestColour twoGreys(std::vector<PaletteColour>{{96, 96, 96}, {112, 112, 112}});
    const std::vector<std::uint8_t> indexes = DitherToPalette(RgbaRows::Of(grey), twoGreys);
    const double lighter =
        static_cast<double>(std::count(indexes.begin(), indexes.end(), 1)) / indexes.size();
    EXPECT_NEAR(96 + 16 * lighter, 102, 1.0);
}

} // namespace
