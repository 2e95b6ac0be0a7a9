#include "render/ModelPictures.h"

#include "formats/ImageCodec.h"
#include "formats/PictureWriter.h"
#include "render/CoverImage.h"

#include <QFile>

#include <cstdint>

namespace {

unsigned Byte(const QByteArray& b, qsizetype i) { return static_cast<unsigned char>(b[i]); }

// The Exif orientation in an APP1 segment's body (after "Exif\0\0"): 1
// (upright) when absent or unreadable.
unsigned ExifOrientation(const QByteArray& b, qsizetype tiff, qsizetype end)
{
    if (end - tiff < 8)
        return 1;
    const bool little = b[tiff] == 'I';
    const auto u16 = [&](qsizetype at) -> unsigned {
        return little ? Byte(b, at) | Byte(b, at + 1) << 8 : Byte(b, at) << 8 | Byte(b, at + 1);
    };
    const auto u32 = [&](qsizetype at) -> std::uint32_t {
        return little ? u16(at) | std::uint32_t{u16(at + 2)} << 16 : std::uint32_t{u16(at)} << 16 | u16(at + 2);
    };
    const qsizetype ifd = tiff + static_cast<qsizetype>(u32(tiff + 4));
    if (ifd < tiff || ifd + 2 > end)
        return 1;
    const unsigned entries = u16(ifd);
    for (unsigned i = 0; i < entries; ++i) {
        const qsizetype entry = ifd + 2 + qsizetype{12} * i;
        if (entry + 12 > end)
            break;
        if (u16(entry) == 0x0112)
            return u16(entry + 8);
    }
    return 1;
}

} // namespace

bool IsPlainJpeg(const QByteArray& b)
{
    if (b.size() < 4 || Byte(b, 0) != 0xFF || Byte(b, 1) != 0xD8)
        return false;
    bool frame = false;
    qsizetype at = 2;
    while (at + 4 <= b.size()) {
        if (Byte(b, at) != 0xFF)
            return false;
        const unsigned marker = Byte(b, at + 1);
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        const qsizetype length = static_cast<qsizetype>(Byte(b, at + 2) << 8 | Byte(b, at + 3));
        const qsizetype body = at + 4, end = at + 2 + length;
        if (length < 2 || end > b.size())
            return false;
        if (marker == 0xDA) // the scan: every header has been seen
            return frame;
        if (marker == 0xE1 && end - body >= 6 && b.mid(body, 6) == QByteArray("Exif\0\0", 6) &&
            ExifOrientation(b, body + 6, end) != 1)
            return false;
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            // Huffman baseline, extended or progressive only; 8 bits; grey or colour.
            if (marker > 0xC2 || end - body < 6 || Byte(b, body) != 8)
                return false;
            const unsigned components = Byte(b, body + 5);
            if (components != 1 && components != 3)
                return false;
            frame = true;
        }
        at = end;
    }
    return false;
}

ModelPicture PngModelPicture(const QImage& picture)
{
    const QImage rgba = AsRgba(picture, QStringLiteral("cover"));
    return {EncodePng(RgbaRows::Of(rgba), false, PngOutputLevel, QStringLiteral("cover")), "image/png"};
}

ModelPicture ModelPictureOf(const QByteArray& fileBytes, const QImage& decoded)
{
    if (IsPlainJpeg(fileBytes))
        return {fileBytes, "image/jpeg"};
    return PngModelPicture(decoded);
}

ModelPicture ModelPictureOfFile(const QString& fileName)
{
    // Decoded first, so that a damaged picture is refused as the render refuses it.
    QImage decoded;
    if (!ReadImageToBitmap(fileName, decoded))
        throw ImageError(QStringLiteral("%1: not a picture this program reads").arg(fileName).toStdString());
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw FileFailure(fileName, file.errorString());
    // Only a JPEG is kept as it is; the rest need not be read again.
    QByteArray start = file.read(2);
    if (start.size() == 2 && Byte(start, 0) == 0xFF && Byte(start, 1) == 0xD8)
        start += file.readAll();
    return ModelPictureOf(start, decoded);
}
