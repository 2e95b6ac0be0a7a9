#include "formats/ColourProfile.h"

#include "formats/ImageCodec.h"

#include <lcms2.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

// Larger profiles than this are not real ones (press CMYK profiles are a
// few MB); a crafted chunk must not inflate into memory without end.
constexpr std::size_t MaxProfileBytes = 16u << 20;

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* text)
{
    const std::size_t length = std::strlen(text);
    return size >= length && std::memcmp(data, text, length) == 0;
}

std::uint32_t BigEndian32(const std::uint8_t* p)
{
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// zlib's stream, refused past the limit.
std::vector<std::uint8_t> Inflated(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> out;
    z_stream stream{};
    if (inflateInit(&stream) != Z_OK)
        return out;
    stream.next_in = const_cast<Bytef*>(data);
    stream.avail_in = static_cast<uInt>(size);
    std::array<std::uint8_t, 16384> piece{};
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = piece.data();
        stream.avail_out = static_cast<uInt>(piece.size());
        status = inflate(&stream, Z_NO_FLUSH);
        out.insert(out.end(), piece.data(), piece.data() + (piece.size() - stream.avail_out));
        if (out.size() > MaxProfileBytes)
            status = Z_DATA_ERROR;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END)
        out.clear();
    return out;
}

struct ProfileCloser {
    void operator()(void* profile) const { cmsCloseProfile(profile); }
};
using Profile = std::unique_ptr<void, ProfileCloser>;

// Every channel of a grid of colours within a level of itself.
bool MapsToItself(cmsHTRANSFORM transform)
{
    std::vector<std::uint8_t> in, out;
    for (int r = 0; r <= 255; r += 51)
        for (int g = 0; g <= 255; g += 51)
            for (int b = 0; b <= 255; b += 51)
                in.insert(in.end(), {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                     static_cast<std::uint8_t>(b), 255});
    out.resize(in.size());
    cmsDoTransform(transform, in.data(), out.data(), static_cast<cmsUInt32Number>(in.size() / 4));
    for (std::size_t i = 0; i < in.size(); ++i)
        if (std::abs(int{in[i]} - int{out[i]}) > 1)
            return false;
    return true;
}

} // namespace

std::vector<std::uint8_t> JpegProfile(const std::uint8_t* data, std::size_t size, bool* adobe)
{
    if (adobe)
        *adobe = false;
    std::map<int, std::pair<const std::uint8_t*, std::size_t>> pieces;
    int count = 0;
    bool consistent = true;
    std::size_t at = 2; // after the start of image
    while (at + 4 <= size && data[at] == 0xFF) {
        const std::uint8_t marker = data[at + 1];
        if (marker == 0xFF) { // fill byte
            ++at;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) // the first scan, or the end
            break;
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            at += 2;
            continue;
        }
        const std::size_t length = (std::size_t{data[at + 2]} << 8) | data[at + 3];
        if (length < 2 || at + 2 + length > size)
            break;
        const std::uint8_t* payload = data + at + 4;
        const std::size_t payloadSize = length - 2;
        if (marker == 0xE2 && payloadSize > 14 && StartsWith(payload, payloadSize, "ICC_PROFILE") &&
            payload[11] == 0) {
            const int sequence = payload[12], total = payload[13];
            consistent = consistent && sequence >= 1 && sequence <= total && (count == 0 || count == total) &&
                         !pieces.count(sequence);
            count = total;
            pieces[sequence] = {payload + 14, payloadSize - 14};
        } else if (marker == 0xEE && adobe && StartsWith(payload, payloadSize, "Adobe")) {
            *adobe = true;
        }
        at += 2 + length;
    }
    std::vector<std::uint8_t> profile;
    if (!consistent || count == 0 || static_cast<int>(pieces.size()) != count)
        return profile;
    for (const auto& [sequence, piece] : pieces)
        profile.insert(profile.end(), piece.first, piece.first + piece.second);
    return profile;
}

