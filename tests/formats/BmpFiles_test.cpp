#include "support/PictureFiles.h"

#include <QImage>

namespace {

QByteArray Le(std::uint32_t value, int bytes)
{
    QByteArray out;
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

// File and 40-byte info header; the pixels start right after `tableBytes`.
QByteArray BmpHeader(std::int32_t width, std::int32_t height, int bits, int compression,
                     int tableBytes, int colours = 0)
{
    return "BM" + Le(0, 4) + Le(0, 4) + Le(54 + tableBytes, 4) + Le(40, 4) +
           Le(static_cast<std::uint32_t>(width), 4) + Le(static_cast<std::uint32_t>(height), 4) +
           Le(1, 2) + Le(bits, 2) + Le(compression, 4) + Le(0, 4) + Le(0, 4) + Le(0, 4) +
           Le(colours, 4) + Le(0, 4);
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

using BmpFiles = PictureFiles;

TEST_F(BmpFiles, WriterLayoutOfAThreeByTwoPicture)
{
    RgbaPicture picture;
    PaintBusy(picture, 3, 2);
    const QByteArray before = Buffer(picture);
    ASSERT_TRUE(WritePictureFile(picture, Path("w.bmp")));
    EXPECT_EQ(Buffer(picture), before) << "the buffer is red-first again";

    const QByteArray file = Read(Path("w.bmp"));
    ASSERT_EQ(file.size(), 78);
    const QByteArray expected = "BM" + Le(78, 4) + Le(0, 4) + Le(54, 4) + Le(40, 4) + Le(3, 4) +
                                Le(2, 4) + Le(1, 2) + Le(32, 2) + Le(0, 4) + Le(24, 4) +
                                QByteArray(16, '\0');
    EXPECT_EQ(file.left(54), expected);
    EXPECT_EQ(file.mid(54, 4), Bytes({before[2], before[1], before[0], before[3]}));
}

TEST_F(BmpFiles, AShortWriteGivesFalseAndRestoresTheBuffer)
{
    if (!QFile::exists(QStringLiteral("/dev/full")))
        GTEST_SKIP() << "needs /dev/full";
    RgbaPicture picture;
    PaintBusy(picture, 64, 64);
    const QByteArray before = Buffer(picture);
    for (const char* name : {"full.bmp", "full.tga"}) {
        ASSERT_TRUE(QFile::link(QStringLiteral("/dev/full"), Path(name)));
        EXPECT_FALSE(WritePictureFile(picture, Path(name))) << name;
        EXPECT_EQ(Buffer(picture), before) << name;
    }
}

TEST_F(BmpFiles, ReadsWhatItWritesAndWhatQtWrites)
{
    RgbaPicture picture;
    PaintBusy(picture, 13, 7);
    ASSERT_TRUE(WritePictureFile(picture, Path("own.bmp")));
    const QImage upright = UprightImage(picture).convertToFormat(QImage::Format_RGB888);
    ASSERT_TRUE(upright.save(Path("rgb24.bmp"), "BMP")); // rows padded to 4 bytes
    ASSERT_TRUE(upright.convertToFormat(QImage::Format_Indexed8).save(Path("indexed.bmp"), "BMP"));

    for (const char* name : {"own.bmp", "rgb24.bmp"}) {
        RgbaPicture loaded;
        int depth = 0;
        ASSERT_TRUE(ReadPictureFile(Path(name), loaded, &depth)) << name;
        EXPECT_EQ(depth, 32);
        EXPECT_EQ(Buffer(loaded), Opaque(picture)) << name;
    }
    RgbaPicture indexed;
    ASSERT_TRUE(ReadPictureFile(Path("indexed.bmp"), indexed));
    const RgbaPicture expected = PictureOfImage(QImage(Path("indexed.bmp")));
    EXPECT_EQ(Buffer(indexed), Buffer(expected));
}

TEST_F(BmpFiles, TopDownPalettesBitFieldsAndRuns)
{
    // Two rows of two pixels, top row first: red green / blue white.
    const QByteArray palette = Bytes({0, 0, 255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 255, 255, 255, 0});
    const QByteArray topDown4 = BmpHeader(2, -2, 4, 0, 16) + palette + Bytes({0x01, 0, 0, 0}) +
                                Bytes({0x23, 0, 0, 0});
    // 16-bit 5-6-5 bottom-up: blue white / red green.
    const QByteArray fields565 = BmpHeader(2, 2, 16, 3, 12) + Le(0xF800, 4) + Le(0x07E0, 4) +
                                 Le(0x001F, 4) + Le(0x001F, 2) + Le(0xFFFF, 2) + Le(0xF800, 2) +
                                 Le(0x07E0, 2);
    // RLE8, bottom row first: three literal indexes (the third beyond the row,
    // one byte of padding), end of line, again, end of bitmap.
    const QByteArray rle8 = BmpHeader(2, 2, 8, 1, 16, 4) + palette +
                            Bytes({0, 3, 2, 3, 1, 0, 0, 0, 0, 3, 0, 1, 2, 0, 0, 1});
    // RLE4: runs of two alternating nibbles.
    const QByteArray rle4 = BmpHeader(2, 2, 4, 2, 16, 4) + palette +
                            Bytes({2, 0x23, 0, 0, 2, 0x01, 0, 1});
    const QByteArray expected = Bytes({0, 0, 255, 255, 255, 255, 255, 255, 255, 0, 0, 255, 0, 255, 0, 255});
    const struct {
        const char* name;
        QByteArray file;
    } cases[] = {{"topdown4.bmp", topDown4},
                 {"fields565.bmp", fields565},
                 {"rle8.bmp", rle8},
                 {"rle4.bmp", rle4}};
    for (const auto& c : cases) {
        Write(Path(c.name), c.file);
        RgbaPicture picture;
        ASSERT_TRUE(ReadPictureFile(Path(c.name), picture)) << c.name;
        EXPECT_EQ(Buffer(picture), expected) << c.name;
    }
}

TEST_F(BmpFiles, DamagedFilesAreRefusedWithTheirName)
{
    RgbaPicture picture;
    PaintBusy(picture, 40, 30);
    ASSERT_TRUE(WritePictureFile(picture, Path("good.bmp")));
    const QByteArray good = Read(Path("good.bmp"));

    Write(Path("half.bmp"), good.left(good.size() / 2));
    ExpectImageError(Path("half.bmp"), "cut short");
    Write(Path("header.bmp"), good.left(30));
    ExpectImageError(Path("header.bmp"), "cut short");
    Write(Path("empty.bmp"), QByteArray());
    ExpectImageError(Path("empty.bmp"));
    QByteArray signature = good;
    signature[0] = 'X';
    Write(Path("signature.bmp"), signature);
    ExpectImageError(Path("signature.bmp"), "not a BMP");
    QByteArray depth = good;
    depth[28] = 7;
    Write(Path("depth.bmp"), depth);
    ExpectImageError(Path("depth.bmp"), "7 bits");
    // Runs that stop before the last row.
    Write(Path("runs.bmp"), BmpHeader(4, 4, 8, 1, 4, 1) + Bytes({0, 0, 255, 0}) + Bytes({4, 0, 0, 0}));
    ExpectImageError(Path("runs.bmp"), "cut short");
}

TEST_F(BmpFiles, AHugeHeaderIsRefusedBeforeAllocating)
{
    Write(Path("huge.bmp"), BmpHeader(65535, 65535, 24, 0, 0) + QByteArray(16, '\0'));
    ExpectImageError(Path("huge.bmp"), "65535 x 65535");
    // Within the limits but far more pixels than the file holds.
    Write(Path("big.bmp"), BmpHeader(16000, 16000, 32, 0, 0) + QByteArray(16, '\0'));
    ExpectImageError(Path("big.bmp"), "cut short");
}

} // namespace
