// The cover Targa reader on arbitrary bytes: it gives a whole picture or
// throws ImageError, asks for room once at most, and a picture it reads comes
// back unchanged through the Targa writer.
#include "FuzzSupport.h"
#include "formats/PictureWriter.h"
#include "formats/TgaCodec.h"

#include <cstdint>
#include <vector>

namespace {

// Decodes into `room`; the number of times room was asked for.
int Decode(const std::uint8_t* data, std::size_t size, std::vector<std::uint8_t>& room, std::int64_t& width,
           std::int64_t& height)
{
    int calls = 0;
    DecodeTga(data, size, QStringLiteral("fuzz.tga"), [&](std::int64_t w, std::int64_t h) {
        ++calls;
        CheckImageSize(w, h, QStringLiteral("fuzz.tga"));
        width = w;
        height = h;
        room.assign(static_cast<std::size_t>(w * h * 4), 0xA5);
        return room.data();
    });
    return calls;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> picture;
    std::int64_t width = 0, height = 0;
    try {
        if (Decode(data, size, picture, width, height) != 1 || width <= 0 || height <= 0)
            __builtin_trap();
    } catch (const ImageError&) {
        return 0;
    }
    const QByteArray copy = EncodeTga(RgbaRows::BottomUp(picture.data(), static_cast<int>(width),
                                                         static_cast<int>(height)),
                                      TgaLayout::Bgra32, QStringLiteral("copy.tga"));
    std::vector<std::uint8_t> again;
    std::int64_t w = 0, h = 0;
    if (Decode(reinterpret_cast<const std::uint8_t*>(copy.constData()), static_cast<std::size_t>(copy.size()),
               again, w, h) != 1 ||
        w != width || h != height || again != picture)
        __builtin_trap();
    return 0;
}
