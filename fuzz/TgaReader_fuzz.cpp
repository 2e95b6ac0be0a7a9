// The TGA reader on arbitrary bytes: it returns true or false or throws
// ImageError, and a picture it reads survives the TGA writer unchanged.
#include "FuzzSupport.h"
#include "formats/PictureFile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ScratchFile input(".tga");
    static const ScratchFile copy("-copy.tga");
    input.Write(data, size);

    RgbaPicture picture;
    int depth = 0;
    try {
        if (!ReadPictureFile(input.Name(), picture, &depth))
            return 0;
    } catch (const ImageError&) {
        return 0;
    }
    const std::size_t bytes = static_cast<std::size_t>(picture.Width) * picture.Height * 4;
    if (!picture.Pixels || picture.PixelBytes() != bytes ||
        (depth != 24 && depth != 32))
        __builtin_trap();

    if (!WritePictureFile(picture, copy.Name()))
        __builtin_trap();
    RgbaPicture again;
    if (!ReadPictureFile(copy.Name(), again) || again.Width != picture.Width ||
        again.Height != picture.Height || again.PixelBytes() != bytes ||
        std::memcmp(again.Pixels.get(), picture.Pixels.get(), bytes) != 0)
        __builtin_trap();
    return 0;
}
