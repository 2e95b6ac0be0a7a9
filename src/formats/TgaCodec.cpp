#include "formats/TgaCodec.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace {

enum ImageType : unsigned { NoImage = 0, ColourMapped = 1, TrueColour = 2, Grey = 3, RunLength = 8 };

using Rgba = std::array<std::uint8_t, 4>;

ImageError Damaged(const QString& what, const QString& reason)
{
    return FileFailure(what, QStringLiteral("the TGA file is damaged or of a kind this program "
                                            "does not read (%1)")
                                 .arg(reason));
}

ImageError CutShort(const QString& what, const QString& part)
{
    return FileFailure(what, QStringLiteral("the TGA file is cut short (in the %1)").arg(part));
}

unsigned Le16(const std::uint8_t* p) { return p[0] | (unsigned{p[1]} << 8); }

// 5 bits to 8, so that 31 becomes 255.
std::uint8_t Widen5(unsigned v) { return static_cast<std::uint8_t>((v << 3) | (v >> 2)); }

// A true-colour value of the given bits, stored blue first. The top bit of a
// 16-bit value is alpha only when the descriptor says there is one: many
// writers leave it 0 in opaque pictures.
Rgba TrueColourValue(const std::uint8_t* p, unsigned bits, bool alphaBit)
{
    switch (bits) {
    case 15:
    case 16: {
        const unsigned v = Le16(p);
        const std::uint8_t a = alphaBit && bits == 16 && !(v & 0x8000) ? 0 : 255;
        return {Widen5((v >> 10) & 31), Widen5((v >> 5) & 31), Widen5(v & 31), a};
    }
    case 24: return {p[2], p[1], p[0], 255};
    // Likewise the fourth byte: without alpha bits it is no alpha.
    default: return {p[2], p[1], p[0], alphaBit ? p[3] : std::uint8_t{255}};
    }
}

unsigned BytesOf(unsigned bits) { return (bits + 7) / 8; }

// Turns the file's pixels, whatever their kind, into RGBA.
class PixelReader {
public:
    PixelReader(unsigned type, unsigned depth, bool alphaBit, std::vector<Rgba> map,
                unsigned mapFirst, const QString& what)
        : type_(type), depth_(depth), alphaBit_(alphaBit), map_(std::move(map)),
          mapFirst_(mapFirst), what_(what)
    {
    }

    unsigned Bytes() const { return BytesOf(depth_); }

    Rgba operator()(const std::uint8_t* p) const
    {
        switch (type_) {
        case TrueColour: return TrueColourValue(p, depth_, alphaBit_);
        case Grey: return {p[0], p[0], p[0], depth_ == 16 ? p[1] : std::uint8_t{255}};
        default: return Entry(depth_ == 8 ? p[0] : Le16(p));
        }
    }

private:
    Rgba Entry(unsigned index) const
    {
        if (index < mapFirst_ || index - mapFirst_ >= map_.size())
            throw Damaged(what_, QStringLiteral("a pixel names colour %1, outside the colour map").arg(index));
        return map_[index - mapFirst_];
    }

    unsigned type_;
    unsigned depth_;
    bool alphaBit_;
    std::vector<Rgba> map_;
    unsigned mapFirst_;
    const QString& what_;
};

// Where each pixel of the file goes in a bottom-up RGBA buffer, in file order.
class PixelSink {
public:
    PixelSink(std::uint8_t* out, std::int64_t width, std::int64_t height, bool topDown, bool rightToLeft)
        : out_(out), width_(width), height_(height), topDown_(topDown), step_(rightToLeft ? -4 : 4),
          firstColumn_(rightToLeft ? (width - 1) * 4 : 0)
    {
        StartRow();
    }

    void Put(const Rgba& pixel)
    {
        std::memcpy(at_, pixel.data(), 4);
        at_ += step_;
        if (++column_ == width_) {
            column_ = 0;
            if (++row_ < height_)
                StartRow();
        }
    }

private:
    void StartRow()
    {
        const std::int64_t y = topDown_ ? height_ - 1 - row_ : row_;
        at_ = out_ + y * width_ * 4 + firstColumn_;
    }

    std::uint8_t* out_;
    std::uint8_t* at_ = nullptr;
    std::int64_t width_;
    std::int64_t height_;
    bool topDown_;
    std::ptrdiff_t step_;
    std::int64_t firstColumn_;
    std::int64_t row_ = 0;
    std::int64_t column_ = 0;
};

} // namespace

