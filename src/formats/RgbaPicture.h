#pragma once
// A picture in memory as the readers make it and a texture takes it: RGBA, a
// byte each, bottom row first, rows of Width x 4 bytes with no padding. A
// plain value: it moves, and copying one is never done by accident.
#include <QString>

#include <cstddef>
#include <cstdint>
#include <memory>

class QImage;

struct RgbaPicture {
    RgbaPicture() = default;
    // A picture moved from is empty: no pixels, no size.
    RgbaPicture(RgbaPicture&& other) noexcept;
    RgbaPicture& operator=(RgbaPicture&& other) noexcept;
    RgbaPicture(const RgbaPicture&) = delete;
    RgbaPicture& operator=(const RgbaPicture&) = delete;

    int Width = 0;
    int Height = 0;
    std::unique_ptr<std::uint8_t[]> Pixels; // Width x Height x 4 bytes, or none

    // Bytes in Pixels; 0 without any.
    std::size_t PixelBytes() const;
    // Sets Width and Height and allocates Pixels (left uninitialised). A size
    // beyond the limits, or one memory cannot hold, throws ImageError naming
    // `what` and leaves the picture as it was.
    void AllocatePixels(std::int64_t width, std::int64_t height, const QString& what);
    // Lets the buffer go; the size stays, as what the picture was.
    void FreePixels() { Pixels.reset(); }

    void SwapRedBlue();
    void FillAlpha(std::uint8_t alpha);
    // Fills Pixels from packed 3-byte pixels; byte 3 is not written.
    void ExpandRGB(const std::uint8_t* source, bool swap);
};

// Any QImage, read as 24-bit RGB: an opaque picture of its size.
RgbaPicture PictureOfImage(const QImage& image);

// Upright 32-bit copy (alpha kept), for the encoders; null without pixels.
QImage UprightImage(const RgbaPicture& picture);
