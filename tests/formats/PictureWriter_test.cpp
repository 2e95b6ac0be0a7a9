// The picture encoders every writer shares: file layouts byte by byte where
// stored files depend on them, and pixels read back with the program's own
// decoders.
#include "formats/PictureWriter.h"
#include "formats/PngCodec.h"
#include "support/ResultFiles.h"
#include "support/TempFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Every pixel differs from its neighbours; red, green and blue differ too.
QImage Busy(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixelColor(x, y, QColor((x * 37 + y * 11) & 255, (x * 5 + y * 73) & 255, (x * x + y) & 255));
    return image;
}

// Large flat blocks: JPEG keeps them within a few levels.
QImage Quadrants(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            image.setPixelColor(x, y, !bottom ? (right ? QColor(255, 0, 0) : QColor(0, 0, 255))
                                              : (right ? QColor(0, 255, 0) : QColor(255, 255, 255)));
        }
    return image;
}

// The same picture as an RgbaPicture keeps it: bottom row first.
std::vector<std::uint8_t> BottomUpCopy(const QImage& rgba)
{
    const auto row = static_cast<std::size_t>(rgba.width()) * 4;
    std::vector<std::uint8_t> pixels(row * static_cast<std::size_t>(rgba.height()));
    for (int y = 0; y < rgba.height(); ++y)
        std::memcpy(pixels.data() + static_cast<std::size_t>(rgba.height() - 1 - y) * row, rgba.constScanLine(y), row);
    return pixels;
}

