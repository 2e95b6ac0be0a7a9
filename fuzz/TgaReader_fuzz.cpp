// The TGA reader on arbitrary bytes: it returns true or false or throws
// ImageError, and a picture it reads survives the TGA writer unchanged.
#include "FuzzSupport.h"
#include "render/TextureImage.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ScratchFile input(".tga");
    static const ScratchFile copy("-copy.tga");
    static NullGL gl;
    input.Write(data, size);

    TextureImage picture(QString(), gl);
    try {
        if (!picture.LoadFromFile(input.Name()))
            return 0;
    } catch (const ImageError&) {
        return 0;
    }
    const std::size_t bytes = static_cast<std::size_t>(picture.Width) * picture.Height * 4;
    if (!picture.Pixels || picture.PixelBytes() != bytes ||
        (picture.BitsPerPixel != 24 && picture.BitsPerPixel != 32))
        __builtin_trap();

    if (!picture.SaveToFile(copy.Name()))
        __builtin_trap();
    TextureImage again(QString(), gl);
    if (!again.LoadFromFile(copy.Name()) || again.Width != picture.Width ||
        again.Height != picture.Height || again.PixelBytes() != bytes ||
        std::memcmp(again.Pixels.get(), picture.Pixels.get(), bytes) != 0)
        __builtin_trap();
    return 0;
}
