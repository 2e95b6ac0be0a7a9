#include "render/CoverImage.h"

#include "document/Numbers.h"
#include "formats/BmpCodec.h"
#include "formats/GifCodec.h"
#include "formats/JpegCodec.h"
#include "formats/PictureFile.h"
#include "formats/PictureKind.h"
#include "formats/PngCodec.h"
#include "formats/TgaCodec.h"
#include "render/JpegBaseLevel.h"
#include "render/Thumbnail.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <new>
#include <optional>

QSize PlaceholderSize(int slot)
{
    switch (slot) {
    case FrontBack: return {80, 100};
    case LeftRight: return {20, 100};
    case TopBottom: return {100, 20};
    default: return {40, 40}; // an own side picture not chosen: its pair shows
    }
}

QRgb PlaceholderColor(int slot)
{
    switch (slot) {
    case FrontBack: return qRgb(255, 185, 151);
    case LeftRight: return qRgb(150, 203, 203);
    case TopBottom: return qRgb(168, 255, 168);
    default: return qRgb(212, 208, 200);
    }
}

void ResetCoverImages(CoverImages& slots)
{
    for (int i = 0; i < CoverSlotCount; ++i) {
        CoverImage& slot = slots[static_cast<std::size_t>(i)];
        slot.Thumbnail = QImage(PlaceholderSize(i), QImage::Format_RGB888);
        slot.Thumbnail.fill(QColor(PlaceholderColor(i)));
    }
}

QString CoverFile(const QString& path, const QString& folder)
{
    if (path.isEmpty() || folder.isEmpty() || QFileInfo(path).isAbsolute())
        return path;
    return QDir::toNativeSeparators(QDir(folder).absoluteFilePath(path));
}

QSize ThumbnailFit(QSize picture, QSize preview)
{
    const double w = picture.width(), h = picture.height();
    const double W = preview.width(), H = preview.height();
    if (w <= 0 || h <= 0 || W <= 0 || H <= 0)
        return {};
    // A very narrow or flat picture would round to no pixels at all; it keeps one.
    const auto side = [](double v) { return static_cast<int>(std::max<long long>(1, RoundHalfEven(v))); };
    if (h / H >= w / W)
        return {side(w * H / h), preview.height()};
    return {preview.width(), side(h * W / w)};
}

bool IsCoverImageFile(const QString& fileName)
{
    return CoverPictureKind(fileName) != PictureKind::Unknown;
}

namespace {

// Transparent parts show white, as on paper, not the black their colour
// channels often hold. Opaque pixels keep their bytes exactly.
void LayOverWhite(RgbaPicture& picture)
{
    if (!picture.Pixels)
        return;
    std::uint8_t* p = picture.Pixels.get();
    const std::size_t count = static_cast<std::size_t>(picture.Width) * static_cast<std::size_t>(picture.Height);
    for (std::size_t i = 0; i < count; ++i, p += 4) {
        const unsigned a = p[3];
        if (a == 255)
            continue;
        for (int c = 0; c < 3; ++c)
            p[c] = static_cast<std::uint8_t>((p[c] * a + 255 * (255 - a) + 127) / 255);
        p[3] = 255;
    }
}

// The whole picture, opaque, read as its content says whatever its name
// says. A Targa goes through the cover reader, which knows every common
// kind; the plain picture files' own Targa reader stays as narrow as it
// always was.
bool LoadCoverPicture(RgbaPicture& picture, const QString& fileName)
{
    PictureDecoder decode = nullptr;
    const PictureKind kind = CoverPictureKind(fileName);
    switch (kind) {
    case PictureKind::Jpeg: decode = DecodeJpeg; break;
    case PictureKind::Png: decode = DecodePng; break;
    case PictureKind::Gif: decode = DecodeGif; break;
    case PictureKind::Bmp: decode = DecodeBmp; break;
    case PictureKind::Tga: decode = DecodeTga; break;
    case PictureKind::Unknown: return false;
    }
    picture.FreePixels();
    DecodeIntoPicture(fileName, decode, picture);
    // No row to copy; a Targa's empty picture is told apart later, as before.
    if (kind != PictureKind::Tga && (!picture.Pixels || picture.Width == 0 || picture.Height == 0))
        return false;
    // A cover is opaque. PNG and Targa readers give a real alpha (255 where
    // the file has none); the bitmap reader leaves it undefined.
    if (kind == PictureKind::Png || kind == PictureKind::Tga)
        LayOverWhite(picture);
    else
        picture.FillAlpha(255);
    return true;
}

// Whether the file is one to read as a cover: false for a missing file or
// another kind. An empty one is said to be so, once for every way a cover is
// read, rather than by a decoder's complaint about its missing header.
bool IsCoverToRead(const QString& fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile() || !IsCoverImageFile(fileName))
        return false;
    if (info.size() == 0)
        throw FileFailure(fileName, QStringLiteral("empty file"));
    return true;
}

} // namespace