std::uint32_t Le32(const QByteArray& b, int at)
{
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

struct PictureWriter : TempFiles {
    QByteArray Encode24(const QImage& image) const
    {
        return EncodeBmp(RgbaRows::Of(AsRgba(image, QStringLiteral("x"))), BmpLayout::Bgr24, QStringLiteral("x"));
    }
};

TEST_F(PictureWriter, BmpHasA54ByteHeaderBottomUpRowsPaddedToFourBytes)
{
    // 3 pixels = 9 bytes a row, padded to 12.
    QImage image(3, 2, QImage::Format_RGB888);
    image.setPixelColor(0, 0, QColor(1, 2, 3)); // top left
    image.setPixelColor(2, 1, QColor(7, 8, 9)); // bottom right
    const QByteArray bmp = Encode24(image);
    ASSERT_EQ(bmp.size(), 54 + 2 * 12);
    EXPECT_EQ(bmp.left(2), "BM");
    EXPECT_EQ(Le32(bmp, 2), 78u);  // file size
    EXPECT_EQ(Le32(bmp, 10), 54u); // pixel offset
    EXPECT_EQ(Le32(bmp, 14), 40u); // info header
    EXPECT_EQ(Le32(bmp, 18), 3u);
    EXPECT_EQ(Le32(bmp, 22), 2u); // positive height: bottom row first
    EXPECT_EQ(Le32(bmp, 26) & 0xFFFF, 1u);
    EXPECT_EQ(Le32(bmp, 26) >> 16, 24u);
    EXPECT_EQ(Le32(bmp, 30), 0u); // no compression
    EXPECT_EQ(Le32(bmp, 34), 24u);
    EXPECT_EQ(Le32(bmp, 38), 3780u); // 96 dots per inch, both ways
    EXPECT_EQ(Le32(bmp, 42), 3780u);
    EXPECT_EQ(bmp.mid(46, 8), QByteArray(8, '\0'));
    // First stored row is the bottom one; its last pixel is blue-green-red.
    EXPECT_EQ(bmp.mid(54 + 6, 3), QByteArray("\x09\x08\x07", 3));
    EXPECT_EQ(bmp.mid(54 + 9, 3), QByteArray(3, '\0')); // padding
    EXPECT_EQ(bmp.mid(54 + 12, 3), QByteArray("\x03\x02\x01", 3));
}

TEST_F(PictureWriter, BmpRoundTripsExactlyForEveryRowPadding)
{
    for (int width : {1, 2, 3, 4, 5, 450}) {
        const QImage image = Busy(width, 7);
        const QString path = Path(QStringLiteral("w%1.bmp").arg(width));
        Write(path, Encode24(image));
        EXPECT_EQ(MaxPixelDifference(ReadResultFile(path), image), 0) << width;
    }
}

TEST_F(PictureWriter, ThirtyTwoBitLayoutsKeepAlphaAndTheTexturesHeaders)
{
    QImage image(2, 2, QImage::Format_RGBA8888);
    image.setPixel(0, 0, qRgba(1, 2, 3, 4)); // top left
    image.setPixel(1, 0, qRgba(5, 6, 7, 8));
    image.setPixel(0, 1, qRgba(9, 10, 11, 12)); // bottom left
    image.setPixel(1, 1, qRgba(13, 14, 15, 16));
    const std::vector<std::uint8_t> stored = BottomUpCopy(image);
    const RgbaRows rows = RgbaRows::BottomUp(stored.data(), 2, 2);
    const QByteArray bottomRowFirst = Bytes({11, 10, 9, 12, 15, 14, 13, 16, 3, 2, 1, 4, 7, 6, 5, 8});

    const QByteArray bmp = EncodeBmp(rows, BmpLayout::Bgra32, QStringLiteral("b"));
    ASSERT_EQ(bmp.size(), 54 + 16);
    EXPECT_EQ(Le32(bmp, 2), 70u);
    EXPECT_EQ(Le32(bmp, 26) >> 16, 32u);
    EXPECT_EQ(Le32(bmp, 34), 16u);
    EXPECT_EQ(bmp.mid(38, 16), QByteArray(16, '\0')) << "no resolution";
    EXPECT_EQ(bmp.mid(54), bottomRowFirst);

    const QByteArray tga = EncodeTga(rows, TgaLayout::Bgra32Unannounced, QStringLiteral("t"));
    EXPECT_EQ(tga.left(18), Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0}));
    EXPECT_EQ(tga.mid(18), bottomRowFirst);
    // The command line's transparent Targa says it has 8 alpha bits; an
    // upright picture gives the same rows.
    const QByteArray alpha = EncodeTga(RgbaRows::Of(image), TgaLayout::Bgra32, QStringLiteral("t"));
    EXPECT_EQ(alpha.left(18), Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 8}));
    EXPECT_EQ(alpha.mid(18), bottomRowFirst);
    const QByteArray opaque = EncodeTga(RgbaRows::Of(image), TgaLayout::Bgr24, QStringLiteral("t"));
    EXPECT_EQ(opaque.left(18), Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0}));
    EXPECT_EQ(opaque.mid(18), Bytes({11, 10, 9, 15, 14, 13, 3, 2, 1, 7, 6, 5}));
}

TEST_F(PictureWriter, JpegKeepsSizeOrientationAndColourOrder)
{
    const QImage image = Quadrants(64, 48);
    const QString path = Path(QStringLiteral("q.jpg"));
    Write(path, EncodeJpeg(RgbaRows::Of(AsRgba(image, path)), 90, path));
    const QImage back = ReadResultFile(path);
    ASSERT_EQ(back.size(), image.size());
    EXPECT_LE(MaxPixelDifference(back.copy(4, 4, 20, 16), image.copy(4, 4, 20, 16)), 8);
    const QColor topRight = back.pixelColor(50, 5);
    EXPECT_GT(topRight.red(), 240);
    EXPECT_LT(topRight.blue(), 15);
}

TEST_F(PictureWriter, JpegQualityChangesTheFileAndIsClampedToItsRange)
{
    const QImage rgba = AsRgba(Busy(80, 60), QStringLiteral("j"));
    const auto encode = [&](int quality) { return EncodeJpeg(RgbaRows::Of(rgba), quality, QStringLiteral("j")); };
    const QByteArray low = encode(10);
    const QByteArray high = encode(100);
    EXPECT_LT(low.size(), high.size());
    EXPECT_EQ(encode(500), high);
    EXPECT_EQ(encode(-3), encode(1));
    EXPECT_EQ(low.left(2), QByteArray("\xFF\xD8", 2));
}

