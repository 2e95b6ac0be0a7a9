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
    Send(size, pixels, progress.Final(), most, [&](int row) { return progress.Row(row); });
    if (taken_)
        progress.SentFrom(sentFrom_);
}

void PartialUpload::BeginWith(GLuint name, PictureSize size)
{
    texture_.AdoptEmptyTexture(name);
    begun_ = taken_ = true;
    sentFrom_ = size.Height;
}

void PartialUpload::Finish(const RgbaPicture& picture)
{
    const std::size_t rowBytes = static_cast<std::size_t>(picture.Width) * 4;
    const std::uint8_t* pixels = picture.Pixels.get();
    Send({picture.Width, picture.Height}, pixels, 0, INT_MAX,
         [&](int row) { return pixels + static_cast<std::size_t>(row) * rowBytes; });
}

template <typename RowAt>
void PartialUpload::Send(PictureSize size, const std::uint8_t* pixels, int from, int most, const RowAt& rowAt)
{
    if (!taken_ || from >= sentFrom_)
        return;
    from = std::max(from, sentFrom_ - most);
    const std::size_t rowBytes = static_cast<std::size_t>(size.Width) * 4;
    // One call for each run of rows that lie one after another in memory.
    for (int first = from; first < sentFrom_;) {
        const std::uint8_t* start = rowAt(first);
        int end = first + 1;
        while (end < sentFrom_ && rowAt(end) == start + static_cast<std::size_t>(end - first) * rowBytes)
            ++end;
        texture_.UploadRows(first, end - first, size.Width, start);
        first = end;
    }
    if (giveBack_)
        DiscardPictureBytes(pixels, static_cast<std::size_t>(from) * rowBytes,
                            static_cast<std::size_t>(sentFrom_) * rowBytes);
    sentFrom_ = from;
}
