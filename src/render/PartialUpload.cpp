#include "render/PartialUpload.h"

#include <algorithm>

void PartialUpload::Follow(const BaseLevelProgress& progress, int most)
{
    const std::uint8_t* pixels = progress.Pixels();
    if (!pixels)
        return;
    const PictureSize size = progress.Size();
    if (!begun_) {
        begun_ = true;
        taken_ = texture_.BeginUploadInParts(size.Width, size.Height);
        sentFrom_ = size.Height;
    }
    Send(size, pixels, progress.Final(), most);
}

void PartialUpload::Finish(const TextureImage& picture)
{
    Send({picture.Width, picture.Height}, picture.Pixels.get(), 0, INT_MAX);
}

void PartialUpload::Send(PictureSize size, const std::uint8_t* pixels, int from, int most)
{
    if (!taken_ || from >= sentFrom_)
        return;
    from = std::max(from, sentFrom_ - most);
    const std::size_t rowBytes = static_cast<std::size_t>(size.Width) * 4;
    const auto first = static_cast<std::size_t>(from);
    texture_.UploadRows(from, sentFrom_ - from, size.Width, pixels + first * rowBytes);
    if (giveBack_)
        DiscardPictureBytes(pixels, first * rowBytes, static_cast<std::size_t>(sentFrom_) * rowBytes);
    sentFrom_ = from;
}
