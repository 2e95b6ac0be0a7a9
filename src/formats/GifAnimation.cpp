#include "formats/GifAnimation.h"

#include "formats/PaletteDither.h"

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>
#include <vector>

namespace {

ImageError Failure(const QString& what, int code)
{
    const char* text = GifErrorString(code);
    return FileFailure(what, QStringLiteral("the GIF animation could not be made (%1)")
                                 .arg(text ? QString::fromLatin1(text) : QStringLiteral("error %1").arg(code)));
}

int Append(GifFileType* gif, const GifByteType* bytes, int count)
{
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), count);
    return count;
}

struct MapFree {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

} // namespace

struct GifAnimation::Encoder {
    QString What;
    int Width = 0;
    int Height = 0;
    QByteArray Bytes;
    GifFileType* Gif = nullptr;

    void Check(int result) const
    {
        if (result == GIF_ERROR)
            throw Failure(What, Gif->Error);
    }
};

GifAnimation::GifAnimation(int width, int height, const QString& what) : encoder_(std::make_unique<Encoder>())
{
    Encoder& e = *encoder_;
    e.What = what;
    e.Width = width;
    e.Height = height;
    int error = E_GIF_SUCCEEDED;
    e.Gif = EGifOpen(&e.Bytes, Append, &error);
    if (!e.Gif)
        throw Failure(what, error);
    EGifSetGifVersion(e.Gif, true);
    // No screen palette: each frame brings its own.
    e.Check(EGifPutScreenDesc(e.Gif, width, height, 8, 0, nullptr));
    // Loop count 0: endlessly.
    static const GifByteType application[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    static const GifByteType loop[] = {1, 0, 0};
    e.Check(EGifPutExtensionLeader(e.Gif, APPLICATION_EXT_FUNC_CODE));
    e.Check(EGifPutExtensionBlock(e.Gif, sizeof application, application));
    e.Check(EGifPutExtensionBlock(e.Gif, sizeof loop, loop));
    e.Check(EGifPutExtensionTrailer(e.Gif));
}

GifAnimation::~GifAnimation()
{
    if (encoder_ && encoder_->Gif)
        EGifCloseFile(encoder_->Gif, nullptr);
}

void GifAnimation::AddFrame(const RgbaRows& picture, int delay)
{
    Encoder& e = *encoder_;
    if (!e.Gif || picture.Width != e.Width || picture.Height != e.Height)
        throw FileFailure(e.What, QStringLiteral("every frame of a GIF animation must be %1 x %2 pixels")
                                      .arg(e.Width)
                                      .arg(e.Height));
    if (e.Width <= 0 || e.Height <= 0)
        throw FileFailure(e.What, QStringLiteral("a GIF frame needs at least one pixel"));
    IndexedPicture frame = ReduceTo256Colours(picture); // giflib may mask the indexes in place
    // A colour table holds a power of two colours, at least two.
    std::array<GifColorType, 256> colours{};
    for (std::size_t i = 0; i < frame.Colours.size(); ++i)
        colours[i] = {frame.Colours[i][0], frame.Colours[i][1], frame.Colours[i][2]};
    const int tableSize = 1 << GifBitSize(static_cast<int>(frame.Colours.size()));
    const std::unique_ptr<ColorMapObject, MapFree> map(GifMakeMapObject(tableSize, colours.data()));
    if (!map)
        throw Failure(e.What, E_GIF_ERR_NOT_ENOUGH_MEM);

    // Whole frames: what the last one left behind never shows.
    GraphicsControlBlock control{DISPOSE_DO_NOT, false, std::clamp(delay, 0, 65535), NO_TRANSPARENT_COLOR};
    GifByteType extension[4];
    const auto length = static_cast<int>(EGifGCBToExtension(&control, extension));
    e.Check(EGifPutExtension(e.Gif, GRAPHICS_EXT_FUNC_CODE, length, extension));
    e.Check(EGifPutImageDesc(e.Gif, 0, 0, e.Width, e.Height, false, map.get()));
    for (int y = 0; y < e.Height; ++y)
        e.Check(EGifPutLine(e.Gif, frame.Indexes.data() + static_cast<std::size_t>(y) * e.Width,
                            e.Width));
}

QByteArray GifAnimation::Finish()
{
    Encoder& e = *encoder_;
    int error = E_GIF_SUCCEEDED;
    GifFileType* gif = std::exchange(e.Gif, nullptr);
    if (!gif || EGifCloseFile(gif, &error) == GIF_ERROR)
        throw Failure(e.What, gif ? error : E_GIF_ERR_CLOSE_FAILED);
    return std::move(e.Bytes);
}

std::vector<int> GifFrameDelays(int frames, double fps)
{
    std::vector<int> delays;
    long long shown = 0; // hundredths up to the end of the previous frame
    for (int k = 0; k < frames; ++k) {
        const long long end = std::llround(100.0 * (k + 1) / fps);
        delays.push_back(static_cast<int>(end - shown));
        shown = end;
    }
    return delays;
}
