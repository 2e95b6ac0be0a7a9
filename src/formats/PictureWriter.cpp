#include "formats/PictureWriter.h"

#include "formats/ZlibParts.h"

#include <isa-l/crc.h>
#include <turbojpeg.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <vector>

namespace {

void PutLe16(char* at, std::uint32_t value)
{
    at[0] = static_cast<char>(value & 0xFF);
    at[1] = static_cast<char>((value >> 8) & 0xFF);
}

void PutLe32(char* at, std::uint32_t value)
{
    PutLe16(at, value & 0xFFFF);
    PutLe16(at + 2, value >> 16);
}

void PutBe16(char* at, std::uint32_t value)
{
    at[0] = static_cast<char>((value >> 8) & 0xFF);
    at[1] = static_cast<char>(value & 0xFF);
}

void PutBe32(char* at, std::uint32_t value)
{
    at[0] = static_cast<char>(value >> 24);
    at[1] = static_cast<char>(value >> 16);
    at[2] = static_cast<char>(value >> 8);
    at[3] = static_cast<char>(value);
}

// JFIF keeps 16 bits of density; PNG and BMP have room for more.
void RequireDpi(DotsPerInch dpi, const QString& what)
{
    if (dpi && (*dpi < 1 || *dpi > 0xFFFF))
        throw FileFailure(what, QStringLiteral("a resolution of %1 dots per inch cannot be stored").arg(*dpi));
}

void RequirePixels(const RgbaRows& picture, const QString& what)
{
    if (!picture.Top || picture.Width <= 0 || picture.Height <= 0)
        throw FileFailure(what, QStringLiteral("there is no picture to write"));
}

// Bottom row first, each pixel blue-green-red (and alpha with 4 channels),
// rows `stride` bytes apart in `out` (the padding stays as it was).
void PutBgrRowsBottomUp(const RgbaRows& picture, int channels, std::size_t stride, char* out)
{
    for (int y = picture.Height - 1; y >= 0; --y, out += stride) {
        const std::uint8_t* src = picture.Row(y);
        char* dst = out;
        for (int x = 0; x < picture.Width; ++x, src += 4, dst += channels) {
            dst[0] = static_cast<char>(src[2]);
            dst[1] = static_cast<char>(src[1]);
            dst[2] = static_cast<char>(src[0]);
            if (channels == 4)
                dst[3] = static_cast<char>(src[3]);
        }
    }
}

struct TjFree {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjBufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

// Every row "Up" filtered (the row above the first is zeros). Rendered shots
// are smooth or flat, so the difference to the row above is mostly zero or
// small; choosing a filter per row costs more time than it saves bytes.
// Returns the filtered rows, each led by its filter type byte.
std::unique_ptr<std::uint8_t[]> UpFiltered(const RgbaRows& picture, int channels, std::size_t& size)
{
    const int width = picture.Width;
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
    size = (rowBytes + 1) * static_cast<std::size_t>(picture.Height);
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(width) * 4, 0);
    std::uint8_t* dst = out.get();
    for (int y = 0; y < picture.Height; ++y, dst += rowBytes + 1) {
        const std::uint8_t* row = picture.Row(y);
        const std::uint8_t* above = y > 0 ? picture.Row(y - 1) : zeros.data();
        dst[0] = 2; // Up
        std::uint8_t* d = dst + 1;
        if (channels == 4) {
            for (std::size_t i = 0; i < rowBytes; ++i)
                d[i] = static_cast<std::uint8_t>(row[i] - above[i]);
        } else {
            for (int x = 0; x < width; ++x, d += 3, row += 4, above += 4) {
                d[0] = static_cast<std::uint8_t>(row[0] - above[0]);
                d[1] = static_cast<std::uint8_t>(row[1] - above[1]);
                d[2] = static_cast<std::uint8_t>(row[2] - above[2]);
            }
        }
    }
    return out;
}

void AppendChunk(QByteArray& file, const char* type, const std::uint8_t* data, std::size_t size)
{
    char head[8];
    PutBe32(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    std::uint32_t crc = crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(type), 4);
    if (size != 0)
        crc = crc32_gzip_refl(crc, data, size);
    char tail[4];
    PutBe32(tail, crc);
    file.append(head, sizeof head);
    file.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    file.append(tail, sizeof tail);
}

} // namespace

RgbaRows RgbaRows::Of(const QImage& rgba)
{
    return {rgba.constBits(), rgba.width(), rgba.height(), static_cast<std::ptrdiff_t>(rgba.bytesPerLine())};
}

