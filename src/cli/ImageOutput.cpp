#include "cli/ImageOutput.h"

#include "output/ResultWriters.h"
#include "textures/ImageCodec.h"
#include "textures/JpegCodec.h"
#include "textures/LittleEndian.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <png.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <functional>
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

void WritePng(const QImage& rgba, const QString& fileName, bool keepAlpha)
{
    const QImage source = keepAlpha ? rgba : rgba.convertToFormat(QImage::Format_RGB888);
    FileHandle file = OpenFile(fileName, "wb");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(source.width());
    image.height = static_cast<png_uint_32>(source.height());
    image.format = keepAlpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    const bool written = png_image_write_to_stdio(&image, file.get(), 0, source.constBits(),
                                                  static_cast<png_int_32>(source.bytesPerLine()),
                                                  nullptr) != 0;
    const QString message = QString::fromLocal8Bit(image.message);
    png_image_free(&image);
    if (!written)
        throw FileFailure(fileName, QStringLiteral("the PNG encoder failed (%1)").arg(message));
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
