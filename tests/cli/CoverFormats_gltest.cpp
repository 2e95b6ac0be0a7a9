// Covers in PNG, GIF and TGA through "cubiform render": the same face as the
// same picture in BMP, and a damaged file fails the run naming it.
#include "cli/CliRunner.h"
#include "formats/GifCodec.h"
#include "support/GLPixels.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

constexpr int Side = 64;
// Multiples of 8: the GIF writer's quantizer keeps them exactly.
const QRgb Quarters[4] = {qRgb(216, 16, 16), qRgb(16, 200, 40), qRgb(24, 40, 208), qRgb(240, 224, 16)};

// Red top left, green top right, blue bottom left, yellow bottom right.
QRgb QuarterAt(int x, int y) { return Quarters[(x < Side / 2 ? 0 : 1) + (y < Side / 2 ? 0 : 2)]; }

struct CoverFormatsTest : ::testing::Test {
    QTemporaryDir dir;

    QString Path(const QString& name) const { return dir.filePath(name); }

    QImage Cover(bool withAlpha = false) const
    {
        QImage image(Side, Side, QImage::Format_RGBA8888);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                const QRgb c = QuarterAt(x, y);
                image.setPixel(x, y, qRgba(qRed(c), qGreen(c), qBlue(c), withAlpha ? x * 4 : 255));
            }
        return image;
    }

    // The cover with alpha laid over white, as the reader lays it.
    QImage OverWhite() const
    {
        QImage image(Side, Side, QImage::Format_RGB888);
        const QImage cover = Cover(true);
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; ++x) {
                const QRgb c = cover.pixel(x, y);
                const int a = qAlpha(c);
                const auto over = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
                image.setPixel(x, y, qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c))));
            }
        return image;
    }

    // A run-length TGA, rows from the top, 32 bits with alpha.
    void WriteTga(const QString& path, bool withAlpha = false) const
    {
        const QImage cover = Cover(withAlpha);
        QByteArray file(18, '\0');
        file[2] = 10;
        file[12] = static_cast<char>(Side);
        file[14] = static_cast<char>(Side);
        file[16] = 32;
        file[17] = 0x28;
        for (int y = 0; y < Side; ++y)
            for (int x = 0; x < Side; x += 32) { // each half row is one run
                const QRgb c = cover.pixel(x, y);
                file += static_cast<char>(0x80 | 31);
                file += static_cast<char>(qBlue(c));
                file += static_cast<char>(qGreen(c));
                file += static_cast<char>(qRed(c));
                file += static_cast<char>(qAlpha(c));
            }
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file);
    }

    QImage RenderFront(const QString& cover, const QString& name)
    {
        return RenderPicture({QStringLiteral("--form"), QStringLiteral("2"), QStringLiteral("--size"),
                              QStringLiteral("96x96"), QStringLiteral("--front"), cover},
                             Path(name));
    }
};

TEST_F(CoverFormatsTest, EveryNewFormatShowsLikeTheSameBitmap)
{
    ASSERT_TRUE(Cover().convertToFormat(QImage::Format_RGB888).save(Path("c.bmp"), "BMP"));
    ASSERT_TRUE(Cover().save(Path("c.png"), "PNG"));
    const QImage bottomUp = Cover().mirrored(false, true);
    EncodeGif(Path("c.gif"), bottomUp.constBits(), Side, Side);
    WriteTga(Path("c.tga"));

    const QImage reference = RenderFront(Path("c.bmp"), QStringLiteral("bmp.png"));
    ASSERT_EQ(reference.size(), QSize(96, 96));
    // The face shows the quarters the right way round.
    double sumY[4] = {}, sumX[4] = {};
    int count[4] = {};
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 96; ++x)
            for (int q = 0; q < 4; ++q)
                if (NearColor(reference.pixel(x, y), Quarters[q], 6)) {
                    ++count[q];
                    sumX[q] += x;
                    sumY[q] += y;
                }
    for (int q = 0; q < 4; ++q)
        ASSERT_GT(count[q], 100) << "quarter " << q;
    EXPECT_LT(sumX[0] / count[0], sumX[1] / count[1]); // red left of green
    EXPECT_LT(sumY[0] / count[0], sumY[2] / count[2]); // red above blue

    for (const char* ext : {"png", "gif", "tga", "TGA"}) {
        const QString cover = Path(QStringLiteral("c.") + QLatin1String(ext));
        if (!QFile::exists(cover)) {
            ASSERT_TRUE(QFile::copy(Path(QStringLiteral("c.tga")), cover));
        }
        const QImage shot = RenderFront(cover, QStringLiteral("%1.png").arg(QLatin1String(ext)));
        ASSERT_EQ(shot.size(), reference.size()) << ext;
        int far = 0;
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 96; ++x)
                far += !NearColor(shot.pixel(x, y), reference.pixel(x, y), 2);
        EXPECT_EQ(far, 0) << ext;
    }
}

