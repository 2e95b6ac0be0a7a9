#include "formats/JpegCodec.h"

#include "formats/ColourProfile.h"

#include <turbojpeg.h>

namespace {

struct HandleCloser {
    void operator()(void* handle) const { tjDestroy(handle); }
};
using TjHandle = std::unique_ptr<void, HandleCloser>;

ImageError JpegFailure(const QString& fileName, void* handle)
{
    return FileFailure(fileName, QStringLiteral("the JPEG data is damaged or not supported (%1)")
                                     .arg(QString::fromLocal8Bit(tjGetErrorStr2(handle))));
}

// TurboJPEG hands CMYK over as stored; the files that carry it (Adobe's) store
// the inks inverted, so each colour is its ink value scaled by the black one.
void CmykToRgba(std::uint8_t* pixels, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i, pixels += 4) {
        const unsigned k = pixels[3];
        pixels[0] = static_cast<std::uint8_t>(pixels[0] * k / 255);
        pixels[1] = static_cast<std::uint8_t>(pixels[1] * k / 255);
        pixels[2] = static_cast<std::uint8_t>(pixels[2] * k / 255);
        pixels[3] = 255;
    }
}

} // namespace

void DecodeJpeg(const QString& fileName, const AllocateRgba& allocate)
{
    const std::vector<std::uint8_t> data = ReadWholeFile(fileName);
    const TjHandle handle(tjInitDecompress());
    if (!handle)
        throw JpegFailure(fileName, nullptr);
    int width = 0, height = 0, subsampling = 0, colorspace = 0;
    if (tjDecompressHeader3(handle.get(), data.data(), static_cast<unsigned long>(data.size()),
                            &width, &height, &subsampling, &colorspace) != 0)
        throw JpegFailure(fileName, handle.get());
    std::uint8_t* out = allocate(width, height);
    const bool cmyk = colorspace == TJCS_CMYK || colorspace == TJCS_YCCK;
    // Limiting the scans stops crafted progressive files from taking minutes.
    const int flags = TJFLAG_BOTTOMUP | TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
    if (tjDecompress2(handle.get(), data.data(), static_cast<unsigned long>(data.size()), out,
                      width, 0, height, cmyk ? TJPF_CMYK : TJPF_RGBA, flags) != 0)
        throw JpegFailure(fileName, handle.get());
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    bool adobe = false;
    const std::vector<std::uint8_t> profile = JpegProfile(data.data(), data.size(), &adobe);
    using Input = SrgbConversion::Input;
    if (const auto toSrgb = SrgbConversion::For(profile, cmyk ? (adobe ? Input::InvertedCmyk : Input::Cmyk) : Input::Rgba))
        toSrgb->Convert(out, count);
    else if (cmyk)
        CmykToRgba(out, count);
}
