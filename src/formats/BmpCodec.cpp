#include "formats/BmpCodec.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace {

enum Compression : std::uint32_t { Rgb = 0, Rle8 = 1, Rle4 = 2, BitFields = 3, AlphaBitFields = 6 };

using Rgba = std::array<std::uint8_t, 4>;

ImageError Damaged(const QString& fileName, const QString& reason)
{
    return FileFailure(fileName, QStringLiteral("the BMP file is damaged (%1)").arg(reason));
}

// Little-endian fields of the file in memory; one beyond the end is damage.
class Fields {
public:
    Fields(const std::vector<std::uint8_t>& data, const QString& fileName)
        : data_(data), fileName_(fileName)
    {
    }
    std::uint32_t U16(std::size_t at) const
    {
        Need(at, 2);
        return data_[at] | (data_[at + 1] << 8);
    }
    std::uint32_t U32(std::size_t at) const
    {
        Need(at, 4);
        return data_[at] | (data_[at + 1] << 8) | (data_[at + 2] << 16) |
               (std::uint32_t{data_[at + 3]} << 24);
    }
    std::int32_t S32(std::size_t at) const { return static_cast<std::int32_t>(U32(at)); }
    void Need(std::size_t at, std::size_t count) const
    {
        if (at > data_.size() || count > data_.size() - at)
            throw Damaged(fileName_, QStringLiteral("the header is cut short"));
    }

private:
    const std::vector<std::uint8_t>& data_;
    const QString& fileName_;
};

// One colour of a bit-field pixel, scaled to 8 bits.
class Channel {
public:
    explicit Channel(std::uint32_t mask = 0)
        : mask_(mask), shift_(mask ? std::countr_zero(mask) : 0),
          bits_(mask ? std::bit_width(mask >> shift_) : 0)
    {
    }
    std::uint8_t operator()(std::uint32_t pixel) const
    {
        if (bits_ == 0)
            return 0;
        const std::uint32_t value = (pixel & mask_) >> shift_;
        if (bits_ >= 8)
            return static_cast<std::uint8_t>(value >> (bits_ - 8));
        return static_cast<std::uint8_t>(value * 255 / ((1u << bits_) - 1));
    }

private:
    std::uint32_t mask_;
    int shift_;
    int bits_;
};

struct Layout {
    std::int64_t width = 0;
    std::int64_t height = 0;
    bool topDown = false;
    unsigned bitCount = 0;
    std::uint32_t compression = Rgb;
    std::array<Rgba, 256> palette{}; // unused entries stay black
    Channel red, green, blue;
};

Layout ReadLayout(const std::vector<std::uint8_t>& data, const QString& fileName)
{
    const Fields in(data, fileName);
    if (data.size() < 2 || data[0] != 'B' || data[1] != 'M')
        throw FileFailure(fileName, QStringLiteral("is not a BMP file"));
    const std::size_t pixelsAt = in.U32(10);
    const std::uint32_t headerSize = in.U32(14);
    Layout layout;
    std::uint32_t coloursUsed = 0;
    unsigned entryBytes = 4;
    if (headerSize == 12) { // OS/2 core header: 16-bit sizes, 3-byte colours
        layout.width = in.U16(18);
        layout.height = in.U16(20);
        layout.bitCount = in.U16(24);
        entryBytes = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        layout.width = in.S32(18);
        const std::int64_t height = in.S32(22);
        layout.topDown = height < 0;
        layout.height = height < 0 ? -height : height;
        layout.bitCount = in.U16(28);
        layout.compression = in.U32(30);
        coloursUsed = in.U32(46);
    } else {
        throw Damaged(fileName, QStringLiteral("unknown header of %1 bytes").arg(headerSize));
    }
    if (layout.compression == AlphaBitFields)
        layout.compression = BitFields;

    const unsigned bits = layout.bitCount;
    const bool known = (layout.compression == Rgb &&
                        (bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32)) ||
                       (layout.compression == Rle8 && bits == 8 && !layout.topDown) ||
                       (layout.compression == Rle4 && bits == 4 && !layout.topDown) ||
                       (layout.compression == BitFields && (bits == 16 || bits == 32));
    if (!known)
        throw Damaged(fileName, QStringLiteral("%1 bits per pixel with compression %2 is not a "
                                               "bitmap layout this reader knows")
                                    .arg(bits)
                                    .arg(layout.compression));
    if (layout.width < 0)
        throw Damaged(fileName, QStringLiteral("negative width"));

    if (layout.compression == BitFields) { // right after the 40-byte part of the header
        layout.red = Channel(in.U32(54));
        layout.green = Channel(in.U32(58));
        layout.blue = Channel(in.U32(62));
    } else if (bits == 16) {
        layout.red = Channel(0x7C00);
        layout.green = Channel(0x03E0);
        layout.blue = Channel(0x001F);
    }
    if (bits <= 8) {
        // The table ends where the pixels start, whatever the count claims.
        const std::size_t paletteAt = 14 + std::size_t{headerSize};
        std::size_t count = std::size_t{1} << bits;
        if (coloursUsed != 0 && coloursUsed < count)
            count = coloursUsed;
        if (pixelsAt > paletteAt)
            count = std::min(count, (pixelsAt - paletteAt) / entryBytes);
        in.Need(paletteAt, count * entryBytes);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t* entry = data.data() + paletteAt + i * entryBytes;
            layout.palette[i] = {entry[2], entry[1], entry[0], 255};
        }
    }
    return layout;
}