// The window's result, the command line's picture and the plain picture
// file come from one encoder: the same pixels give the same bytes, whichever
// way up they are stored.
TEST_F(PictureWriter, BottomUpBuffersEncodeLikeUprightPictures)
{
    const QImage rgba = AsRgba(Busy(37, 21), QStringLiteral("p"));
    const std::vector<std::uint8_t> stored = BottomUpCopy(rgba);
    const RgbaRows upright = RgbaRows::Of(rgba);
    const RgbaRows bottomUp = RgbaRows::BottomUp(stored.data(), 37, 21);
    const QString what = QStringLiteral("p");
    EXPECT_EQ(EncodeJpeg(upright, 75, what), EncodeJpeg(bottomUp, 75, what));
    EXPECT_EQ(EncodePng(upright, true, PngOutputLevel, what), EncodePng(bottomUp, true, PngOutputLevel, what));
    EXPECT_EQ(EncodeBmp(upright, BmpLayout::Bgr24, what), EncodeBmp(bottomUp, BmpLayout::Bgr24, what));
    EXPECT_EQ(EncodeTga(upright, TgaLayout::Bgr24, what), EncodeTga(bottomUp, TgaLayout::Bgr24, what));
    // The window's 24-bit capture gives the bytes its RGBA copy gives.
    EXPECT_EQ(EncodeJpeg(RgbaRows::Of(AsRgba(rgba.convertToFormat(QImage::Format_RGB888), what)), 75, what),
              EncodeJpeg(upright, 75, what));
}

TEST_F(PictureWriter, PngStoredAtLevelZeroPackedAtTheTop)
{
    const QImage quarters = AsRgba(Quadrants(200, 200), QStringLiteral("q"));
    const QByteArray stored = EncodePng(RgbaRows::Of(quarters), false, PngCompressionLevel(1), QStringLiteral("q"));
    const QByteArray packed = EncodePng(RgbaRows::Of(quarters), false, PngCompressionLevel(100), QStringLiteral("q"));
    EXPECT_GT(stored.size(), 200 * 200 * 3);
    EXPECT_LT(packed.size(), 5000);
    EXPECT_EQ(packed.left(8), QByteArray("\x89PNG\r\n\x1A\n", 8));
    EXPECT_EQ(packed.mid(12, 4), "IHDR");
    EXPECT_EQ(packed.mid(25, 1), Bytes({2})) << "RGB";
    EXPECT_EQ(packed.mid(37, 4), "sRGB");
    EXPECT_TRUE(packed.endsWith(Bytes({0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82})));
    EXPECT_EQ(MaxPixelDifference(QImage::fromData(stored, "PNG"), Quadrants(200, 200)), 0);
    EXPECT_EQ(MaxPixelDifference(QImage::fromData(packed, "PNG"), Quadrants(200, 200)), 0);
}

TEST_F(PictureWriter, NothingToEncodeIsAnErrorNamingTheFile)
{
    const QString path = Path(QStringLiteral("n.jpg"));
    for (const QImage& nothing : {QImage(), QImage(0, 5, QImage::Format_RGB888)}) {
        try {
            AsRgba(nothing, path);
            ADD_FAILURE() << "no error";
        } catch (const ImageError& e) {
            EXPECT_EQ(QString::fromUtf8(e.what()), QDir::toNativeSeparators(path) + ": there is no picture to write");
        }
    }
    EXPECT_THROW(EncodeJpeg(RgbaRows{}, 70, path), ImageError);
    EXPECT_THROW(EncodePng(RgbaRows{}, false, 4, path), ImageError);
    EXPECT_THROW(AsRgba(QImage(20000, 2, QImage::Format_Mono), path), ImageError) << "beyond the size limit";
}

} // namespace