// Transparent parts show white: the face is that of a bitmap of the
// colours laid over white, and a PNG named .jpg is read as the PNG it is.
TEST_F(CoverFormatsTest, TransparentPartsShowAsOverWhite)
{
    ASSERT_TRUE(OverWhite().save(Path("white.bmp"), "BMP"));
    ASSERT_TRUE(Cover(true).save(Path("alpha.png"), "PNG"));
    ASSERT_TRUE(QFile::copy(Path("alpha.png"), Path("alpha-png.jpg")));
    const QImage reference = RenderFront(Path("white.bmp"), QStringLiteral("white.png"));
    ASSERT_EQ(reference.size(), QSize(96, 96));
    for (const char* name : {"alpha.png", "alpha-png.jpg"}) { // Targa's alpha: CoverContent_test
        const QImage shot = RenderFront(Path(QLatin1String(name)), QStringLiteral("shot.png"));
        ASSERT_EQ(shot.size(), reference.size()) << name;
        int far = 0;
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 96; ++x)
                far += !NearColor(shot.pixel(x, y), reference.pixel(x, y), 0);
        EXPECT_EQ(far, 0) << name;
    }
}

TEST_F(CoverFormatsTest, DamagedCoversFailTheRunAndWriteNothing)
{
    ASSERT_TRUE(Cover().save(Path("good.png"), "PNG"));
    QFile png(Path("good.png"));
    ASSERT_TRUE(png.open(QIODevice::ReadOnly));
    const QByteArray pngBytes = png.readAll();
    WriteTga(Path("good.tga"));
    QFile tga(Path("good.tga"));
    ASSERT_TRUE(tga.open(QIODevice::ReadOnly));
    const QByteArray tgaBytes = tga.readAll();

    const struct {
        const char* name;
        QByteArray bytes;
    } damaged[] = {
        {"cut.png", pngBytes.left(pngBytes.size() / 2)},
        {"cut.gif", QByteArray("GIF89a\x40\x00\x40\x00", 10)},
        {"cut.tga", tgaBytes.left(tgaBytes.size() - 20)},
        {"type.tga", QByteArray(18, '\x07') + QByteArray(100, '\0')},
    };
    for (const auto& d : damaged) {
        const QString path = Path(QLatin1String(d.name));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(d.bytes);
        f.close();
        const CliResult r = RunCubiform({QStringLiteral("render"), QStringLiteral("--front"), path,
                                         QStringLiteral("-o"), Path(QStringLiteral("out.png"))});
        EXPECT_EQ(r.Status, 1) << d.name;
        EXPECT_TRUE(r.Err.startsWith(QStringLiteral("cubiform: ") + path + QStringLiteral(": ")))
            << d.name << ": " << r.Err.toStdString();
        EXPECT_EQ(r.Err.count(QLatin1Char('\n')), 1) << r.Err.toStdString();
        EXPECT_FALSE(QFile::exists(Path(QStringLiteral("out.png")))) << d.name;
    }
}

} // namespace
