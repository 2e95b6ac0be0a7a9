#include "support/PictureFiles.h"

namespace {

QByteArray TgaHeader(int type, int colourMapType, int width, int height, int depth)
{
    QByteArray header(18, '\0');
    header[1] = static_cast<char>(colourMapType);
    header[2] = static_cast<char>(type);
    header[12] = static_cast<char>(width & 0xFF);
    header[13] = static_cast<char>(width >> 8);
    header[14] = static_cast<char>(height & 0xFF);
    header[15] = static_cast<char>(height >> 8);
    header[16] = static_cast<char>(depth);
    return header;
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray bytes;
    for (int v : values)
        bytes.append(static_cast<char>(v));
    return bytes;
}

using TgaFiles = PictureFiles;

TEST_F(TgaFiles, TwentyFourBitPixelsBecomeRedFirstAndOpaque)
{
    Write(Path("a.tga"), TgaHeader(2, 0, 2, 1, 24) + Bytes({10, 20, 30, 40, 50, 60}));
    RgbaPicture picture;
    int depth = 0;
    ASSERT_TRUE(ReadPictureFile(Path("a.tga"), picture, &depth));
    EXPECT_EQ(picture.Width, 2);
    EXPECT_EQ(picture.Height, 1);
    EXPECT_EQ(depth, 24);
    EXPECT_EQ(Buffer(picture), Bytes({30, 20, 10, 255, 60, 50, 40, 255}));
}

TEST_F(TgaFiles, ThirtyTwoBitPixelsKeepTheirAlpha)
{
    Write(Path("a.tga"), TgaHeader(2, 0, 1, 2, 32) + Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
    RgbaPicture picture;
    int depth = 0;
    ASSERT_TRUE(ReadPictureFile(Path("a.tga"), picture, &depth));
    EXPECT_EQ(depth, 32);
    EXPECT_EQ(Buffer(picture), Bytes({3, 2, 1, 4, 7, 6, 5, 8}));
}

TEST_F(TgaFiles, TheImageIdIsSkippedAndTopDownRowsAreTurned)
{
    QByteArray withId = TgaHeader(2, 0, 2, 1, 24);
    withId[0] = 3;
    Write(Path("id.tga"), withId + "abc" + Bytes({10, 20, 30, 40, 50, 60}));
    RgbaPicture picture;
    ASSERT_TRUE(ReadPictureFile(Path("id.tga"), picture));
    EXPECT_EQ(Buffer(picture), Bytes({30, 20, 10, 255, 60, 50, 40, 255}));

    QByteArray topDown = TgaHeader(2, 0, 1, 3, 32);
    topDown[17] = 0x28; // rows from the top, 8 alpha bits
    Write(Path("top.tga"), topDown + Bytes({1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3}));
    ASSERT_TRUE(ReadPictureFile(Path("top.tga"), picture));
    EXPECT_EQ(Buffer(picture), Bytes({3, 3, 3, 3, 2, 2, 2, 2, 1, 1, 1, 1}));

    withId.append("ab"); // the ID runs into the end of the file
    Write(Path("shortid.tga"), withId);
    EXPECT_FALSE(ReadPictureFile(Path("shortid.tga"), picture));
}

TEST_F(TgaFiles, OnlyUncompressedTrueColourOfTwentyFourOrThirtyTwoBitsIsRead)
{
    const QByteArray pixels(64, '\x11');
    const struct {
        const char* what;
        QByteArray file;
    } refused[] = {
        {"run-length encoded", TgaHeader(10, 0, 2, 2, 32) + pixels},
        {"colour-mapped type", TgaHeader(1, 1, 2, 2, 24) + pixels},
        {"true colour with a colour map", TgaHeader(2, 1, 2, 2, 24) + pixels},
        {"16 bits", TgaHeader(2, 0, 2, 2, 16) + pixels},
        {"header only", TgaHeader(2, 0, 2, 2, 24).left(17)},
        {"data ends early", TgaHeader(2, 0, 2, 2, 24) + pixels.left(11)},
        {"32-bit data ends early", TgaHeader(2, 0, 2, 2, 32) + pixels.left(15)},
    };
    for (const auto& c : refused) {
        Write(Path("r.tga"), c.file);
        RgbaPicture picture;
        PaintBusy(picture, 2, 2);
        const int before = OpenFiles();
        EXPECT_FALSE(ReadPictureFile(Path("r.tga"), picture)) << c.what;
        EXPECT_FALSE(picture.Pixels) << c.what;
        EXPECT_EQ(OpenFiles(), before) << c.what;
    }
}

TEST_F(TgaFiles, AHugeHeaderIsRefusedBeforeAllocating)
{
    Write(Path("huge.tga"), TgaHeader(2, 0, 65535, 65535, 32) + Bytes({1, 2, 3, 4}));
    RgbaPicture picture;
    PaintBusy(picture, 2, 2);
    ExpectImageError(Path("huge.tga"), "65535 x 65535");
    // 65535 x 65535 x 4 does not fit in 32 bits: refused as too large, not
    // read as a wrapped size.
    EXPECT_THROW(ReadPictureFile(Path("huge.tga"), picture), ImageError);
    EXPECT_FALSE(picture.Pixels);
}

TEST_F(TgaFiles, WriterLayoutAndRoundTrip)
{
    RgbaPicture picture;
    PaintBusy(picture, 300, 2);
    const QByteArray before = Buffer(picture);
    ASSERT_TRUE(WritePictureFile(picture, Path("w.TGA")));
    EXPECT_EQ(Buffer(picture), before) << "the buffer is red-first again";

    const QByteArray file = Read(Path("w.TGA"));
    ASSERT_EQ(file.size(), 18 + 300 * 2 * 4);
    EXPECT_EQ(file.left(18), Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 44, 1, 2, 0, 32, 0}));
    EXPECT_EQ(file.mid(18, 4), Bytes({before[2], before[1], before[0], before[3]}));

    RgbaPicture loaded;
    ASSERT_TRUE(ReadPictureFile(Path("w.TGA"), loaded));
    EXPECT_EQ(loaded.Width, 300);
    EXPECT_EQ(loaded.Height, 2);
    EXPECT_EQ(Buffer(loaded), before);
}

} // namespace