void DecodeTga(const std::uint8_t* data, std::size_t size, const QString& what, const AllocateRgba& allocate)
{
    if (size < 18)
        throw CutShort(what, QStringLiteral("header"));
    const std::size_t idLength = data[0];
    const unsigned mapType = data[1];
    const unsigned type = data[2];
    const unsigned mapFirst = Le16(data + 3);
    const unsigned mapLength = Le16(data + 5);
    const unsigned mapBits = data[7];
    const std::int64_t width = Le16(data + 12);
    const std::int64_t height = Le16(data + 14);
    const unsigned depth = data[16];
    const unsigned descriptor = data[17];
    const unsigned kind = type & ~unsigned{RunLength};
    const bool runLength = (type & RunLength) != 0;

    if (type == NoImage)
        throw FileFailure(what, QStringLiteral("the TGA file holds no picture"));
    if (type > (Grey | RunLength) || kind == NoImage || kind > Grey)
        throw Damaged(what, QStringLiteral("image type %1").arg(type));
    if (mapType > 1)
        throw Damaged(what, QStringLiteral("colour map type %1").arg(mapType));
    const bool depthKnown = kind == TrueColour ? depth == 15 || depth == 16 || depth == 24 || depth == 32
                            : kind == Grey     ? depth == 8 || depth == 16
                                               : depth == 8 || depth == 16;
    if (!depthKnown)
        throw Damaged(what, QStringLiteral("%1 bits per pixel for image type %2").arg(depth).arg(type));
    if (kind == ColourMapped) {
        if (mapType != 1 || mapLength == 0)
            throw Damaged(what, QStringLiteral("a colour-mapped picture without a colour map"));
        if (mapBits != 15 && mapBits != 16 && mapBits != 24 && mapBits != 32)
            throw Damaged(what, QStringLiteral("colour map entries of %1 bits").arg(mapBits));
    }
    if (width == 0 || height == 0)
        throw FileFailure(what, QStringLiteral("the picture has no pixels"));
    CheckImageSize(width, height, what);

    // The ID and, for any type, a colour map lie between the header and the pixels.
    const bool alphaBit = (descriptor & 0x0F) != 0;
    std::size_t at = 18;
    if (size - at < idLength)
        throw CutShort(what, QStringLiteral("image ID"));
    at += idLength;
    const std::size_t mapBytes = mapType == 1 ? std::size_t{mapLength} * BytesOf(mapBits) : 0;
    if (size - at < mapBytes)
        throw CutShort(what, QStringLiteral("colour map"));
    std::vector<Rgba> map;
    if (kind == ColourMapped) {
        map.reserve(mapLength);
        for (std::size_t i = 0; i < mapLength; ++i)
            map.push_back(TrueColourValue(data + at + i * BytesOf(mapBits), mapBits, alphaBit));
    }
    at += mapBytes;

    const PixelReader read(kind, depth, alphaBit, std::move(map), mapFirst, what);
    const std::size_t bytes = read.Bytes();
    const auto count = static_cast<std::size_t>(width * height);
    const std::uint8_t* p = data + at;
    const std::uint8_t* const end = data + size;
    const auto present = static_cast<std::size_t>(end - p);
    // Refused before allocating: a few bytes must not claim a gigabyte.
    // A run-length packet holds at most 128 pixels in 1 + `bytes` bytes.
    const std::size_t least = runLength ? (count + 127) / 128 * (1 + bytes) : count * bytes;
    if (present < least)
        throw CutShort(what, QStringLiteral("pixels: at least %1 bytes expected, %2 present").arg(least).arg(present));

    PixelSink sink(allocate(width, height), width, height, (descriptor & 0x20) != 0, (descriptor & 0x10) != 0);
    if (!runLength) {
        for (std::size_t i = 0; i < count; ++i, p += bytes)
            sink.Put(read(p));
        return;
    }
    std::size_t left = count;
    while (left > 0) {
        if (p == end)
            throw CutShort(what, QStringLiteral("run-length pixels"));
        const unsigned head = *p++;
        // A packet reaching past the last pixel is cut to the picture.
        const std::size_t n = std::min<std::size_t>((head & 0x7F) + 1, left);
        const std::size_t need = head & 0x80 ? bytes : n * bytes;
        if (static_cast<std::size_t>(end - p) < need)
            throw CutShort(what, QStringLiteral("run-length pixels"));
        if (head & 0x80) {
            const Rgba pixel = read(p);
            for (std::size_t i = 0; i < n; ++i)
                sink.Put(pixel);
        } else {
            for (std::size_t i = 0; i < n; ++i)
                sink.Put(read(p + i * bytes));
        }
        p += need;
        left -= n;
    }
}

void DecodeTga(const QString& fileName, const AllocateRgba& allocate)
{
    const std::vector<std::uint8_t> data = ReadWholeFile(fileName);
    DecodeTga(data.data(), data.size(), fileName, allocate);
}
