// Every reader on arbitrary bytes. The first byte picks the file's extension,
// the rest is the file. A load gives true or false or throws ImageError; a
// decoded picture is complete and opaque.
#include "FuzzSupport.h"
#include "formats/PictureFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const ScratchFile files[] = {ScratchFile(".bmp"), ScratchFile(".jpg"),
                                        ScratchFile(".png"), ScratchFile(".gif"),
                                        ScratchFile(".tga")};
    if (size == 0)
        return 0;
    const std::size_t kind = data[0] % 5;
    const ScratchFile& file = files[kind];
    file.Write(data + 1, size - 1);

    RgbaPicture picture;
    bool loaded = false;
    try {
        loaded = ReadPictureFile(file.Name(), picture);
    } catch (const ImageError&) {
        if (picture.Pixels) // a failed decode leaves no half picture behind
            __builtin_trap();
        return 0;
    }
    if (!loaded)
        return 0;
    const std::size_t bytes = static_cast<std::size_t>(picture.Width) * picture.Height * 4;
    if (!picture.Pixels || picture.PixelBytes() != bytes)
        __builtin_trap();
    if (kind != 4) // TGA keeps its alpha
        for (std::size_t i = 3; i < bytes; i += 4)
            if (picture.Pixels[i] != 255)
                __builtin_trap();
    return 0;
}
