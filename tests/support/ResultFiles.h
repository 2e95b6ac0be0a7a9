#pragma once
// Reads a written result back with the program's own decoders, as an
// upright RGB picture, so tests compare pixels and not bytes.
#include "formats/BmpCodec.h"
#include "formats/JpegCodec.h"

#include <QImage>
#include <QString>

#include <cstdlib>
#include <vector>

inline QImage ReadResultFile(const QString& path)
{
    std::vector<std::uint8_t> rgba;
    std::int64_t w = 0, h = 0;
    const AllocateRgba allocate = [&](std::int64_t width, std::int64_t height) {
        w = width;
        h = height;
        rgba.assign(static_cast<std::size_t>(width * height * 4), 0);
        return rgba.data();
    };
    if (path.endsWith(QStringLiteral(".bmp"), Qt::CaseInsensitive))
        DecodeBmp(path, allocate);
    else
        DecodeJpeg(path, allocate);
    QImage image(static_cast<int>(w), static_cast<int>(h), QImage::Format_RGB888);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = rgba.data() + static_cast<std::size_t>((h - 1 - y) * w * 4);
        uchar* dst = image.scanLine(y);
        for (int x = 0; x < w; ++x) {
            dst[3 * x + 0] = src[4 * x + 0];
            dst[3 * x + 1] = src[4 * x + 1];
            dst[3 * x + 2] = src[4 * x + 2];
        }
    }
    return image;
}

// Largest difference of any channel at any pixel; 256 when the sizes differ.
inline int MaxPixelDifference(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return 256;
    const QImage ra = a.convertToFormat(QImage::Format_RGB888);
    const QImage rb = b.convertToFormat(QImage::Format_RGB888);
    int worst = 0;
    for (int y = 0; y < ra.height(); ++y) {
        const uchar* pa = ra.constScanLine(y);
        const uchar* pb = rb.constScanLine(y);
        for (int i = 0; i < ra.width() * 3; ++i)
            worst = std::max(worst, std::abs(int(pa[i]) - int(pb[i])));
    }
    return worst;
}
