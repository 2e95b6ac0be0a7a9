// Covers are read by what they hold, not by what their names say: the loader
// the window and the command line share.
#include "formats/PictureKind.h"
#include "render/CoverImage.h"
#include "support/JpegBytes.h"
#include "support/TempFiles.h"

#include <QBuffer>
#include <QImage>

#include <vector>

namespace {

class CoverContent : public TempFiles {
public:
    static QByteArray Saved(const QImage& image, const char* format)
    {
        QByteArray bytes;
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        EXPECT_TRUE(image.save(&buffer, format));
        return bytes;
    }

    static QImage Halves()
    {
        QImage image(24, 16, QImage::Format_RGB888);
        image.fill(QColor(200, 30, 40));
        for (int y = 8; y < 16; ++y)
            for (int x = 0; x < 24; ++x)
                image.setPixelColor(x, y, QColor(20, 60, 220));
        return image;
    }

    static QByteArray JpegOf(const QImage& image)
    {
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                rgb.insert(rgb.end(), {static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                                       static_cast<std::uint8_t>(c.blue())});
            }
        return EncodeJpeg(rgb.data(), image.width(), image.height(), TJPF_RGB, TJSAMP_444, 95);
    }

    // The base level's bytes, as the GL would get them.
    QByteArray Decoded(const QString& name, const QByteArray& bytes)
    {
        Write(Path(name), bytes);
        const std::optional<DecodedCover> cover = DecodeCoverImage(Path(name), QSize(40, 40), 16384);
        EXPECT_TRUE(cover) << name.toStdString();
        if (!cover)
            return {};
        EXPECT_FALSE(cover->Thumbnail.isNull());
        return QByteArray(reinterpret_cast<const char*>(cover->Picture->Pixels.get()),
                          static_cast<qsizetype>(cover->Picture->PixelBytes()));
    }
};

TEST_F(CoverContent, APictureIsReadByItsContentWhateverItsName)
{
    const QImage picture = Halves();
    const struct {
        QByteArray bytes;
        const char* rightName;
        const char* wrongName;
    } cases[] = {
        {Saved(picture, "PNG"), "right.png", "wrong.jpg"},
        {JpegOf(picture), "right.jpg", "wrong.png"},
        {Saved(picture, "BMP"), "right.bmp", "wrong.tga"},
        {Saved(picture, "PNG"), "right2.png", "WRONG.GIF"},
    };
    for (const auto& c : cases) {
        const QByteArray right = Decoded(QString::fromUtf8(c.rightName), c.bytes);
        ASSERT_FALSE(right.isEmpty()) << c.rightName;
        EXPECT_TRUE(Decoded(QString::fromUtf8(c.wrongName), c.bytes) == right) << c.wrongName;
        // The window's bitmap reader too.
        QImage bitmap;
        ASSERT_TRUE(ReadImageToBitmap(Path(QString::fromUtf8(c.wrongName)), bitmap)) << c.wrongName;
        EXPECT_EQ(bitmap.size(), picture.size());
        const QColor top = bitmap.pixelColor(3, 2);
        EXPECT_NEAR(top.red(), 200, 8) << c.wrongName;
        EXPECT_NEAR(top.blue(), 40, 8) << c.wrongName;
    }
}

TEST_F(CoverContent, SignaturesAndTheNameAsAFallback)
{
    Write(Path("p.jpg"), Saved(Halves(), "PNG"));
    Write(Path("j.tga"), JpegOf(Halves()));
    Write(Path("g.png"), QByteArray("GIF89a\x01\0\x01\0", 10));
    Write(Path("t.tga"), QByteArray("\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\x18\0\1\2\3", 21)); // no signature
    Write(Path("short.jpg"), QByteArray("\xFF"));
    EXPECT_EQ(SniffPictureKind(Path("p.jpg")), PictureKind::Png);
    EXPECT_EQ(SniffPictureKind(Path("j.tga")), PictureKind::Jpeg);
    EXPECT_EQ(SniffPictureKind(Path("g.png")), PictureKind::Gif);
    EXPECT_EQ(SniffPictureKind(Path("t.tga")), PictureKind::Unknown);
    EXPECT_EQ(CoverPictureKind(Path("t.tga")), PictureKind::Tga);
    EXPECT_EQ(CoverPictureKind(Path("short.jpg")), PictureKind::Jpeg); // then refused as damaged
    EXPECT_EQ(CoverPictureKind(Path("none.png")), PictureKind::Png);
    EXPECT_EQ(PictureKindName(PictureKind::Png), QStringLiteral("PNG"));
}


