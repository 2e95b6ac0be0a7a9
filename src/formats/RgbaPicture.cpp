#include "formats/RgbaPicture.h"

#include "formats/ImageCodec.h"

#include <QImage>

#include <cstring>
#include <new>
#include <utility>

RgbaPicture::RgbaPicture(RgbaPicture&& other) noexcept
    : Width(std::exchange(other.Width, 0)), Height(std::exchange(other.Height, 0)), Pixels(std::move(other.Pixels))
{
}

RgbaPicture& RgbaPicture::operator=(RgbaPicture&& other) noexcept
{
    if (this != &other) {
        Width = std::exchange(other.Width, 0);
        Height = std::exchange(other.Height, 0);
        Pixels = std::move(other.Pixels);
    }
    return *this;
}

std::size_t RgbaPicture::PixelBytes() const
{
    if (!Pixels || Width <= 0 || Height <= 0)
        return 0;
    return static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height) * 4;
}

void RgbaPicture::AllocatePixels(std::int64_t width, std::int64_t height, const QString& what)
{
    CheckImageSize(width, height, what);
    const auto bytes = static_cast<std::size_t>(width * height * 4);
    std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[bytes == 0 ? 1 : bytes]);
    if (!pixels)
        throw ImageError(QStringLiteral("%1: not enough memory for %2 x %3 pixels")
                             .arg(what)
                             .arg(width)
                             .arg(height)
                             .toStdString());
    PreferHugePages(pixels.get(), bytes);
    Pixels = std::move(pixels);
    Width = static_cast<int>(width);
    Height = static_cast<int>(height);
}

void RgbaPicture::SwapRedBlue()
{
    const std::size_t n = PixelBytes();
    std::uint8_t* p = Pixels.get();
    for (std::size_t i = 0; i < n; i += 4)
        std::swap(p[i], p[i + 2]);
}

void RgbaPicture::FillAlpha(std::uint8_t alpha)
{
    const std::size_t n = PixelBytes();
    std::uint8_t* p = Pixels.get();
    for (std::size_t i = 3; i < n; i += 4)
        p[i] = alpha;
}

void RgbaPicture::ExpandRGB(const std::uint8_t* source, bool swap)
{
    const std::size_t count = PixelBytes() / 4;
    std::uint8_t* out = Pixels.get();
    for (std::size_t i = 0; i < count; ++i, source += 3, out += 4) {
        out[0] = swap ? source[2] : source[0];
        out[1] = source[1];
        out[2] = swap ? source[0] : source[2];
    }
}

RgbaPicture PictureOfImage(const QImage& image)
{
    const QImage rgb = image.format() == QImage::Format_RGB888 ? image : image.convertToFormat(QImage::Format_RGB888);
    RgbaPicture picture;
    picture.AllocatePixels(rgb.width(), rgb.height(), QStringLiteral("bitmap"));
    // QImage rows are top first and padded; the picture wants the bottom row first.
    for (int y = 0; y < picture.Height; ++y) {
        const std::uint8_t* src = rgb.constScanLine(picture.Height - 1 - y);
        std::uint8_t* dst = picture.Pixels.get() + static_cast<std::size_t>(y) * picture.Width * 4;
        for (int x = 0; x < picture.Width; ++x, src += 3, dst += 4) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
        }
    }
    picture.FillAlpha(255);
    return picture;
}

QImage UprightImage(const RgbaPicture& picture)
{
    if (!picture.Pixels || picture.Width <= 0 || picture.Height <= 0)
        return QImage();
    QImage image(picture.Width, picture.Height, QImage::Format_RGBA8888);
    if (image.isNull())
        return image;
    const std::size_t row = static_cast<std::size_t>(picture.Width) * 4;
    for (int y = 0; y < picture.Height; ++y)
        std::memcpy(image.scanLine(y), picture.Pixels.get() + static_cast<std::size_t>(picture.Height - 1 - y) * row,
                    row);
    return image;
}