RgbaRows RgbaRows::BottomUp(const std::uint8_t* pixels, int width, int height)
{
    const auto row = static_cast<std::ptrdiff_t>(width) * 4;
    if (!pixels || width <= 0 || height <= 0)
        return {pixels, width, height, -row};
    return {pixels + (height - 1) * row, width, height, -row};
}

QImage AsRgba(const QImage& image, const QString& what)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw FileFailure(what, QStringLiteral("there is no picture to write"));
    CheckImageSize(image.width(), image.height(), what);
    const bool ready = image.format() == QImage::Format_RGBA8888 || image.format() == QImage::Format_RGBX8888;
    QImage rgba = ready ? image : image.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        throw FileFailure(what, QStringLiteral("not enough memory for the picture"));
    return rgba;
}

std::uint32_t PixelsPerMetre(int dotsPerInch)
{
    // An inch is 0.0254 m; rounded to the nearest whole pixel.
    return static_cast<std::uint32_t>((std::int64_t{dotsPerInch} * 10000 + 127) / 254);
}

QByteArray EncodeJpeg(const RgbaRows& picture, int quality, const QString& what, DotsPerInch dpi)
{
    RequireDpi(dpi, what);
    RequirePixels(picture, what);
    const std::unique_ptr<void, TjFree> handle(tjInitCompress());
    if (!handle)
        throw FileFailure(what, QStringLiteral("the JPEG encoder could not be started"));
    // TurboJPEG takes a positive pitch from the row lowest in memory.
    const bool bottomUp = picture.Stride < 0;
    const std::uint8_t* first = bottomUp ? picture.Row(picture.Height - 1) : picture.Top;
    const auto pitch = static_cast<int>(bottomUp ? -picture.Stride : picture.Stride);
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    const int result = tjCompress2(handle.get(), first, picture.Width, pitch, picture.Height, TJPF_RGBX,
                                   &encoded, &size, TJSAMP_420, std::clamp(quality, 1, 100),
                                   bottomUp ? TJFLAG_BOTTOMUP : 0);
    const std::unique_ptr<unsigned char, TjBufferFree> owned(encoded);
    if (result != 0 || !encoded)
        throw FileFailure(what, QStringLiteral("the JPEG encoder failed (%1)")
                                    .arg(QString::fromLocal8Bit(tjGetErrorStr2(handle.get()))));
    if (size > static_cast<unsigned long>(std::numeric_limits<int>::max()))
        throw FileFailure(what, QStringLiteral("the encoded picture is too large"));
    QByteArray file(reinterpret_cast<const char*>(encoded), static_cast<qsizetype>(size));
    if (dpi) {
        // The encoder always leads with a JFIF APP0 segment; its density
        // fields are set in place, so nothing else in the file moves.
        static const char jfif[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF";
        if (file.size() < 18 || !file.startsWith(QByteArray(jfif, sizeof jfif)))
            throw FileFailure(what, QStringLiteral("the JPEG encoder wrote no JFIF header to hold the resolution"));
        file[13] = 1; // dots per inch
        PutBe16(file.data() + 14, static_cast<std::uint32_t>(*dpi));
        PutBe16(file.data() + 16, static_cast<std::uint32_t>(*dpi));
    }
    return file;
}

QByteArray EncodePng(const RgbaRows& picture, bool keepAlpha, int level, const QString& what, DotsPerInch dpi,
                     int threads)
{
    RequireDpi(dpi, what);
    RequirePixels(picture, what);
    std::size_t filteredSize = 0;
    std::unique_ptr<std::uint8_t[]> filtered = UpFiltered(picture, keepAlpha ? 4 : 3, filteredSize);

    std::vector<std::uint8_t> compressed;
    try {
        compressed = ZlibCompressInParts(filtered.get(), filteredSize, level, threads);
    } catch (const CompressionError& e) {
        throw FileFailure(what, QStringLiteral("the picture could not be compressed: %1").arg(QString::fromUtf8(e.what())));
    }
    filtered.reset();
    const std::size_t compressedSize = compressed.size();

    // A chunk's length must stay below 2^31; smaller pieces also suit streaming readers.
    constexpr std::size_t MaxIdat = std::size_t{1} << 20;
    const std::size_t idatChunks = (compressedSize + MaxIdat - 1) / MaxIdat;
    const std::size_t fileSize =
        8 + (12 + 13) + (12 + 1) + (dpi ? 12 + 9 : 0) + idatChunks * 12 + compressedSize + 12;
    if (fileSize > static_cast<std::size_t>(std::numeric_limits<qsizetype>::max()))
        throw FileFailure(what, QStringLiteral("the encoded picture is too large"));

    std::uint8_t header[13];
    PutBe32(reinterpret_cast<char*>(header), static_cast<std::uint32_t>(picture.Width));
    PutBe32(reinterpret_cast<char*>(header) + 4, static_cast<std::uint32_t>(picture.Height));
    header[8] = 8;                            // bits per channel
    header[9] = keepAlpha ? 6 : 2;            // RGBA or RGB
    header[10] = header[11] = header[12] = 0; // deflate, adaptive filtering, no interlace
    const std::uint8_t perceptual = 0;        // sRGB, as libpng's simple writer marks it

    QByteArray file;
    file.reserve(static_cast<qsizetype>(fileSize));
    file.append("\x89PNG\r\n\x1A\n", 8);
    AppendChunk(file, "IHDR", header, sizeof header);
    AppendChunk(file, "sRGB", &perceptual, 1);
    if (dpi) { // before the first IDAT, as pHYs must be
        std::uint8_t physical[9];
        PutBe32(reinterpret_cast<char*>(physical), PixelsPerMetre(*dpi));
        PutBe32(reinterpret_cast<char*>(physical) + 4, PixelsPerMetre(*dpi));
        physical[8] = 1; // the unit is the metre
        AppendChunk(file, "pHYs", physical, sizeof physical);
    }
    for (std::size_t at = 0; at < compressedSize; at += MaxIdat)
        AppendChunk(file, "IDAT", compressed.data() + at, std::min(MaxIdat, compressedSize - at));
    AppendChunk(file, "IEND", nullptr, 0);
    return file;
}

QByteArray EncodeBmp(const RgbaRows& picture, BmpLayout layout, const QString& what, DotsPerInch dpi)
{
    RequireDpi(dpi, what);
    const bool padded = layout == BmpLayout::Bgr24;
    const int channels = padded ? 3 : 4;
    const std::int64_t width = std::max(picture.Width, 0);
    const std::int64_t height = std::max(picture.Height, 0);
    const std::int64_t stride = (width * channels + 3) / 4 * 4;
    const std::int64_t pixelBytes = stride * height;
    constexpr std::int64_t HeaderBytes = 54;
    if (HeaderBytes + pixelBytes > std::numeric_limits<std::int32_t>::max())
        throw FileFailure(what, QStringLiteral("the picture is too large for a bitmap file"));

    QByteArray file(static_cast<qsizetype>(HeaderBytes + pixelBytes), '\0');
    char* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    PutLe32(h + 2, static_cast<std::uint32_t>(file.size()));
    PutLe32(h + 10, HeaderBytes);                        // pixel data offset
    PutLe32(h + 14, 40);                                 // info header size
    PutLe32(h + 18, static_cast<std::uint32_t>(width));
    PutLe32(h + 22, static_cast<std::uint32_t>(height)); // positive: bottom-up
    PutLe16(h + 26, 1);                                  // planes
    PutLe16(h + 28, static_cast<std::uint32_t>(channels * 8));
    PutLe32(h + 30, 0);                                  // uncompressed
    PutLe32(h + 34, static_cast<std::uint32_t>(pixelBytes));
    if (dpi) {
        PutLe32(h + 38, PixelsPerMetre(*dpi));
        PutLe32(h + 42, PixelsPerMetre(*dpi));
    } else if (padded) {
        PutLe32(h + 38, 3780); // 96 dots per inch
        PutLe32(h + 42, 3780);
    }
    if (picture.Top && width > 0)
        PutBgrRowsBottomUp(picture, channels, static_cast<std::size_t>(stride), h + HeaderBytes);
    return file;
}

QByteArray EncodeTga(const RgbaRows& picture, TgaLayout layout, const QString& what)
{
    const int channels = layout == TgaLayout::Bgr24 ? 3 : 4;
    const std::int64_t width = std::max(picture.Width, 0);
    const std::int64_t height = std::max(picture.Height, 0);
    if (width > 0xFFFF || height > 0xFFFF)
        throw FileFailure(what, QStringLiteral("the picture is too large for a Targa file"));
    constexpr std::int64_t HeaderBytes = 18;
    QByteArray file(static_cast<qsizetype>(HeaderBytes + width * height * channels), '\0');
    char* h = file.data();
    h[2] = 2; // uncompressed true colour
    PutLe16(h + 12, static_cast<std::uint32_t>(width));
    PutLe16(h + 14, static_cast<std::uint32_t>(height));
    h[16] = static_cast<char>(channels * 8);
    h[17] = layout == TgaLayout::Bgra32 ? 8 : 0; // alpha bits; rows bottom first
    if (picture.Top && width > 0)
        PutBgrRowsBottomUp(picture, channels, static_cast<std::size_t>(width) * channels, h + HeaderBytes);
    return file;
}
