#include "formats/AtomicFile.h"
#include "formats/BmpCodec.h"
#include "formats/GifCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PictureWriter.h"
#include "formats/PngCodec.h"
#include "render/TextureImage.h"

#include <QFileInfo>

#include <algorithm>
#include <limits>

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

} // namespace

bool TextureImage::LoadFromFile(const QString& fileName)
{
    if (!QFileInfo::exists(fileName))
        return false;
    FreeBuffers();
    const QString extension = Extension(fileName);
    if (Is(extension, ".bmp"))
        return LoadDecoded(fileName, DecodeBmp);
    if (Is(extension, ".jpg"))
        return LoadDecoded(fileName, DecodeJpeg);
    if (Is(extension, ".png"))
        return LoadDecoded(fileName, DecodePng);
    if (Is(extension, ".tga"))
        return LoadTga(fileName);
    if (Is(extension, ".gif"))
        return LoadDecoded(fileName, DecodeGif);
    return false;
}

bool TextureImage::LoadDecoded(const QString& fileName, Decoder decode)
{
    try {
        decode(fileName, [&](std::int64_t width, std::int64_t height) {
            AllocatePixels(width, height, fileName);
            return Pixels.get();
        });
    } catch (...) {
        FreeBuffers(); // never half a picture
        throw;
    }
    BitsPerPixel = 32;
    if (!Pixels || Width == 0 || Height == 0) // no row to copy
        return false;
    FillAlpha(255);
    return true;
}

bool TextureImage::LoadTga(const QString& fileName)
{
    const FileHandle file = OpenFile(fileName, "rb");
    std::uint8_t header[18];
    if (!ReadExactly(file.get(), header, sizeof header, fileName))
        return false;
    if (header[2] != 2 || header[1] != 0) // uncompressed true-colour, no colour map
        return false;
    if (header[16] != 24 && header[16] != 32)
        return false;
    BitsPerPixel = header[16];
    const std::int64_t width = header[12] | (header[13] << 8);
    const std::int64_t height = header[14] | (header[15] << 8);
    DataSize = width * height * (BitsPerPixel / 8);
    CheckImageSize(width, height, fileName);
    // The image ID, when there is one, lies between the header and the pixels;
    // reading the pixels from byte 18 regardless would shift every colour.
    std::uint8_t imageId[255];
    if (!ReadExactly(file.get(), imageId, header[0], fileName))
        return false;
    // A file shorter than its header says is refused before anything is allocated.
    if (BytesLeft(file.get()) < DataSize)
        return false;
    const auto bytes = static_cast<std::size_t>(DataSize);
    if (BitsPerPixel == 32) {
        AllocatePixels(width, height, fileName);
        if (!ReadExactly(file.get(), Pixels.get(), bytes, fileName)) {
            FreeBuffers();
            return false;
        }
        SwapRedBlue(); // blue, green, red, alpha in the file
    } else {
        const auto block = std::make_unique_for_overwrite<std::uint8_t[]>(bytes);
        if (!ReadExactly(file.get(), block.get(), bytes, fileName))
            return false;
        AllocatePixels(width, height, fileName);
        ExpandRGB(block.get(), true); // blue, green, red in the file
        FillAlpha(255);
    }
    // Descriptor bit 5: the rows start at the top. Shown bottom-up they would
    // stand on their head.
    if (header[17] & 0x20)
        FlipRows(Pixels.get(), static_cast<std::size_t>(Width) * 4, static_cast<std::size_t>(Height));
    return true;
}

bool TextureImage::SaveToFile(const QString& fileName)
{
    const QString extension = Extension(fileName);
    // The encoders refuse an empty picture the way a bitmap with no rows would.
    const bool encodable = Pixels && Width > 0 && Height > 0;
    const RgbaRows rows = RgbaRows::BottomUp(Pixels.get(), Width, Height);
    if (Is(extension, ".bmp"))
        return WriteBmp(fileName);
    if (Is(extension, ".jpg")) {
        if (encodable)
            WriteFileAtomically(fileName, EncodeJpeg(rows, Quality, fileName));
        return encodable;
    }
    if (Is(extension, ".png")) {
        if (encodable)
            WriteFileAtomically(fileName, EncodePng(rows, false, PngCompressionLevel(Quality), fileName));
        return encodable;
    }
    if (Is(extension, ".gif")) {
        if (encodable)
            EncodeGif(fileName, Pixels.get(), Width, Height);
        return encodable;
    }
    if (Is(extension, ".tga"))
        return WriteTga(fileName);
    return false;
}

bool TextureImage::WriteBmp(const QString& fileName)
{
    if (!Pixels)
        return false;
    const RgbaRows rows = RgbaRows::BottomUp(Pixels.get(), Width, Height);
    return WriteOrFalse(fileName, EncodeBmp(rows, BmpLayout::Bgra32, fileName));
}

bool TextureImage::WriteTga(const QString& fileName)
{
    if (!Pixels)
        return false;
    const RgbaRows rows = RgbaRows::BottomUp(Pixels.get(), Width, Height);
    return WriteOrFalse(fileName, EncodeTga(rows, TgaLayout::Bgra32Unannounced, fileName));
}
