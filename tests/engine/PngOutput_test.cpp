// The command line's PNG writer: whatever the deflate effort, a written
// picture must decode to the same pixels, colour type and colour space as
// libpng's own simple writer (what the program used before) makes of it.
#include "engine/ImageOutput.h"

#include <QColorSpace>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>

#include <png.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

namespace {

struct Decoded {
    bool ok = false;
    png_uint_32 format = 0;
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels;
};

// Decodes through libpng in the file's own format (RGB stays RGB).
Decoded DecodeWithLibpng(const QString& path)
{
    Decoded d;
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, QFile::encodeName(path).constData()))
        return d;
    d.format = image.format;
    d.width = static_cast<int>(image.width);
    d.height = static_cast<int>(image.height);
    d.pixels.resize(PNG_IMAGE_SIZE(image));
    d.ok = png_image_finish_read(&image, nullptr, d.pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return d;
}

// The writer the command line used before: libpng's simple API, default effort.
void WriteReference(const QImage& rgba, const QString& path, bool keepAlpha)
{
    const QImage source = keepAlpha ? rgba : rgba.convertToFormat(QImage::Format_RGB888);
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(source.width());
    image.height = static_cast<png_uint_32>(source.height());
    image.format = keepAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    ASSERT_TRUE(png_image_write_to_file(&image, QFile::encodeName(path).constData(), 0, source.constBits(),
                                        static_cast<png_int_32>(source.bytesPerLine()), nullptr))
        << image.message;
    png_image_free(&image);
}

// Smooth ramps with grain, flat runs, and alpha from 0 to 255 (not premultiplied,
// so colour under alpha 0 must survive too).
QImage Painted(int width, int height, unsigned seed, bool noise)
{
    QImage image(width, height, QImage::Format_RGBA8888);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = image.scanLine(y);
        for (int x = 0; x < width; ++x, p += 4) {
            const bool flat = !noise && (x / 5 + y / 3) % 3 == 0;
            const unsigned grain = flat ? 0 : random() % (noise ? 256 : 9);
            p[0] = static_cast<std::uint8_t>(x * 255 / width + grain);
            p[1] = static_cast<std::uint8_t>(y * 255 / height + grain * 3);
            p[2] = flat ? 200 : static_cast<std::uint8_t>(random());
            p[3] = static_cast<std::uint8_t>((x + y) % 4 == 0 ? 0 : (x * 7 + y * 13 + grain) % 256);
        }
    }
    return image;
}

class PngOutputTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
};

TEST_F(PngOutputTest, OddSizesDecodeToTheSamePixelsAsTheReferenceWriter)
{
    struct Case {
        int width, height;
        bool noise;
    } cases[] = {{1, 1, false},  {1, 37, false},  {37, 1, false},  {7, 3, false},
                 {3, 7, true},   {101, 43, false}, {43, 101, true}, {257, 129, false},
                 // Barely compressible and over 1 MiB packed: the data spans several chunks.
                 {641, 479, true},
                 // Large enough to be compressed in parts by several threads.
                 {1500, 1000, false}};
    unsigned seed = 1;
    for (const Case& c : cases) {
        const QImage source = Painted(c.width, c.height, seed++, c.noise);
        for (const auto& [keepAlpha, threads] : {std::pair{false, 1}, {true, 1}, {false, 3}, {true, 3}}) {
            SCOPED_TRACE(testing::Message() << c.width << " x " << c.height << (keepAlpha ? " RGBA" : " RGB")
                                            << ", " << threads << " threads");
            const QString ours = Path(QStringLiteral("ours.png")), reference = Path(QStringLiteral("reference.png"));
            WritePicture(source, ours, OutputFormat::Png, 70, keepAlpha, std::nullopt, threads);
            WriteReference(source, reference, keepAlpha);

            const Decoded a = DecodeWithLibpng(ours), b = DecodeWithLibpng(reference);
            ASSERT_TRUE(a.ok && b.ok);
            EXPECT_EQ(a.format, keepAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB);
            EXPECT_EQ(a.format, b.format);
            EXPECT_EQ(a.width, c.width);
            EXPECT_EQ(a.height, c.height);
            EXPECT_TRUE(a.pixels == b.pixels);
            // And against the source itself, byte by byte (alpha dropped for RGB).
            const int channels = keepAlpha ? 4 : 3;
            bool same = true;
            for (int y = 0; y < c.height && same; ++y)
                for (int x = 0; x < c.width && same; ++x)
                    same = std::memcmp(&a.pixels[(static_cast<std::size_t>(y) * c.width + x) * channels],
                                       source.constScanLine(y) + x * 4, static_cast<std::size_t>(channels)) == 0;
            EXPECT_TRUE(same);

            const QImage viaQt(ours), referenceViaQt(reference);
            ASSERT_FALSE(viaQt.isNull());
            EXPECT_EQ(viaQt.hasAlphaChannel(), keepAlpha);
            EXPECT_EQ(viaQt.format(), referenceViaQt.format());
            EXPECT_EQ(viaQt.colorSpace(), referenceViaQt.colorSpace());
            EXPECT_TRUE(viaQt == referenceViaQt);

            // No bigger than a third over the reference's default effort (noise
            // cannot be compressed by either; the smallest are all header).
            EXPECT_LE(QFileInfo(ours).size(), QFileInfo(reference).size() * 13 / 10 + 64);
        }
    }
}

} // namespace
