#include "output/ResultFiles.h"
#include "output/ResultWriters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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

std::uint32_t Le32(const QByteArray& b, int at)
{
    return std::uint32_t(std::uint8_t(b[at])) | std::uint32_t(std::uint8_t(b[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(b[at + 2])) << 16 | std::uint32_t(std::uint8_t(b[at + 3])) << 24;
}

struct ResultWriters : ::testing::Test {
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(ResultWriters, BmpHasA54ByteHeaderBottomUpRowsPaddedToFourBytes)
{
    // 3 pixels = 9 bytes a row, padded to 12.
    QImage image(3, 2, QImage::Format_RGB888);
    image.setPixelColor(0, 0, QColor(1, 2, 3)); // top left
    image.setPixelColor(2, 1, QColor(7, 8, 9)); // bottom right
    const QByteArray bmp = EncodeResultBmp(image);
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
    // First stored row is the bottom one; its last pixel is blue-green-red.
    EXPECT_EQ(bmp.mid(54 + 6, 3), QByteArray("\x09\x08\x07", 3));
    EXPECT_EQ(bmp.mid(54 + 9, 3), QByteArray(3, '\0')); // padding
    EXPECT_EQ(bmp.mid(54 + 12, 3), QByteArray("\x03\x02\x01", 3));
}

TEST_F(ResultWriters, BmpRoundTripsExactlyForEveryRowPadding)
{
    for (int width : {1, 2, 3, 4, 5, 450}) {
        const QImage image = Busy(width, 7);
        const QString path = Path(QStringLiteral("w%1.bmp").arg(width));
        WriteResultBmp(path, image);
        EXPECT_EQ(MaxPixelDifference(ReadResultFile(path), image), 0) << width;
    }
}

TEST_F(ResultWriters, JpegKeepsSizeOrientationAndColourOrder)
{
    const QImage image = Quadrants(64, 48);
    const QString path = Path(QStringLiteral("q.jpg"));
    WriteResultJpeg(path, image, 90);
    const QImage back = ReadResultFile(path);
    ASSERT_EQ(back.size(), image.size());
    EXPECT_LE(MaxPixelDifference(back.copy(4, 4, 20, 16), image.copy(4, 4, 20, 16)), 8);
    const QColor topRight = back.pixelColor(50, 5);
    EXPECT_GT(topRight.red(), 240);
    EXPECT_LT(topRight.blue(), 15);
}

TEST_F(ResultWriters, JpegQualityChangesTheFileAndIsClampedToItsRange)
{
    const QImage image = Busy(80, 60);
    const QByteArray low = EncodeResultJpeg(image, 10);
    const QByteArray high = EncodeResultJpeg(image, 100);
    EXPECT_LT(low.size(), high.size());
    EXPECT_EQ(EncodeResultJpeg(image, 500), high);
    EXPECT_EQ(EncodeResultJpeg(image, -3), EncodeResultJpeg(image, 1));
    EXPECT_EQ(low.left(2), QByteArray("\xFF\xD8", 2));
}

TEST_F(ResultWriters, FailuresNameThePathAndLeaveNoFileBehind)
{
    QFile blocker(Path(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString inside = Path(QStringLiteral("plain/1.jpg"));
    try {
        WriteResultJpeg(inside, Busy(4, 4), 70);
        FAIL() << "no error";
    } catch (const ImageError& e) {
        EXPECT_NE(QString::fromUtf8(e.what()).indexOf(QDir::toNativeSeparators(inside)), -1) << e.what();
    }
    EXPECT_THROW(WriteResultBmp(Path(QStringLiteral("missing/1.bmp")), Busy(4, 4)), ImageError);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("missing"))));
    EXPECT_THROW(WriteResultBmp(Path(QStringLiteral("n.bmp")), QImage()), ImageError);
    EXPECT_FALSE(QFile::exists(Path(QStringLiteral("n.bmp"))));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"plain"});
}

} // namespace
