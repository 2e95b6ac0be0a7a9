// JPEG, PNG and GIF through their codecs: round trips, what the writers set,
// and damaged or oversized files.
#include "formats/PngCodec.h"
#include "support/JpegBytes.h"
#include "support/PictureFiles.h"

#include <gif_lib.h>
#include <turbojpeg.h>

#include <array>

namespace {

using Codecs = PictureFiles;

// A smooth picture, the kind JPEG keeps well.
void PaintSmooth(RgbaPicture& picture, int width, int height)
{
    PictureFiles::Paint(picture, width, height, [=](int x, int y, std::uint8_t* p) {
        p[0] = static_cast<std::uint8_t>(x * 255 / (width - 1));
        p[1] = static_cast<std::uint8_t>(y * 255 / (height - 1));
        p[2] = 128;
        p[3] = 7;
    });
}

// Four flat quarters: red, green, blue and white.
void PaintQuarters(RgbaPicture& picture, int width, int height)
{
    PictureFiles::Paint(picture, width, height, [=](int x, int y, std::uint8_t* p) {
        static constexpr std::uint8_t colours[4][3] = {
            {200, 16, 24}, {8, 208, 32}, {40, 48, 216}, {248, 248, 248}};
        const auto& c = colours[(x < width / 2 ? 0 : 1) + (y < height / 2 ? 0 : 2)];
        p[0] = c[0];
        p[1] = c[1];
        p[2] = c[2];
        p[3] = 0;
    });
}

std::uint32_t Crc32(const QByteArray& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char byte : bytes) {
        crc ^= static_cast<std::uint8_t>(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBigEndian(QByteArray& bytes, qsizetype at, std::uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[at + i] = static_cast<char>(value >> (8 * (count - 1 - i)));
}

TEST_F(Codecs, LosslessRoundTrips)
{
    RgbaPicture picture;
    PaintBusy(picture, 37, 21);
    ASSERT_TRUE(WritePictureFile(picture, Path("a.png")));
    RgbaPicture png;
    int depth = 0;
    ASSERT_TRUE(ReadPictureFile(Path("a.png"), png, &depth));
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(Buffer(png), Opaque(picture)) << "PNG keeps the colours, not the alpha";

    // GIF's palette keeps few colours within the quantizer's 5 bits a channel.
    PaintQuarters(picture, 30, 20);
    ASSERT_TRUE(WritePictureFile(picture, Path("a.gif")));
    RgbaPicture gif;
    ASSERT_TRUE(ReadPictureFile(Path("a.gif"), gif));
    ASSERT_EQ(gif.Width, 30);
    ASSERT_EQ(gif.Height, 20);
    EXPECT_LE(MaxColourDifference(Buffer(gif), Buffer(picture)), 8);
    EXPECT_EQ(Buffer(gif)[3], static_cast<char>(255));
}

TEST_F(Codecs, JpegRoundTripWithinTolerance)
{
    RgbaPicture picture;
    PaintSmooth(picture, 64, 48);
    ASSERT_TRUE(WritePictureFile(picture, Path("a.jpg"), 95));
    RgbaPicture jpeg;
    ASSERT_TRUE(ReadPictureFile(Path("a.jpg"), jpeg));
    ASSERT_EQ(jpeg.Width, 64);
    ASSERT_EQ(jpeg.Height, 48);
    EXPECT_LE(MaxColourDifference(Buffer(jpeg), Buffer(picture)), 6);
    EXPECT_EQ(Buffer(jpeg)[3], static_cast<char>(255));

    // Lower quality, smaller file.
    ASSERT_TRUE(WritePictureFile(picture, Path("low.jpg"), 10));
    EXPECT_LT(Read(Path("low.jpg")).size(), Read(Path("a.jpg")).size());
}

TEST_F(Codecs, QualitiesBeyondTheRangeAreHeldToItsEnds)
{
    RgbaPicture picture;
    PaintSmooth(picture, 32, 16);
    const struct {
        int given, held;
    } cases[] = {{0, 1}, {-7, 1}, {101, 100}, {1000, 100}};
    for (const auto& c : cases) {
        const QString given = Path(QStringLiteral("given%1.jpg").arg(c.given));
        const QString held = Path(QStringLiteral("held%1.jpg").arg(c.held));
        ASSERT_TRUE(WritePictureFile(picture, given, c.given));
        ASSERT_TRUE(WritePictureFile(picture, held, c.held));
        EXPECT_EQ(Read(given), Read(held)) << c.given;
    }
}

TEST_F(Codecs, CmykJpegBecomesRgb)
{
    // Inks as Adobe stores them (inverted): the colour is ink x black / 255.
    std::vector<std::uint8_t> cmyk(16 * 16 * 4);
    for (std::size_t i = 0; i < cmyk.size(); i += 4) {
        const bool left = (i / 4) % 16 < 8;
        const std::array<std::uint8_t, 4> ink =
            left ? std::array<std::uint8_t, 4>{255, 255, 255, 128} : std::array<std::uint8_t, 4>{255, 0, 0, 255};
        std::copy(ink.begin(), ink.end(), cmyk.begin() + static_cast<std::ptrdiff_t>(i));
    }
    Write(Path("cmyk.jpg"), EncodeJpeg(cmyk.data(), 16, 16, TJPF_CMYK, TJSAMP_444, 100));

    RgbaPicture picture;
    ASSERT_TRUE(ReadPictureFile(Path("cmyk.jpg"), picture));
    const std::uint8_t* p = picture.Pixels.get();
    for (int c = 0; c < 3; ++c)
        EXPECT_NEAR(p[c], 128, 3);
    EXPECT_NEAR(p[15 * 4 + 0], 255, 3);
    EXPECT_NEAR(p[15 * 4 + 1], 0, 3);
    EXPECT_NEAR(p[15 * 4 + 2], 0, 3);
    EXPECT_EQ(p[3], 255);
}

TEST_F(Codecs, PngCompressionLevelFollowsTheQuality)
{
    EXPECT_EQ(PngCompressionLevel(75), 6);
    EXPECT_EQ(PngCompressionLevel(100), 9);
    EXPECT_EQ(PngCompressionLevel(11), 0);
    EXPECT_EQ(PngCompressionLevel(12), 1);
    EXPECT_EQ(PngCompressionLevel(1), 0);

    RgbaPicture picture;
    PaintQuarters(picture, 200, 200);
    ASSERT_TRUE(WritePictureFile(picture, Path("stored.png"), 1)); // level 0: stored, not deflated
    ASSERT_TRUE(WritePictureFile(picture, Path("packed.png"), 100));
    EXPECT_GT(Read(Path("stored.png")).size(), 200 * 200 * 3);
    EXPECT_LT(Read(Path("packed.png")).size(), 5000);
}

TEST_F(Codecs, GifBackgroundAndTransparencyAreTheTopLeftColour)
{
    RgbaPicture picture;
    PaintQuarters(picture, 30, 20); // top left is blue (the buffer's last row)
    ASSERT_TRUE(WritePictureFile(picture, Path("a.gif")));
    EXPECT_EQ(Read(Path("a.gif")).left(6), "GIF89a");

    int error = 0;
    GifFileType* gif = DGifOpenFileName(QFile::encodeName(Path("a.gif")).constData(), &error);
    ASSERT_NE(gif, nullptr);
    ASSERT_EQ(DGifSlurp(gif), GIF_OK);
    ASSERT_NE(gif->SColorMap, nullptr);
    const GifColorType background = gif->SColorMap->Colors[gif->SBackGroundColor];
    EXPECT_NEAR(background.Red, 40, 8);
    EXPECT_NEAR(background.Green, 48, 8);
    EXPECT_NEAR(background.Blue, 216, 8);
    GraphicsControlBlock control{};
    ASSERT_EQ(DGifSavedExtensionToGCB(gif, 0, &control), GIF_OK);
    EXPECT_EQ(control.TransparentColor, gif->SBackGroundColor);
    EXPECT_EQ(gif->SavedImages[0].RasterBits[0], gif->SBackGroundColor);
    DGifCloseFile(gif, &error);
}

// A GIF with a red, green, blue, white colour table and one picture, its rows
// given in file order.
void WriteGif(const QString& path, int screenWidth, int screenHeight, int background, int left,
              int top, int width, int height, bool interlace,
              const std::vector<std::vector<GifPixelType>>& rows)
{
    const GifColorType colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    ColorMapObject* map = GifMakeMapObject(4, colours);
    int error = 0;
    GifFileType* gif = EGifOpenFileName(QFile::encodeName(path).constData(), false, &error);
    ASSERT_NE(gif, nullptr);
    EXPECT_EQ(EGifPutScreenDesc(gif, screenWidth, screenHeight, 8, background, map), GIF_OK);
    EXPECT_EQ(EGifPutImageDesc(gif, left, top, width, height, interlace, nullptr), GIF_OK);
    for (auto row : rows)
        EXPECT_EQ(EGifPutLine(gif, row.data(), width), GIF_OK);
    EXPECT_EQ(EGifCloseFile(gif, &error), GIF_OK);
    GifFreeMapObject(map);
}

// Upright picture as one letter a pixel: r, g, b, w.
std::string Letters(const RgbaPicture& picture)
{
    std::string out;
    for (int y = picture.Height - 1; y >= 0; --y) {
        for (int x = 0; x < picture.Width; ++x) {
            const std::uint8_t* p = picture.Pixels.get() + (y * picture.Width + x) * 4;
            out += p[0] && p[1] ? 'w' : p[0] ? 'r' : p[1] ? 'g' : p[2] ? 'b' : '?';
        }
        out += '/';
    }
    return out;
}

TEST_F(Codecs, GifPictureSitsAtItsPlaceOnTheScreen)
{
    WriteGif(Path("place.gif"), 4, 3, 1, 1, 1, 2, 1, false, {{2, 3}});
    RgbaPicture picture;
    ASSERT_TRUE(ReadPictureFile(Path("place.gif"), picture));
    EXPECT_EQ(Letters(picture), "gggg/gbwg/gggg/");

    // A picture reaching beyond the screen grows it.
    WriteGif(Path("beyond.gif"), 2, 1, 0, 1, 0, 2, 2, false, {{2, 3}, {3, 2}});
    ASSERT_TRUE(ReadPictureFile(Path("beyond.gif"), picture));
    EXPECT_EQ(Letters(picture), "rbw/rwb/");

    // Interlaced rows come in four passes: 0, 8 / 4 / 2, 6 / 1, 3, 5, 7, 9.
    std::vector<std::vector<GifPixelType>> rows;
    for (int y : {0, 8, 4, 2, 6, 1, 3, 5, 7, 9})
        rows.push_back({static_cast<GifPixelType>(y % 4)});
    WriteGif(Path("interlaced.gif"), 1, 10, 0, 0, 0, 1, 10, true, rows);
    ASSERT_TRUE(ReadPictureFile(Path("interlaced.gif"), picture));
    EXPECT_EQ(Letters(picture), "r/g/b/w/r/g/b/w/r/g/");
}

TEST_F(Codecs, DamagedFilesThrowImageErrorsNamingTheFile)
{
    RgbaPicture picture;
    PaintBusy(picture, 40, 30);
    for (const char* ext : {".jpg", ".png", ".gif"}) {
        const QString good = Path(QStringLiteral("good") + ext);
        ASSERT_TRUE(WritePictureFile(picture, good));
        const QByteArray bytes = Read(good);
        for (const qsizetype keep : {bytes.size() / 2, bytes.size() - 40, qsizetype{10}, qsizetype{0}}) {
            const QString cut = Path(QStringLiteral("cut%1%2").arg(keep).arg(ext));
            Write(cut, bytes.left(keep));
            ExpectImageError(cut);
        }
        QByteArray signature = bytes;
        signature[1] = 'X';
        Write(Path(QStringLiteral("signature") + ext), signature);
        ExpectImageError(Path(QStringLiteral("signature") + ext));
    }
    // A flipped bit in the compressed data fails PNG's checksum.
    QByteArray png = Read(Path("good.png"));
    const qsizetype idat = png.indexOf("IDAT");
    ASSERT_GT(idat, 0);
    png[idat + 10] = static_cast<char>(png[idat + 10] ^ 0x10);
    Write(Path("flipped.png"), png);
    ExpectImageError(Path("flipped.png"));
}

TEST_F(Codecs, HugeSizesAreRefusedFromTheHeader)
{
    RgbaPicture picture;
    PaintBusy(picture, 4, 4);
    ASSERT_TRUE(WritePictureFile(picture, Path("small.jpg")));
    ASSERT_TRUE(WritePictureFile(picture, Path("small.png")));
    ASSERT_TRUE(WritePictureFile(picture, Path("small.gif")));

    QByteArray jpeg = Read(Path("small.jpg"));
    const qsizetype frame = jpeg.indexOf("\xFF\xC0");
    ASSERT_GT(frame, 0);
    PutBigEndian(jpeg, frame + 5, 0xFFFFFFFF, 4); // height and width
    Write(Path("huge.jpg"), jpeg);
    ExpectImageError(Path("huge.jpg")); // libjpeg itself stops at 65500
    PutBigEndian(jpeg, frame + 5, 60000, 2);
    PutBigEndian(jpeg, frame + 7, 60000, 2);
    Write(Path("large.jpg"), jpeg);
    ExpectImageError(Path("large.jpg"), "60000 x 60000");

    QByteArray png = Read(Path("small.png"));
    ASSERT_EQ(png.mid(12, 4), "IHDR");
    PutBigEndian(png, 16, 65535, 4);
    PutBigEndian(png, 20, 65535, 4);
    PutBigEndian(png, 29, Crc32(png.mid(12, 17)), 4);
    Write(Path("huge.png"), png);
    ExpectImageError(Path("huge.png"), "65535 x 65535");

    QByteArray gif = Read(Path("small.gif"));
    QByteArray screen = gif;
    screen.replace(6, 4, "\xFF\xFF\xFF\xFF");
    Write(Path("screen.gif"), screen);
    ExpectImageError(Path("screen.gif"), "65535 x 65535");
    // The picture itself claims the size, the screen stays small.
    const qsizetype descriptor = 13 + 3 * 256 + 8;
    ASSERT_EQ(gif[descriptor], ',');
    gif.replace(descriptor + 5, 4, "\xFF\xFF\xFF\xFF");
    Write(Path("frame.gif"), gif);
    ExpectImageError(Path("frame.gif"), "65535 x 65535");
}

} // namespace
