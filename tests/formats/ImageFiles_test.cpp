// Which reader or writer a file name picks, and what happens around them.
#include "support/PictureFiles.h"

namespace {

using ImageFiles = PictureFiles;

const char* const AllExtensions[] = {".bmp", ".jpg", ".png", ".gif", ".tga"};

TEST_F(ImageFiles, ExtensionsAreMatchedWithoutRegardToCase)
{
    RgbaPicture picture;
    PaintBusy(picture, 8, 8);
    for (const char* name : {"a.JPG", "b.Png", "c.GIF", "d.bMp", "e.TgA", "dir.x.jpg"}) {
        ASSERT_TRUE(WritePictureFile(picture, Path(name))) << name;
        RgbaPicture loaded;
        EXPECT_TRUE(ReadPictureFile(Path(name), loaded)) << name;
        EXPECT_EQ(loaded.Width, 8);
        EXPECT_EQ(loaded.Height, 8);
    }
}

TEST_F(ImageFiles, OtherExtensionsAreRefusedAfterTheBufferIsReleased)
{
    RgbaPicture picture;
    PaintBusy(picture, 8, 8);
    ASSERT_TRUE(WritePictureFile(picture, Path("a.jpg")));
    ASSERT_TRUE(QFile::copy(Path("a.jpg"), Path("a.jpeg")));
    ASSERT_TRUE(QFile::copy(Path("a.jpg"), Path("noextension")));
    for (const char* name : {"a.jpeg", "noextension"}) {
        RgbaPicture loaded;
        PaintBusy(loaded, 2, 2);
        EXPECT_FALSE(ReadPictureFile(Path(name), loaded)) << name;
        EXPECT_FALSE(loaded.Pixels) << name;
    }
    EXPECT_FALSE(WritePictureFile(picture, Path("b.jpeg")));
    EXPECT_FALSE(WritePictureFile(picture, Path("b.tiff")));
    EXPECT_FALSE(QFile::exists(Path("b.jpeg")));
}

TEST_F(ImageFiles, AMissingFileLeavesTheObjectAsItWas)
{
    RgbaPicture picture;
    PaintBusy(picture, 3, 3);
    const std::uint8_t* buffer = picture.Pixels.get();
    const QByteArray before = Buffer(picture);
    for (const char* ext : AllExtensions) {
        EXPECT_FALSE(ReadPictureFile(Path(QStringLiteral("missing") + ext), picture));
        EXPECT_EQ(picture.Pixels.get(), buffer);
        EXPECT_EQ(Buffer(picture), before);
    }
}

TEST_F(ImageFiles, NothingIsWrittenWithoutAPicture)
{
    RgbaPicture picture;
    for (const char* ext : AllExtensions) {
        const QString path = Path(QStringLiteral("none") + ext);
        EXPECT_FALSE(WritePictureFile(picture, path)) << ext;
        EXPECT_FALSE(QFile::exists(path)) << ext;
    }
}

TEST_F(ImageFiles, FileSystemErrorsPropagateAsImageErrors)
{
    RgbaPicture picture;
    PaintBusy(picture, 4, 4);
    for (const char* ext : AllExtensions) {
        const QString path = Path(QStringLiteral("no/such/folder/a") + ext);
        try {
            WritePictureFile(picture, path);
            ADD_FAILURE() << "no ImageError writing " << ext;
        } catch (const ImageError& error) {
            EXPECT_NE(std::string(error.what()).find(path.toStdString()), std::string::npos)
                << error.what();
        }
        // A folder named like a picture exists but cannot be read as one.
        const QString folder = Path(QStringLiteral("folder") + ext);
        ASSERT_TRUE(QDir().mkpath(folder));
        ExpectImageError(folder);
    }
}

} // namespace

// Whole files come back byte for byte, whatever their size against the
// reader's buffer steps.
TEST_F(ImageFiles, WholeFilesAreReadByteForByte)
{
    for (const std::size_t size : {0, 1, 65535, 65536, 65537, 200000}) {
        std::vector<std::uint8_t> bytes(size);
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        const QString name = Path(QStringLiteral("bytes%1.bin").arg(size));
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(size)),
                  static_cast<qint64>(size));
        file.close();
        EXPECT_EQ(ReadWholeFile(name), bytes) << size << " bytes";
    }
}

// A file's start and the rest read from where it ends give the whole file,
// at sizes on either side of the start's.
TEST_F(ImageFiles, AFilesStartAndItsRestMakeTheWholeFile)
{
    constexpr std::size_t start = 1000;
    for (const std::size_t size : {0, 999, 1000, 1001, 5000}) {
        QByteArray bytes(static_cast<qsizetype>(size), '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[static_cast<qsizetype>(i)] = static_cast<char>(i * 13 + i / 7);
        const QString name = Path(QStringLiteral("start%1.bin").arg(size));
        Write(name, bytes);
        FileStart read = ReadFileStart(name, start);
        EXPECT_EQ(read.Head.size(), std::min(size, start)) << size;
        EXPECT_EQ(read.Whole, size <= start) << size;
        QByteArray all(reinterpret_cast<const char*>(read.Head.data()), static_cast<qsizetype>(read.Head.size()));
        char piece[300];
        std::size_t got = 0;
        while ((got = std::fread(piece, 1, sizeof piece, read.File.get())) > 0)
            all.append(piece, static_cast<qsizetype>(got));
        EXPECT_EQ(all, bytes) << size << " bytes";
    }
}
