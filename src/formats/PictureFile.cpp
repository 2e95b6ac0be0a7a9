#include "formats/PictureFile.h"

#include "formats/AtomicFile.h"
#include "formats/BmpCodec.h"
#include "formats/GifCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PictureWriter.h"
#include "formats/PngCodec.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <limits>
#include <memory>

namespace {

// The text from the last "." on, dot included; empty without one.
QString Extension(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot);
}

bool Is(const QString& extension, const char* wanted)
{
    return extension.compare(QLatin1String(wanted), Qt::CaseInsensitive) == 0;
}

// False when the file ends first; ImageError when reading fails.
bool ReadExactly(std::FILE* file, void* to, std::size_t count, const QString& fileName)
{
    if (std::fread(to, 1, count, file) == count)
        return true;
    if (std::ferror(file))
        throw FileFailure(fileName, QStringLiteral("cannot be read (%1)").arg(SystemReason()));
    return false;
}

// Bytes between the read position and the end, or the most there is when the
// file cannot tell (a pipe).
std::int64_t BytesLeft(std::FILE* file)
{
    const long at = std::ftell(file);
    if (at < 0 || std::fseek(file, 0, SEEK_END) != 0)
        return std::numeric_limits<std::int64_t>::max();
    const long end = std::ftell(file);
    std::fseek(file, at, SEEK_SET);
    return end < at ? 0 : end - at;
}

void FlipRows(std::uint8_t* pixels, std::size_t rowBytes, std::size_t rows)
{
    for (std::size_t top = 0, bottom = rows; top + 1 < bottom; ++top, --bottom)
        std::swap_ranges(pixels + top * rowBytes, pixels + (top + 1) * rowBytes,
                         pixels + (bottom - 1) * rowBytes);
}

// A bitmap or Targa that could not be written out answers false, as it
// always did; a file that cannot be made throws.
bool WriteOrFalse(const QString& fileName, const QByteArray& bytes)
{
    try {
        WriteFileAtomically(fileName, bytes);
    } catch (const FileWriteError& e) {
        using Step = FileWriteError::Step;
        if (e.FailedStep() == Step::Write || e.FailedStep() == Step::Replace)
            return false;
        throw;
    }
    return true;
}

bool ReadDecoded(const QString& fileName, PictureDecoder decode, RgbaPicture& picture)
{
    DecodeIntoPicture(fileName, decode, picture);
    if (!picture.Pixels || picture.Width == 0 || picture.Height == 0) // no row to copy
        return false;
    picture.FillAlpha(255);
    return true;
}

// Uncompressed true colour only, as this reader always was; covers go
// through the Targa decoder, which reads every common kind.
bool ReadTga(const QString& fileName, RgbaPicture& picture, int& bitsPerPixel)
{
    const FileHandle file = OpenFile(fileName, "rb");
    std::uint8_t header[18];
    if (!ReadExactly(file.get(), header, sizeof header, fileName))
        return false;
    if (header[2] != 2 || header[1] != 0) // uncompressed true-colour, no colour map
        return false;
    if (header[16] != 24 && header[16] != 32)
        return false;
    bitsPerPixel = header[16];
    const std::int64_t width = header[12] | (header[13] << 8);
    const std::int64_t height = header[14] | (header[15] << 8);
    // 64-bit: 65535 x 65535 x 4 would wrap in 32.
    const std::int64_t dataSize = width * height * (bitsPerPixel / 8);
    CheckImageSize(width, height, fileName);
    // The image ID, when there is one, lies between the header and the pixels;
    // reading the pixels from byte 18 regardless would shift every colour.
    std::uint8_t imageId[255];
    if (!ReadExactly(file.get(), imageId, header[0], fileName))
        return false;
    // A file shorter than its header says is refused before anything is allocated.
    if (BytesLeft(file.get()) < dataSize)
        return false;
    const auto bytes = static_cast<std::size_t>(dataSize);
    if (bitsPerPixel == 32) {
        picture.AllocatePixels(width, height, fileName);
        if (!ReadExactly(file.get(), picture.Pixels.get(), bytes, fileName)) {
            picture.FreePixels();
            return false;
        }
        picture.SwapRedBlue(); // blue, green, red, alpha in the file
    } else {
        const auto block = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
        if (!ReadExactly(file.get(), block.get(), bytes, fileName))
            return false;
        picture.AllocatePixels(width, height, fileName);
        picture.ExpandRGB(block.get(), true); // blue, green, red in the file
        picture.FillAlpha(255);
    }
    // Descriptor bit 5: the rows start at the top. Shown bottom-up they would
    // stand on their head.
    if (header[17] & 0x20)
        FlipRows(picture.Pixels.get(), static_cast<std::size_t>(picture.Width) * 4,
                 static_cast<std::size_t>(picture.Height));
    return true;
}

} // namespace

void DecodeIntoPicture(const QString& fileName, PictureDecoder decode, RgbaPicture& picture)
{
    try {
        decode(fileName, [&](std::int64_t width, std::int64_t height) {
            picture.AllocatePixels(width, height, fileName);
            return picture.Pixels.get();
        });
    } catch (...) {
        picture.FreePixels();
        throw;
    }
}

bool ReadPictureFile(const QString& fileName, RgbaPicture& picture, int* bitsPerPixel)
{
    if (!QFileInfo::exists(fileName))
        return false;
    picture.FreePixels();
    int depth = 32;
    bool read = false;
    const QString extension = Extension(fileName);
    if (Is(extension, ".bmp"))
        read = ReadDecoded(fileName, DecodeBmp, picture);
    else if (Is(extension, ".jpg"))
        read = ReadDecoded(fileName, DecodeJpeg, picture);
    else if (Is(extension, ".png"))
        read = ReadDecoded(fileName, DecodePng, picture);
    else if (Is(extension, ".tga"))
        read = ReadTga(fileName, picture, depth);
    else if (Is(extension, ".gif"))
        read = ReadDecoded(fileName, DecodeGif, picture);
    if (bitsPerPixel)
        *bitsPerPixel = depth;
    return read;
}

bool WritePictureFile(const RgbaPicture& picture, const QString& fileName, int quality)
{
    quality = std::clamp(quality, 1, 100);
    const QString extension = Extension(fileName);
    // The encoders refuse an empty picture the way a bitmap with no rows would.
    const bool encodable = picture.Pixels && picture.Width > 0 && picture.Height > 0;
    const RgbaRows rows = RgbaRows::BottomUp(picture.Pixels.get(), picture.Width, picture.Height);
    if (Is(extension, ".bmp"))
        return picture.Pixels && WriteOrFalse(fileName, EncodeBmp(rows, BmpLayout::Bgra32, fileName));
    if (Is(extension, ".jpg")) {
        if (encodable)
            WriteFileAtomically(fileName, EncodeJpeg(rows, quality, fileName));
        return encodable;
    }
    if (Is(extension, ".png")) {
        if (encodable)
            WriteFileAtomically(fileName, EncodePng(rows, false, PngCompressionLevel(quality), fileName));
        return encodable;
    }
    if (Is(extension, ".gif")) {
        if (encodable)
            EncodeGif(fileName, picture.Pixels.get(), picture.Width, picture.Height);
        return encodable;
    }
    if (Is(extension, ".tga"))
        return picture.Pixels && WriteOrFalse(fileName, EncodeTga(rows, TgaLayout::Bgra32Unannounced, fileName));
    return false;
}