// Four pixels over two rows: clear black, half-covered red, opaque, clear blue.
const QRgb Translucent[4] = {qRgba(0, 0, 0, 0), qRgba(255, 0, 0, 128), qRgba(10, 20, 30, 255), qRgba(0, 0, 255, 0)};

// An uncompressed 32-bit Targa of those pixels, rows from the top; `alphaBits`
// as its descriptor says.
QByteArray TgaOfTranslucent(int alphaBits)
{
    QByteArray file(18, '\0');
    file[2] = 2;
    file[12] = 4;
    file[14] = 2;
    file[16] = 32;
    file[17] = static_cast<char>(0x20 | alphaBits);
    for (int row = 0; row < 2; ++row)
        for (const QRgb c : Translucent)
            for (const int v : {qBlue(c), qGreen(c), qRed(c), qAlpha(c)})
                file += static_cast<char>(v);
    return file;
}

TEST_F(CoverContent, TransparentPartsAreLaidOverWhite)
{
    QImage png(4, 2, QImage::Format_ARGB32);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            png.setPixel(x, y, Translucent[x]);
    Write(Path("t.png"), Saved(png, "PNG"));
    Write(Path("t.tga"), TgaOfTranslucent(8));
    // 255 * 127 / 255 for the half-covered channels, rounded.
    const QColor expected[4] = {QColor(255, 255, 255), QColor(255, 127, 127), QColor(10, 20, 30), QColor(255, 255, 255)};
    for (const char* name : {"t.png", "t.tga"}) {
        QImage bitmap;
        ASSERT_TRUE(ReadImageToBitmap(Path(name), bitmap)) << name;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                EXPECT_EQ(bitmap.pixelColor(x, y), expected[x]) << name << " " << x << "," << y;
    }

    // A Targa without alpha bits keeps its colours, whatever its fourth byte holds.
    Write(Path("plain.tga"), TgaOfTranslucent(0));
    QImage plain;
    ASSERT_TRUE(ReadImageToBitmap(Path("plain.tga"), plain));
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(plain.pixel(x, 0) & 0xFFFFFFu, Translucent[x] & 0xFFFFFFu) << x;
}

TEST_F(CoverContent, OpaqueCoversKeepTheirBytesWithOrWithoutAnAlphaChannel)
{
    const QImage rgb = Halves();
    const QByteArray plain = Decoded("rgb.png", Saved(rgb, "PNG"));
    ASSERT_FALSE(plain.isEmpty());
    EXPECT_TRUE(Decoded("rgba.png", Saved(rgb.convertToFormat(QImage::Format_ARGB32), "PNG")) == plain);
}

TEST_F(CoverContent, AnyNameServesWhenTheContentIsAPicture)
{
    Write(Path("cover.dat"), Saved(Halves(), "PNG"));
    Write(Path("cover.jpeg"), JpegOf(Halves()));
    Write(Path("cover"), Saved(Halves(), "BMP"));
    Write(Path("notes.png"), QByteArray("not a picture at all"));
    Write(Path("notes.txt"), QByteArray("not a picture at all"));
    for (const char* name : {"cover.dat", "cover.jpeg", "cover"}) {
        EXPECT_TRUE(IsCoverImageFile(Path(name))) << name;
        QImage bitmap;
        ASSERT_TRUE(ReadImageToBitmap(Path(name), bitmap)) << name;
        EXPECT_EQ(bitmap.size(), Halves().size()) << name;
    }
    EXPECT_TRUE(IsCoverImageFile(Path("notes.png"))); // by its name: read, and told as a damaged PNG
    EXPECT_FALSE(IsCoverImageFile(Path("notes.txt")));
}

} // namespace