// Uncompressed rows: each starts on a 4-byte boundary.
void ReadRows(const Layout& layout, const std::uint8_t* pixels, std::size_t stride,
              std::uint8_t* out)
{
    const std::size_t width = static_cast<std::size_t>(layout.width);
    for (std::int64_t r = 0; r < layout.height; ++r) {
        const std::uint8_t* src = pixels + static_cast<std::size_t>(r) * stride;
        const std::int64_t y = layout.topDown ? layout.height - 1 - r : r;
        std::uint8_t* dst = out + static_cast<std::size_t>(y) * width * 4;
        switch (layout.bitCount) {
        case 1:
        case 4:
        case 8: {
            const unsigned bits = layout.bitCount;
            const unsigned perByte = 8 / bits;
            const unsigned mask = (1u << bits) - 1;
            for (std::size_t x = 0; x < width; ++x, dst += 4) {
                const unsigned shift = 8 - bits * (1 + static_cast<unsigned>(x % perByte));
                const Rgba& c = layout.palette[(src[x / perByte] >> shift) & mask];
                std::memcpy(dst, c.data(), 4);
            }
            break;
        }
        case 16:
            for (std::size_t x = 0; x < width; ++x, dst += 4, src += 2) {
                const std::uint32_t p = src[0] | (src[1] << 8);
                dst[0] = layout.red(p);
                dst[1] = layout.green(p);
                dst[2] = layout.blue(p);
            }
            break;
        case 24:
            for (std::size_t x = 0; x < width; ++x, dst += 4, src += 3) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
            }
            break;
        default: // 32
            if (layout.compression == BitFields) {
                for (std::size_t x = 0; x < width; ++x, dst += 4, src += 4) {
                    const std::uint32_t p = src[0] | (src[1] << 8) | (src[2] << 16) |
                                            (std::uint32_t{src[3]} << 24);
                    dst[0] = layout.red(p);
                    dst[1] = layout.green(p);
                    dst[2] = layout.blue(p);
                }
            } else {
                for (std::size_t x = 0; x < width; ++x, dst += 4, src += 4) {
                    dst[0] = src[2];
                    dst[1] = src[1];
                    dst[2] = src[0];
                }
            }
            break;
        }
    }
}

// Run-length encoded rows, bottom row first. Pixels the runs skip stay black.
void ReadRuns(const Layout& layout, const std::uint8_t* data, std::size_t size, std::uint8_t* out,
              const QString& fileName)
{
    const std::int64_t width = layout.width;
    const std::int64_t height = layout.height;
    std::memset(out, 0, static_cast<std::size_t>(width * height * 4));
    const bool nibbles = layout.compression == Rle4;
    std::size_t at = 0;
    const auto next = [&]() -> std::uint8_t {
        if (at >= size)
            throw Damaged(fileName, QStringLiteral("the run-length data is cut short"));
        return data[at++];
    };
    std::int64_t x = 0, y = 0;
    const auto put = [&](unsigned index) {
        if (x < width)
            std::memcpy(out + static_cast<std::size_t>(y * width + x) * 4,
                        layout.palette[index & 0xFF].data(), 4);
        ++x;
    };
    while (y < height) {
        const unsigned count = next();
        const unsigned value = next();
        if (count > 0) { // a run of one index, or of two alternating nibbles
            for (unsigned i = 0; i < count; ++i)
                put(nibbles ? (i % 2 == 0 ? value >> 4 : value & 0x0F) : value);
        } else if (value == 0) { // end of line
            x = 0;
            ++y;
        } else if (value == 1) { // end of bitmap
            return;
        } else if (value == 2) { // move right and up
            x += next();
            y += next();
        } else { // `value` literal indexes, padded to a 16-bit boundary
            unsigned byte = 0;
            for (unsigned i = 0; i < value; ++i) {
                if (!nibbles) {
                    put(next());
                } else {
                    if (i % 2 == 0)
                        byte = next();
                    put(i % 2 == 0 ? byte >> 4 : byte & 0x0F);
                }
            }
            const unsigned bytes = nibbles ? (value + 1) / 2 : value;
            if (bytes % 2 != 0)
                next();
        }
    }
}

} // namespace

void DecodeBmp(const QString& fileName, const AllocateRgba& allocate)
{
    const std::vector<std::uint8_t> data = ReadWholeFile(fileName);
    const Layout layout = ReadLayout(data, fileName);
    CheckImageSize(layout.width, layout.height, fileName);
    const std::size_t pixelsAt = Fields(data, fileName).U32(10);
    const std::size_t present = pixelsAt < data.size() ? data.size() - pixelsAt : 0;
    const std::uint8_t* pixels = data.data() + std::min(pixelsAt, data.size());
    if (layout.compression == Rle4 || layout.compression == Rle8) {
        ReadRuns(layout, pixels, present, allocate(layout.width, layout.height),
                 fileName);
        return;
    }
    const auto stride = static_cast<std::size_t>((layout.width * layout.bitCount + 31) / 32 * 4);
    const std::size_t needed = stride * static_cast<std::size_t>(layout.height);
    if (needed > present)
        throw Damaged(fileName, QStringLiteral("the file is cut short: %1 bytes of pixels expected, "
                                               "%2 present")
                                    .arg(needed)
                                    .arg(present));
    ReadRows(layout, pixels, stride, allocate(layout.width, layout.height));
}
