#include "output/ResultWriters.h"

#include <QDir>
#include <QSaveFile>

#include <turbojpeg.h>

#include <algorithm>
#include <limits>
#include <memory>

namespace {

// Any picture handed in becomes tightly known 8-bit RGB, top row first.
QImage AsRgb888(const QImage& image, const QString& what)
{
    if (image.isNull() || image.width() <= 0 || image.height() <= 0)
        throw FileFailure(what, QStringLiteral("there is no picture to write"));
    CheckImageSize(image.width(), image.height(), what);
    QImage rgb = image.format() == QImage::Format_RGB888 ? image
                                                         : image.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        throw FileFailure(what, QStringLiteral("not enough memory for the picture"));
    return rgb;
}

struct TjFree {
    void operator()(void* handle) const { tjDestroy(handle); }
};
struct TjBufferFree {
    void operator()(unsigned char* buffer) const { tjFree(buffer); }
};

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

} // namespace

QByteArray EncodeResultJpeg(const QImage& image, int quality, const QString& what)
{
    const QImage rgb = AsRgb888(image, what);
    const std::unique_ptr<void, TjFree> handle(tjInitCompress());
    if (!handle)
        throw FileFailure(what, QStringLiteral("the JPEG encoder could not be started"));
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    // Rows of a QImage are padded to 4 bytes: give the real pitch.
    const int result = tjCompress2(handle.get(), rgb.constBits(), rgb.width(),
                                   static_cast<int>(rgb.bytesPerLine()), rgb.height(), TJPF_RGB,
                                   &encoded, &size, TJSAMP_420, std::clamp(quality, 1, 100), 0);
    const std::unique_ptr<unsigned char, TjBufferFree> owned(encoded);
    if (result != 0 || !encoded)
        throw FileFailure(what, QStringLiteral("the JPEG encoder failed (%1)")
                                    .arg(QString::fromLocal8Bit(tjGetErrorStr2(handle.get()))));
    if (size > static_cast<unsigned long>(std::numeric_limits<int>::max()))
        throw FileFailure(what, QStringLiteral("the encoded picture is too large"));
    return QByteArray(reinterpret_cast<const char*>(encoded), static_cast<qsizetype>(size));
}

QByteArray EncodeResultBmp(const QImage& image, const QString& what)
{
    const QImage rgb = AsRgb888(image, what);
    const std::int64_t width = rgb.width();
    const std::int64_t height = rgb.height();
    const std::int64_t stride = (width * 3 + 3) / 4 * 4;
    const std::int64_t pixelBytes = stride * height;
    constexpr std::int64_t HeaderBytes = 54;
    if (HeaderBytes + pixelBytes > std::numeric_limits<std::int32_t>::max())
        throw FileFailure(what, QStringLiteral("the picture is too large for a bitmap file"));

    QByteArray file(static_cast<qsizetype>(HeaderBytes + pixelBytes), '\0');
    char* h = file.data();
    h[0] = 'B';
    h[1] = 'M';
    PutLe32(h + 2, static_cast<std::uint32_t>(file.size()));
    PutLe32(h + 10, HeaderBytes);                       // pixel data offset
    PutLe32(h + 14, 40);                                // info header size
    PutLe32(h + 18, static_cast<std::uint32_t>(width));
    PutLe32(h + 22, static_cast<std::uint32_t>(height)); // positive: bottom-up
    PutLe16(h + 26, 1);                                 // planes
    PutLe16(h + 28, 24);                                // bits per pixel
    PutLe32(h + 30, 0);                                 // uncompressed
    PutLe32(h + 34, static_cast<std::uint32_t>(pixelBytes));
    PutLe32(h + 38, 3780);                              // 96 dots per inch
    PutLe32(h + 42, 3780);

    for (std::int64_t y = 0; y < height; ++y) {
        const uchar* src = rgb.constScanLine(static_cast<int>(height - 1 - y));
        char* dst = h + HeaderBytes + y * stride;
        for (std::int64_t x = 0; x < width; ++x) {
            dst[3 * x + 0] = static_cast<char>(src[3 * x + 2]);
            dst[3 * x + 1] = static_cast<char>(src[3 * x + 1]);
            dst[3 * x + 2] = static_cast<char>(src[3 * x + 0]);
        }
    }
    return file;
}

void WriteFileInPlace(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw FileFailure(path, QStringLiteral("can not create the file (%1)").arg(file.errorString()));
    if (file.write(data) != data.size())
        throw FileFailure(path, QStringLiteral("can not write the file (%1)").arg(file.errorString()));
    if (!file.commit())
        throw FileFailure(path, QStringLiteral("can not write the file (%1)").arg(file.errorString()));
}

void WriteResultJpeg(const QString& path, const QImage& image, int quality)
{
    WriteFileInPlace(path, EncodeResultJpeg(image, quality, path));
}

void WriteResultBmp(const QString& path, const QImage& image)
{
    WriteFileInPlace(path, EncodeResultBmp(image, path));
}