std::vector<std::uint8_t> PngProfile(const QString& fileName)
{
    const FileHandle file = OpenFile(fileName, "rb");
    std::uint8_t header[8];
    if (std::fread(header, 1, 8, file.get()) != 8)
        return {};
    for (;;) {
        std::uint8_t chunk[8];
        if (std::fread(chunk, 1, 8, file.get()) != 8)
            return {};
        const std::uint32_t length = BigEndian32(chunk);
        if (std::memcmp(chunk + 4, "IDAT", 4) == 0 || std::memcmp(chunk + 4, "IEND", 4) == 0 || length > 0x7FFFFFFFu)
            return {}; // the profile comes before the pixels
        if (std::memcmp(chunk + 4, "iCCP", 4) != 0) {
            if (std::fseek(file.get(), static_cast<long>(length) + 4, SEEK_CUR) != 0)
                return {};
            continue;
        }
        if (length > MaxProfileBytes)
            return {};
        std::vector<std::uint8_t> body(length + 4);
        if (std::fread(body.data(), 1, body.size(), file.get()) != body.size())
            return {};
        uLong crc = crc32(0, chunk + 4, 4);
        crc = crc32(crc, body.data(), length);
        if (crc != BigEndian32(body.data() + length))
            return {};
        // A name of 1 to 79 bytes, its NUL, the method (0: zlib), the stream.
        const auto* end = static_cast<const std::uint8_t*>(std::memchr(body.data(), 0, std::min<std::size_t>(length, 80)));
        if (!end || end == body.data() || static_cast<std::size_t>(end - body.data()) + 2 > length || end[1] != 0)
            return {};
        const std::size_t start = static_cast<std::size_t>(end - body.data()) + 2;
        return Inflated(body.data() + start, length - start);
    }
}

std::unique_ptr<SrgbConversion> SrgbConversion::For(const std::vector<std::uint8_t>& profile, Input input)
{
    if (profile.empty())
        return nullptr;
    const Profile source(cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size())));
    if (!source)
        return nullptr;
    const bool rgb = input == Input::Rgba;
    if (cmsGetColorSpace(source.get()) != (rgb ? cmsSigRgbData : cmsSigCmykData))
        return nullptr;
    const Profile srgb(cmsCreate_sRGBProfile());
    const cmsUInt32Number format = rgb ? TYPE_RGBA_8 : input == Input::Cmyk ? TYPE_CMYK_8 : TYPE_CMYK_8_REV;
    // Relative colorimetric keeps in-gamut colours; black point compensation
    // keeps a print's shadows from clipping.
    cmsHTRANSFORM transform =
        cmsCreateTransform(source.get(), format, srgb.get(), TYPE_RGBA_8, INTENT_RELATIVE_COLORIMETRIC,
                           cmsFLAGS_BLACKPOINTCOMPENSATION | (rgb ? cmsFLAGS_COPY_ALPHA : 0));
    if (!transform)
        return nullptr;
    if (rgb && MapsToItself(transform)) {
        cmsDeleteTransform(transform);
        return nullptr;
    }
    return std::unique_ptr<SrgbConversion>(new SrgbConversion(transform, input));
}

SrgbConversion::~SrgbConversion()
{
    cmsDeleteTransform(transform_);
}

void SrgbConversion::Convert(std::uint8_t* pixels, std::size_t count) const
{
    constexpr std::size_t Piece = 4096;
    std::array<std::uint8_t, Piece * 4> out{};
    const bool opaque = input_ != Input::Rgba;
    for (std::size_t first = 0; first < count; first += Piece) {
        const std::size_t n = std::min(Piece, count - first);
        std::uint8_t* at = pixels + first * 4;
        cmsDoTransform(transform_, at, out.data(), static_cast<cmsUInt32Number>(n));
        if (opaque)
            for (std::size_t i = 0; i < n; ++i)
                out[i * 4 + 3] = 255;
        std::copy(out.data(), out.data() + n * 4, at);
    }
}
