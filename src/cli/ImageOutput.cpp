#include "cli/ImageOutput.h"

#include "output/ResultWriters.h"
#include "textures/ImageCodec.h"
#include "textures/JpegCodec.h"
#include "textures/LittleEndian.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <new>
#include <system_error>

namespace {

void WriteOrThrow(std::FILE* file, const void* data, std::size_t size, const QString& fileName)
{
    if (size != 0 && std::fwrite(data, 1, size, file) != size)
        throw FileFailure(fileName, QStringLiteral("cannot be written (%1)").arg(SystemReason()));
}

void CloseOrThrow(FileHandle& file, const QString& fileName)
{
    if (std::fclose(file.release()) != 0)
        throw FileFailure(fileName, QStringLiteral("cannot be written (%1)").arg(SystemReason()));
}

// Rows bottom first, as BMP and TGA keep them; `channels` 3 (BGR) or 4 (BGRA).
void WriteBgrRows(std::FILE* file, const QImage& rgba, int channels, std::size_t rowBytes,
                  const QString& fileName)
{
    std::vector<std::uint8_t> row(rowBytes, 0);
    for (int y = rgba.height() - 1; y >= 0; --y) {
        const std::uint8_t* src = rgba.constScanLine(y);
        std::uint8_t* dst = row.data();
        for (int x = 0; x < rgba.width(); ++x, src += 4, dst += channels) {
            dst[0] = src[2];
            dst[1] = src[1];
            dst[2] = src[0];
            if (channels == 4)
                dst[3] = src[3];
        }
        WriteOrThrow(file, row.data(), row.size(), fileName);
    }
}

// The same bitmap the window's "Save image as" writes.
void WriteBmp24(const QImage& rgba, const QString& fileName)
{
    const QByteArray bytes = EncodeResultBmp(rgba, fileName);
    FileHandle file = OpenFile(fileName, "wb");
    WriteOrThrow(file.get(), bytes.constData(), static_cast<std::size_t>(bytes.size()), fileName);
    CloseOrThrow(file, fileName);
}

void WriteTga(const QImage& rgba, const QString& fileName, bool keepAlpha)
{
    std::uint8_t header[18] = {};
    header[2] = 2; // uncompressed true colour
    PutU16(header + 12, static_cast<std::uint32_t>(rgba.width()));
    PutU16(header + 14, static_cast<std::uint32_t>(rgba.height()));
    header[16] = keepAlpha ? 32 : 24;
    header[17] = keepAlpha ? 8 : 0; // alpha bits; rows bottom first
    FileHandle file = OpenFile(fileName, "wb");
    WriteOrThrow(file.get(), header, sizeof header, fileName);
    const int channels = keepAlpha ? 4 : 3;
    WriteBgrRows(file.get(), rgba, channels, static_cast<std::size_t>(rgba.width()) * channels, fileName);
    CloseOrThrow(file, fileName);
}

void PutU32BE(std::uint8_t* at, std::uint32_t value)
{
    at[0] = static_cast<std::uint8_t>(value >> 24);
    at[1] = static_cast<std::uint8_t>(value >> 16);
    at[2] = static_cast<std::uint8_t>(value >> 8);
    at[3] = static_cast<std::uint8_t>(value);
}

void WriteChunk(std::FILE* file, const char* type, const std::uint8_t* data, std::size_t size,
                const QString& fileName)
{
    std::uint8_t head[8];
    PutU32BE(head, static_cast<std::uint32_t>(size));
    std::memcpy(head + 4, type, 4);
    std::uint8_t tail[4];
    std::uint32_t crc = libdeflate_crc32(0, type, 4);
    if (size != 0) // with no buffer libdeflate answers its starting value, not the sum so far
        crc = libdeflate_crc32(crc, data, size);
    PutU32BE(tail, crc);
    WriteOrThrow(file, head, sizeof head, fileName);
    WriteOrThrow(file, data, size, fileName);
    WriteOrThrow(file, tail, sizeof tail, fileName);
}

// Every row "Up" filtered (the row above the first is zeros). Rendered shots
// are smooth or flat, so the difference to the row above is mostly zero or
// small; choosing a filter per row costs more time than it saves bytes.
// Returns the filtered rows, each led by its filter type byte.
std::unique_ptr<std::uint8_t[]> UpFiltered(const QImage& rgba, int channels, std::size_t& size)
{
    const int width = rgba.width();
    const std::size_t rowBytes = static_cast<std::size_t>(width) * channels;
    size = (rowBytes + 1) * static_cast<std::size_t>(rgba.height());
    auto out = std::make_unique_for_overwrite<std::uint8_t[]>(size);
    const std::vector<std::uint8_t> zeros(static_cast<std::size_t>(width) * 4, 0);
    std::uint8_t* dst = out.get();
    for (int y = 0; y < rgba.height(); ++y, dst += rowBytes + 1) {
        const std::uint8_t* row = rgba.constScanLine(y);
        const std::uint8_t* above = y > 0 ? rgba.constScanLine(y - 1) : zeros.data();
        dst[0] = 2; // Up
        std::uint8_t* d = dst + 1;
        if (channels == 4) {
            for (std::size_t i = 0; i < rowBytes; ++i)
                d[i] = static_cast<std::uint8_t>(row[i] - above[i]);
        } else {
            for (int x = 0; x < width; ++x, d += 3, row += 4, above += 4) {
                d[0] = static_cast<std::uint8_t>(row[0] - above[0]);
                d[1] = static_cast<std::uint8_t>(row[1] - above[1]);
                d[2] = static_cast<std::uint8_t>(row[2] - above[2]);
            }
        }
    }
    return out;
}

// 8-bit RGB, or RGBA with `keepAlpha`, marked sRGB as libpng's simple writer
// marks it. libdeflate at a low level makes the file about as small as zlib's
// default level in a fraction of the time.
void WritePng(const QImage& rgba, const QString& fileName, bool keepAlpha)
{
    std::size_t filteredSize = 0;
    std::unique_ptr<std::uint8_t[]> filtered = UpFiltered(rgba, keepAlpha ? 4 : 3, filteredSize);

    const std::unique_ptr<libdeflate_compressor, decltype(&libdeflate_free_compressor)> compressor(
        libdeflate_alloc_compressor(4), &libdeflate_free_compressor);
    if (!compressor)
        throw std::bad_alloc();
    // Left uninitialised: only the pages the compressed stream reaches get touched.
    const std::size_t bound = libdeflate_zlib_compress_bound(compressor.get(), filteredSize);
    const auto compressed = std::make_unique_for_overwrite<std::uint8_t[]>(bound);
    const std::size_t compressedSize =
        libdeflate_zlib_compress(compressor.get(), filtered.get(), filteredSize, compressed.get(), bound);
    filtered.reset();
    if (compressedSize == 0)
        throw FileFailure(fileName, QStringLiteral("the PNG encoder failed (no room for the compressed picture)"));

    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::uint8_t header[13];
    PutU32BE(header, static_cast<std::uint32_t>(rgba.width()));
    PutU32BE(header + 4, static_cast<std::uint32_t>(rgba.height()));
    header[8] = 8;                    // bits per channel
    header[9] = keepAlpha ? 6 : 2;    // RGBA or RGB
    header[10] = header[11] = header[12] = 0; // deflate, adaptive filtering, no interlace
    const std::uint8_t perceptual = 0;

    FileHandle file = OpenFile(fileName, "wb");
    WriteOrThrow(file.get(), signature, sizeof signature, fileName);
    WriteChunk(file.get(), "IHDR", header, sizeof header, fileName);
    WriteChunk(file.get(), "sRGB", &perceptual, 1, fileName);
    // A chunk's length must stay below 2^31; smaller pieces also suit streaming readers.
    constexpr std::size_t MaxIdat = std::size_t{1} << 20;
    for (std::size_t at = 0; at < compressedSize; at += MaxIdat)
        WriteChunk(file.get(), "IDAT", compressed.get() + at, std::min(MaxIdat, compressedSize - at), fileName);
    WriteChunk(file.get(), "IEND", nullptr, 0, fileName);
    CloseOrThrow(file, fileName);
}

void WriteJpeg(const QImage& rgba, const QString& fileName, int quality)
{
    // The encoder takes the bottom row first.
    const QImage flipped = rgba.convertToFormat(QImage::Format_RGBA8888).mirrored(false, true);
    EncodeJpeg(fileName, flipped.constBits(), flipped.width(), flipped.height(), quality);
}

// A name beside the target that no other run uses at the same time.
QString TemporaryName(const QString& fileName)
{
    static std::atomic<int> counter{0};
    const QFileInfo info(fileName);
    return info.dir().filePath(QStringLiteral(".%1.%2-%3.part")
                                   .arg(info.fileName())
                                   .arg(QCoreApplication::applicationPid())
                                   .arg(counter++));
}

void WriteThroughTemporary(const QString& fileName, const std::function<void(const QString&)>& write)
{
    const QFileInfo target(fileName);
    if (target.isDir())
        throw BadInput(QStringLiteral("%1: is a folder").arg(fileName));
    if (!target.dir().exists())
        throw BadInput(QStringLiteral("%1: the folder does not exist").arg(fileName));
    const QString temporary = TemporaryName(fileName);
    const auto fail = [&](const QString& text) {
        QFile::remove(temporary);
        // The reason is the same for the final name; the temporary one means nothing to the user.
        QString shown = text;
        shown.replace(QDir::toNativeSeparators(temporary), QDir::toNativeSeparators(fileName));
        return BadInput(shown);
    };
    try {
        write(temporary);
    } catch (const ImageError& e) {
        throw fail(QString::fromStdString(e.what()));
    } catch (const std::bad_alloc&) {
        throw fail(QStringLiteral("%1: not enough memory to write the picture").arg(fileName));
    }
    std::error_code error;
    std::filesystem::rename(std::filesystem::path(QFile::encodeName(temporary).toStdString()),
                            std::filesystem::path(QFile::encodeName(fileName).toStdString()), error);
    if (error)
        throw fail(QStringLiteral("%1: cannot be written (%2)")
                       .arg(fileName, QString::fromLocal8Bit(error.message().c_str())));
}

} // namespace

void WritePicture(const QImage& picture, const QString& fileName, OutputFormat format, int quality,
                  bool keepAlpha)
{
    const QImage rgba = picture.convertToFormat(QImage::Format_RGBA8888);
    if (rgba.isNull())
        throw BadInput(QStringLiteral("%1: not enough memory to write the picture").arg(fileName));
    WriteThroughTemporary(fileName, [&](const QString& path) {
        switch (format) {
        case OutputFormat::Jpeg: WriteJpeg(rgba, path, quality); break;
        case OutputFormat::Png: WritePng(rgba, path, keepAlpha); break;
        case OutputFormat::Bmp: WriteBmp24(rgba, path); break;
        case OutputFormat::Tga: WriteTga(rgba, path, keepAlpha); break;
        }
    });
}
