#include "formats/PngCodec.h"

#include "formats/ColourProfile.h"

#include <png.h>

#include <cstring>

namespace {

struct ImageFree {
    void operator()(png_image* image) const { png_image_free(image); }
};

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
    if (const auto toSrgb = SrgbConversion::For(PngProfile(fileName), SrgbConversion::Input::Rgba))
        toSrgb->Convert(out, static_cast<std::size_t>(image.width) * image.height);
}
