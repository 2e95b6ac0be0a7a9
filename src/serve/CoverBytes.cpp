#include "serve/CoverBytes.h"

#include <cstring>

namespace {

std::uint32_t Be16(std::string_view b, std::size_t at)
{
    return (std::uint32_t(std::uint8_t(b[at])) << 8) | std::uint8_t(b[at + 1]);
}
std::uint32_t Be32(std::string_view b, std::size_t at) { return (Be16(b, at) << 16) | Be16(b, at + 2); }
std::uint32_t Le16(std::string_view b, std::size_t at)
{
    return std::uint8_t(b[at]) | (std::uint32_t(std::uint8_t(b[at + 1])) << 8);
}
std::uint32_t Le32(std::string_view b, std::size_t at) { return Le16(b, at) | (Le16(b, at + 2) << 16); }

bool StartsWith(std::string_view b, const char* s, std::size_t n) { return b.size() >= n && std::memcmp(b.data(), s, n) == 0; }

// The first frame header's size; markers without a length (RSTn, TEM) are
// stepped over, fill bytes too.
void JpegSize(std::string_view b, CoverHeader& h)
{
    std::size_t at = 2;
    while (at + 4 <= b.size()) {
        if (std::uint8_t(b[at]) != 0xFF)
            return;
        const std::uint8_t marker = std::uint8_t(b[at + 1]);
        if (marker == 0xFF) {
            ++at;
            continue;
        }
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const std::size_t length = Be16(b, at + 2);
        if (length < 2)
            return;
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame) {
            if (at + 9 > b.size())
                return;
            h.Height = Be16(b, at + 5);
            h.Width = Be16(b, at + 7);
            h.SizeKnown = true;
            return;
        }
        at += 2 + length;
    }
}

} // namespace

CoverHeader ReadCoverHeader(std::string_view b, bool declaredTga)
{
    CoverHeader h;
    if (StartsWith(b, "\xFF\xD8\xFF", 3)) {
        h.Kind = PictureKind::Jpeg;
        JpegSize(b, h);
    } else if (StartsWith(b, "\x89PNG\r\n\x1A\n", 8)) {
        h.Kind = PictureKind::Png;
        if (b.size() >= 24 && std::memcmp(b.data() + 12, "IHDR", 4) == 0) {
            h.Width = Be32(b, 16);
            h.Height = Be32(b, 20);
            h.SizeKnown = true;
        }
    } else if (StartsWith(b, "GIF87a", 6) || StartsWith(b, "GIF89a", 6)) {
        h.Kind = PictureKind::Gif;
        if (b.size() >= 10) {
            h.Width = Le16(b, 6);
            h.Height = Le16(b, 8);
            h.SizeKnown = true;
        }
    } else if (StartsWith(b, "BM", 2)) {
        h.Kind = PictureKind::Bmp;
        if (b.size() >= 26) {
            const std::uint32_t info = Le32(b, 14);
            if (info == 12) {
                h.Width = Le16(b, 18);
                h.Height = Le16(b, 20);
                h.SizeKnown = true;
            } else if (info >= 40 && b.size() >= 26) {
                const auto w = static_cast<std::int32_t>(Le32(b, 18));
                const auto ht = static_cast<std::int32_t>(Le32(b, 22));
                // A top-down bitmap has a negative height.
                h.Width = w < 0 ? -std::int64_t{w} : w;
                h.Height = ht < 0 ? -std::int64_t{ht} : ht;
                h.SizeKnown = true;
            }
        }
    } else if (declaredTga) {
        h.Kind = PictureKind::Tga;
        if (b.size() >= 18) {
            h.Width = Le16(b, 12);
            h.Height = Le16(b, 14);
            h.SizeKnown = true;
        }
    }
    return h;
}