bool ReadImageToBitmap(const QString& fileName, QImage& bitmap)
{
    if (!IsCoverToRead(fileName))
        return false;
    RgbaPicture decoded;
    if (!LoadCoverPicture(decoded, fileName))
        return false;
    bitmap = UprightImage(decoded).convertToFormat(QImage::Format_RGB888);
    return true;
}

bool ReadCoverPicture(const QString& fileName, RgbaPicture& picture)
{
    if (!IsCoverToRead(fileName))
        return false;
    RgbaPicture decoded;
    if (!LoadCoverPicture(decoded, fileName) || !decoded.Pixels || decoded.Width <= 0 || decoded.Height <= 0)
        throw ImageError(QStringLiteral("%1: the picture has no pixels").arg(fileName).toStdString());
    picture = std::move(decoded);
    return true;
}

std::optional<DecodedCover> DecodeCoverImage(const QString& fileName, QSize previewSize,
                                             int maxTextureSize, BaseLevelProgress* progress)
{
    if (!IsCoverToRead(fileName))
        return std::nullopt;
    auto decoded = std::make_unique<RgbaPicture>();
    QSize original;
    // A JPEG whose rows stream may have them made in a ring the reader
    // recycles: the thumbnail takes the rows it reads as they are made.
    std::optional<ThumbnailRows> thumbnailRows;
    if (CoverPictureKind(fileName) == PictureKind::Jpeg) {
        struct Unwatch {
            BaseLevelProgress* progress;
            ~Unwatch()
            {
                if (progress)
                    progress->WatchRows({});
            }
        } unwatch{progress && !previewSize.isEmpty() ? progress : nullptr};
        if (unwatch.progress)
            progress->WatchRows([&](int row, const std::uint8_t* pixels) noexcept {
                try {
                    if (!thumbnailRows) {
                        const PictureSize stored = progress->Original();
                        thumbnailRows.emplace(progress->Size(),
                                              ThumbnailFit(QSize(stored.Width, stored.Height), previewSize));
                    }
                    thumbnailRows->Take(row, pixels);
                } catch (const std::bad_alloc&) {
                    // Left incomplete: told below, on the reading thread.
                }
            });
        DecodedBaseLevel base = DecodeJpegBaseLevel(fileName, maxTextureSize, progress);
        original = QSize(base.Original.Width, base.Original.Height);
        decoded->Pixels = std::move(base.Pixels);
        decoded->Width = base.Base.Width;
        decoded->Height = base.Base.Height;
    } else {
        if (!LoadCoverPicture(*decoded, fileName))
            return std::nullopt;
        original = QSize(decoded->Width, decoded->Height);
        PrepareBaseLevel(*decoded, maxTextureSize);
    }
    if (original.isEmpty() || !decoded->Pixels)
        throw ImageError(QStringLiteral("%1: the picture has no pixels").arg(fileName).toStdString());
    QImage thumbnail;
    if (thumbnailRows) {
        if (!thumbnailRows->Complete())
            throw std::bad_alloc(); // its rows may be gone from the picture by now
        thumbnail = thumbnailRows->Finish();
    } else if (!previewSize.isEmpty()) {
        thumbnail = ThumbnailOf(*decoded, ThumbnailFit(original, previewSize));
    }
    return DecodedCover{fileName, std::move(decoded), std::move(thumbnail)};
}
