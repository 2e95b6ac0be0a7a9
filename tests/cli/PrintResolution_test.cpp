// --dpi: the resolution read back from the written files by libpng, libjpeg
// and the bitmap header, and files without it exactly as before.
#include "cli/CliRunner.h"
#include "engine/ImageOutput.h"
#include "formats/PictureWriter.h"

#include <QFile>
#include <QTemporaryDir>

#include <png.h>

#include <cstdio>
#include <cstring>
// jpeglib.h needs FILE and size_t first.
#include <jpeglib.h>

namespace {

QImage Picture()
{
    QImage image(37, 23, QImage::Format_RGBA8888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(x * 7, y * 11, 90, 255));
    return image;
}

struct PngDensity {
    png_uint_32 x = 0, y = 0;
    int unit = -1;
    bool present = false;
};

struct PngSource {
    const QByteArray* bytes;
    qsizetype at;
};

// Reads up to the first IDAT; false when libpng gives up. Nothing here
// changes after setjmp, so a long jump leaves nothing stale.
bool ReadPhys(png_structp png, png_infop info, PngSource* source, PngDensity* out)
{
    if (setjmp(png_jmpbuf(png)) != 0)
        return false;
    png_set_read_fn(png, source, [](png_structp p, png_bytep to, png_size_t n) {
        auto* s = static_cast<PngSource*>(png_get_io_ptr(p));
        if (s->at + static_cast<qsizetype>(n) > s->bytes->size())
            png_error(p, "short");
        std::memcpy(to, s->bytes->constData() + s->at, n);
        s->at += static_cast<qsizetype>(n);
    });
    png_read_info(png, info);
    out->present = png_get_pHYs(png, info, &out->x, &out->y, &out->unit) != 0;
    return true;
}

PngDensity ReadPngDensity(const QByteArray& file)
{
    PngDensity d;
    PngSource source{&file, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    EXPECT_TRUE(ReadPhys(png, info, &source, &d)) << "libpng could not read the file";
    png_destroy_read_struct(&png, &info, nullptr);
    return d;
}

struct JpegDensity {
    int unit = -1, x = 0, y = 0;
};

JpegDensity ReadJpegDensity(const QByteArray& file)
{
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, reinterpret_cast<const unsigned char*>(file.constData()),
                 static_cast<unsigned long>(file.size()));
    jpeg_read_header(&cinfo, TRUE);
    EXPECT_TRUE(cinfo.saw_JFIF_marker);
    const JpegDensity d{cinfo.density_unit, cinfo.X_density, cinfo.Y_density};
    jpeg_destroy_decompress(&cinfo);
    return d;
}

std::uint32_t Le32(const QByteArray& bytes, int at)
{
    const auto b = [&](int i) { return std::uint32_t{static_cast<std::uint8_t>(bytes[at + i])}; };
    return b(0) | b(1) << 8 | b(2) << 16 | b(3) << 24;
}

// The file without its pHYs chunk (length, type, data, CRC).
QByteArray WithoutPhys(QByteArray png)
{
    const qsizetype type = png.indexOf("pHYs");
    if (type >= 4)
        png.remove(type - 4, 4 + 4 + 9 + 4);
    return png;
}

TEST(PrintResolution, PixelsPerMetreRoundToTheNearestWholePixel)
{
    EXPECT_EQ(PixelsPerMetre(96), 3780u); // what the result bitmap always stored
    EXPECT_EQ(PixelsPerMetre(300), 11811u);
    EXPECT_EQ(PixelsPerMetre(72), 2835u);
    EXPECT_EQ(PixelsPerMetre(1), 39u);
    EXPECT_EQ(PixelsPerMetre(10000), 393701u);
}

// Each encoder records the resolution and changes nothing else; without one
// the fields read as they always did.
TEST(PrintResolution, EachEncoderRecordsItAndOnlyIt)
{
    const QImage image = Picture();
    const RgbaRows rows = RgbaRows::Of(image);
    const QString what = QStringLiteral("p");

    const QByteArray png = EncodePng(rows, false, PngOutputLevel, what);
    const QByteArray png300 = EncodePng(rows, false, PngOutputLevel, what, 300);
    EXPECT_FALSE(ReadPngDensity(png).present);
    const PngDensity p = ReadPngDensity(png300);
    EXPECT_TRUE(p.present);
    EXPECT_EQ(p.x, 11811u);
    EXPECT_EQ(p.y, 11811u);
    EXPECT_EQ(p.unit, PNG_RESOLUTION_METER);
    EXPECT_EQ(WithoutPhys(png300), png);
    EXPECT_LT(png300.indexOf("pHYs"), png300.indexOf("IDAT"));
    EXPECT_EQ(ReadPngDensity(EncodePng(rows, true, 0, what, 1)).x, 39u);

    const QByteArray jpeg = EncodeJpeg(rows, 80, what);
    const QByteArray jpeg300 = EncodeJpeg(rows, 80, what, 300);
    const JpegDensity plain = ReadJpegDensity(jpeg);
    EXPECT_EQ(plain.unit, 0); // "no unit, 1:1", as before
    EXPECT_EQ(plain.x, 1);
    EXPECT_EQ(plain.y, 1);
    const JpegDensity j = ReadJpegDensity(jpeg300);
    EXPECT_EQ(j.unit, 1); // dots per inch
    EXPECT_EQ(j.x, 300);
    EXPECT_EQ(j.y, 300);
    ASSERT_EQ(jpeg300.size(), jpeg.size());
    EXPECT_EQ(jpeg300.left(13), jpeg.left(13));
    EXPECT_EQ(jpeg300.mid(18), jpeg.mid(18));
    EXPECT_EQ(ReadJpegDensity(EncodeJpeg(rows, 80, what, 10000)).x, 10000);

    const QByteArray bmp = EncodeBmp(rows, BmpLayout::Bgr24, what);
    const QByteArray bmp300 = EncodeBmp(rows, BmpLayout::Bgr24, what, 300);
    EXPECT_EQ(Le32(bmp, 38), 3780u);
    EXPECT_EQ(Le32(bmp, 42), 3780u);
    EXPECT_EQ(Le32(bmp300, 38), 11811u);
    EXPECT_EQ(Le32(bmp300, 42), 11811u);
    EXPECT_EQ(bmp300.left(38), bmp.left(38));
    EXPECT_EQ(bmp300.mid(46), bmp.mid(46));
    // WritePictureFile's 32-bit bitmap keeps "no resolution" without one.
    EXPECT_EQ(Le32(EncodeBmp(rows, BmpLayout::Bgra32, what), 38), 0u);
    EXPECT_EQ(Le32(EncodeBmp(rows, BmpLayout::Bgra32, what, 72), 38), 2835u);

    for (const int bad : {0, -5, 65536})
        EXPECT_THROW(EncodeJpeg(rows, 80, what, bad), ImageError) << bad;
}

TEST(PrintResolution, TheOptionIsCheckedLikeTheOthers)
{
    const auto parse = [](std::initializer_list<const char*> list) {
        QStringList args;
        for (const char* a : list)
            args << QString::fromUtf8(a);
        return ParseRenderArguments(args);
    };
    EXPECT_FALSE(parse({"-o", "a.png"}).Dpi);
    EXPECT_EQ(*parse({"--dpi", "300", "-o", "a.png"}).Dpi, 300);
    EXPECT_EQ(*parse({"--dpi=1", "-o", "a.JPG"}).Dpi, 1);
    EXPECT_EQ(*parse({"--dpi", "10000", "-o", "a.bmp"}).Dpi, 10000);

    const struct {
        std::initializer_list<const char*> args;
        int status;
        const char* text;
    } refused[] = {
        {{"--dpi", "0", "-o", "a.png"}, ExitBadInput, "--dpi \"0\": out of range 1..10000"},
        {{"--dpi", "10001", "-o", "a.png"}, ExitBadInput, "out of range 1..10000"},
        {{"--dpi", "300dpi", "-o", "a.png"}, ExitBadInput, "not a whole number"},
        {{"--dpi", "", "-o", "a.png"}, ExitBadInput, "not a whole number"},
        {{"--dpi", "72.5", "-o", "a.png"}, ExitBadInput, "not a whole number"},
        {{"-o", "a.png", "--dpi"}, ExitUsage, "--dpi needs a value"},
        {{"--dpi", "300", "-o", "a.tga"}, ExitUsage, "a .tga file has no resolution field"},
        {{"--dpi", "300", "--save-project", "p.pcf"}, ExitUsage, "--dpi needs -o IMAGE"},
    };
    for (const auto& r : refused) {
        try {
            parse(r.args);
            ADD_FAILURE() << "accepted: " << *r.args.begin();
        } catch (const JobError& e) {
            EXPECT_EQ(e.Status(), r.status) << e.Text().toStdString();
            EXPECT_TRUE(e.Text().contains(QLatin1String(r.text))) << e.Text().toStdString();
        }
    }
}

// The writer the command line shares: the same bytes as the encoders, and a
// TGA with a resolution is refused before anything is written.
TEST(PrintResolution, TheCommandLineWriterPassesItOn)
{
    QTemporaryDir dir;
    const QImage image = Picture();
    const auto read = [](const QString& path) {
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    };
    WritePicture(image, dir.filePath("a.png"), OutputFormat::Png, 70, false);
    WritePicture(image, dir.filePath("b.png"), OutputFormat::Png, 70, false, 300);
    EXPECT_EQ(read(dir.filePath("a.png")), EncodePng(RgbaRows::Of(image), false, PngOutputLevel, QStringLiteral("x")));
    EXPECT_EQ(ReadPngDensity(read(dir.filePath("b.png"))).x, 11811u);
    WritePicture(image, dir.filePath("c.jpg"), OutputFormat::Jpeg, 70, false, 600);
    EXPECT_EQ(ReadJpegDensity(read(dir.filePath("c.jpg"))).x, 600);
    WritePicture(image, dir.filePath("d.bmp"), OutputFormat::Bmp, 70, false, 150);
    EXPECT_EQ(Le32(read(dir.filePath("d.bmp")), 38), 5906u);
    EXPECT_THROW(WritePicture(image, dir.filePath("e.tga"), OutputFormat::Tga, 70, false, 300),
                 JobError);
    EXPECT_FALSE(QFile::exists(dir.filePath("e.tga")));
}

} // namespace
