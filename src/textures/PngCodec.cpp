#include "textures/PngCodec.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace {

struct ImageFree {
    void operator()(png_image* image) const { png_image_free(image); }
};

// What a failed write leaves behind for the C++ side to report.
struct PngWriteFailure {
    char message[256];
};

void StoreErrorAndJump(png_structp png, png_const_charp message)
{
    auto* failure = static_cast<PngWriteFailure*>(png_get_error_ptr(png));
    std::snprintf(failure->message, sizeof failure->message, "%s", message);
    png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// libpng reports write errors by longjmp back to the setjmp below. Nothing
// with a destructor may live in this frame or in anything libpng calls back,
// so the caller owns the file and the row table.
bool WritePngRows(std::FILE* file, png_bytepp rows, png_uint_32 width, png_uint_32 height,
                  int level, PngWriteFailure* failure)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, failure, StoreErrorAndJump,
                                              IgnoreWarning);
    if (png == nullptr) {
        std::snprintf(failure->message, sizeof failure->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(failure->message, sizeof failure->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, level);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_set_filler(png, 0, PNG_FILLER_AFTER); // the rows carry a fourth byte to drop
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

} // namespace

void DecodePng(const QString& fileName, const AllocateRgba& allocate)
{
    const FileHandle file = OpenFile(fileName, "rb");
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    const std::unique_ptr<png_image, ImageFree> release(&image);
    const auto failed = [&] { return (image.warning_or_error & PNG_IMAGE_ERROR) != 0; };
    const auto damaged = [&] {
        return FileFailure(fileName, QStringLiteral("the PNG data is damaged or not supported (%1)")
                                         .arg(QString::fromLocal8Bit(image.message)));
    };
    if (!png_image_begin_read_from_stdio(&image, file.get()) || failed())
        throw damaged();
    std::uint8_t* out = allocate(image.width, image.height);
    image.format = PNG_FORMAT_RGBA;
    // A negative stride puts the bottom row first.
    const auto stride = -static_cast<png_int_32>(PNG_IMAGE_ROW_STRIDE(image));
    if (!png_image_finish_read(&image, nullptr, out, stride, nullptr) || failed())
        throw damaged();
}

void EncodePng(const QString& fileName, const std::uint8_t* rgba, int width, int height,
               int level)
{
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
    for (int y = 0; y < height; ++y) // the file's first row is the top one
        rows[static_cast<std::size_t>(y)] =
            const_cast<png_bytep>(rgba + static_cast<std::size_t>(height - 1 - y) * rowBytes);
    FileHandle file = OpenFile(fileName, "wb");
    PngWriteFailure failure{};
    const bool written = WritePngRows(file.get(), rows.data(), static_cast<png_uint_32>(width),
                                      static_cast<png_uint_32>(height), level, &failure);
    const bool closed = std::fclose(file.release()) == 0;
    if (!written)
        throw FileFailure(fileName, QStringLiteral("the PNG encoder failed (%1)")
                                        .arg(QString::fromLocal8Bit(failure.message)));
    if (!closed)
        throw FileFailure(fileName, QStringLiteral("cannot be written (%1)").arg(SystemReason()));
}
