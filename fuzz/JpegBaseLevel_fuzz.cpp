// The streaming JPEG decoder against the full-size decoder followed by the
// base level scaler, on arbitrary bytes: both refuse a file or both give the
// same pixels. The first byte picks the GL's largest texture side, so small
// limits take the decoder's other path. The rest is the file.
#include "FuzzSupport.h"
#include "render/JpegBaseLevel.h"
#include "formats/JpegCodec.h"
#include "render/BaseLevel.h"

#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ScratchFile file(".jpg");
    if (size == 0)
        return 0;
    const int limit = 4 << (data[0] % 13); // 4 .. 16384
    file.Write(data + 1, size - 1);

    std::vector<std::uint8_t> full;
    PictureSize original;
    bool fullRead = true;
    try {
        DecodeJpeg(file.Name(), [&](std::int64_t w, std::int64_t h) {
            CheckImageSize(w, h, file.Name());
            original = {static_cast<int>(w), static_cast<int>(h)};
            full.resize(static_cast<std::size_t>(std::max<std::int64_t>(1, w * h * 4)));
            return full.data();
        });
    } catch (const ImageError&) {
        fullRead = false;
    }
    DecodedBaseLevel streamed;
    bool streamRead = true;
    try {
        streamed = DecodeJpegBaseLevel(file.Name(), limit);
    } catch (const ImageError&) {
        streamRead = false;
    }
    if (fullRead != streamRead)
        __builtin_trap();
    if (!fullRead || original.Width < 1 || original.Height < 1)
        return 0;
    const PictureSize base = BaseLevelSize(original.Width, original.Height, limit);
    if (!(streamed.Original == original) || !(streamed.Base == base) || !streamed.Pixels)
        __builtin_trap();
    std::vector<std::uint8_t> scaled(static_cast<std::size_t>(base.Width) * base.Height * 4);
    ScaleToBaseLevel(full.data(), original, scaled.data(), base, 2);
    if (std::memcmp(scaled.data(), streamed.Pixels.get(), scaled.size()) != 0)
        __builtin_trap();
    return 0;
}
