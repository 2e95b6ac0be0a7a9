#include "formats/GifCodec.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>

namespace {

ImageError GifFailure(const QString& fileName, int code)
{
    const char* text = GifErrorString(code);
    return FileFailure(fileName, QStringLiteral("the GIF data is damaged or not supported (%1)")
                                     .arg(text ? QString::fromLatin1(text)
                                               : QStringLiteral("error %1").arg(code)));
}

// The file stays ours: giflib reads and writes it through these, so it is
// closed on every path whatever giflib does.
int ReadFromFile(GifFileType* gif, GifByteType* bytes, int count)
{
    return static_cast<int>(
        std::fread(bytes, 1, static_cast<std::size_t>(count), static_cast<std::FILE*>(gif->UserData)));
}

int WriteToFile(GifFileType* gif, const GifByteType* bytes, int count)
{
    return static_cast<int>(std::fwrite(bytes, 1, static_cast<std::size_t>(count),
                                        static_cast<std::FILE*>(gif->UserData)));
}

struct DecoderClose {
    void operator()(GifFileType* gif) const { DGifCloseFile(gif, nullptr); }
};
struct EncoderClose {
    void operator()(GifFileType* gif) const { EGifCloseFile(gif, nullptr); }
};
struct MapFree {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

using Rgba = std::array<std::uint8_t, 4>;

Rgba ColourAt(const ColorMapObject* map, int index)
{
    if (map == nullptr || index < 0 || index >= map->ColorCount)
        return {0, 0, 0, 255};
    const GifColorType& c = map->Colors[index];
    return {c.Red, c.Green, c.Blue, 255};
}

void SkipExtension(GifFileType* gif, const QString& fileName)
{
    int code = 0;
    GifByteType* block = nullptr;
    if (DGifGetExtension(gif, &code, &block) == GIF_ERROR)
        throw GifFailure(fileName, gif->Error);
    while (block != nullptr)
        if (DGifGetExtensionNext(gif, &block) == GIF_ERROR)
            throw GifFailure(fileName, gif->Error);
}

// The picture whose descriptor was just read, drawn onto its screen.
void DecodeFrame(GifFileType* gif, const QString& fileName, const AllocateRgba& allocate)
{
    const GifImageDesc& frame = gif->Image;
    const ColorMapObject* map = frame.ColorMap ? frame.ColorMap : gif->SColorMap;
    if (map == nullptr)
        throw FileFailure(fileName, QStringLiteral("the GIF picture has no colour table"));
    const std::int64_t width = std::max<std::int64_t>(gif->SWidth, frame.Left + frame.Width);
    const std::int64_t height = std::max<std::int64_t>(gif->SHeight, frame.Top + frame.Height);
    std::uint8_t* out = allocate(width, height);
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    const auto row = [&](std::int64_t y) { // y counts from the top
        return out + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    };

    const Rgba background = ColourAt(gif->SColorMap, gif->SBackGroundColor);
    for (std::size_t i = 0; i < static_cast<std::size_t>(width * height); ++i)
        std::copy(background.begin(), background.end(), out + i * 4);
    if (frame.Width <= 0 || frame.Height <= 0)
        return;

    std::array<Rgba, 256> palette;
    for (int i = 0; i < 256; ++i)
        palette[static_cast<std::size_t>(i)] = ColourAt(map, i);
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    const auto readLine = [&](int y) {
        if (DGifGetLine(gif, line.data(), frame.Width) == GIF_ERROR)
            throw GifFailure(fileName, gif->Error);
        std::uint8_t* dst = row(frame.Top + y) + static_cast<std::size_t>(frame.Left) * 4;
        for (const GifPixelType index : line) {
            std::copy(palette[index].begin(), palette[index].end(), dst);
            dst += 4;
        }
    };
    if (frame.Interlace) {
        constexpr int start[] = {0, 4, 2, 1};
        constexpr int step[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass)
            for (int y = start[pass]; y < frame.Height; y += step[pass])
                readLine(y);
    } else {
        for (int y = 0; y < frame.Height; ++y)
            readLine(y);
    }
}

} // namespace

void DecodeGif(const QString& fileName, const AllocateRgba& allocate)
{
    const FileHandle file = OpenFile(fileName, "rb");
    int error = D_GIF_SUCCEEDED;
    const std::unique_ptr<GifFileType, DecoderClose> gif(DGifOpen(file.get(), ReadFromFile, &error));
    if (!gif)
        throw GifFailure(fileName, error);
    // Record by record up to the first picture: only its size is known before
    // its pixels, so it can be refused before anything large is allocated.
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR)
            throw GifFailure(fileName, gif->Error);
        if (type == EXTENSION_RECORD_TYPE) {
            SkipExtension(gif.get(), fileName);
        } else if (type == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR)
                throw GifFailure(fileName, gif->Error);
            DecodeFrame(gif.get(), fileName, allocate);
            return;
        } else {
            throw FileFailure(fileName, QStringLiteral("the GIF file holds no picture"));
        }
    }
}

void EncodeGif(const QString& fileName, const std::uint8_t* rgba, int width, int height)
{
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    std::vector<GifByteType> indexes(count);
    std::array<GifColorType, 256> colours{};
    {
        std::vector<GifByteType> red(count), green(count), blue(count);
        const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
        std::size_t i = 0;
        for (int y = height - 1; y >= 0; --y) { // top row first
            const std::uint8_t* src = rgba + static_cast<std::size_t>(y) * rowBytes;
            for (int x = 0; x < width; ++x, ++i, src += 4) {
                red[i] = src[0];
                green[i] = src[1];
                blue[i] = src[2];
            }
        }
        int size = 256;
        if (GifQuantizeBuffer(static_cast<unsigned>(width), static_cast<unsigned>(height), &size,
                              red.data(), green.data(), blue.data(), indexes.data(),
                              colours.data()) == GIF_ERROR)
            throw FileFailure(fileName, QStringLiteral("the GIF palette could not be made"));
    }
    const std::unique_ptr<ColorMapObject, MapFree> map(GifMakeMapObject(256, colours.data()));
    if (!map)
        throw GifFailure(fileName, E_GIF_ERR_NOT_ENOUGH_MEM);
    const int background = indexes.empty() ? 0 : indexes[0];

    FileHandle file = OpenFile(fileName, "wb");
    int error = E_GIF_SUCCEEDED;
    std::unique_ptr<GifFileType, EncoderClose> gif(EGifOpen(file.get(), WriteToFile, &error));
    if (!gif)
        throw GifFailure(fileName, error);
    const auto check = [&](int result) {
        if (result == GIF_ERROR)
            throw GifFailure(fileName, gif->Error);
    };
    EGifSetGifVersion(gif.get(), true);
    check(EGifPutScreenDesc(gif.get(), width, height, 8, background, map.get()));
    GraphicsControlBlock control{DISPOSAL_UNSPECIFIED, false, 0, background};
    GifByteType extension[4];
    const auto length = static_cast<int>(EGifGCBToExtension(&control, extension));
    check(EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, length, extension));
    check(EGifPutImageDesc(gif.get(), 0, 0, width, height, false, nullptr));
    for (int y = 0; y < height; ++y)
        check(EGifPutLine(gif.get(), indexes.data() + static_cast<std::size_t>(y) * width, width));
    error = E_GIF_SUCCEEDED;
    if (EGifCloseFile(gif.release(), &error) == GIF_ERROR)
        throw GifFailure(fileName, error);
    if (std::fclose(file.release()) != 0)
        throw FileFailure(fileName, QStringLiteral("cannot be written (%1)").arg(SystemReason()));
}
