#include "render/CoverImage.h"

#include "document/Numbers.h"
#include "formats/JpegBaseLevel.h"
#include "formats/TgaCodec.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

QSize PlaceholderSize(int slot)
{
    switch (slot) {
    case FrontBack: return {80, 100};
    case LeftRight: return {20, 100};
    default: return {100, 20};
    }
}

QRgb PlaceholderColor(int slot)
{
    switch (slot) {
    case FrontBack: return qRgb(255, 185, 151);
    case LeftRight: return qRgb(150, 203, 203);
    default: return qRgb(168, 255, 168);
    }
}

void ResetCoverImages(CoverImages& slots)
{
    for (int i = 0; i < CoverSlotCount; ++i) {
        CoverImage& slot = slots[static_cast<std::size_t>(i)];
        slot.Path.clear();
        slot.Folder.clear();
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

namespace {

QString LowerExtension(const QString& fileName)
{
    const int dot = fileName.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : fileName.mid(dot).toLower();
}

} // namespace

bool IsCoverImageFile(const QString& fileName)
{
    const QString ext = LowerExtension(fileName);
    return ext == QLatin1String(".jpg") || ext == QLatin1String(".bmp") || ext == QLatin1String(".png") ||
           ext == QLatin1String(".gif") || ext == QLatin1String(".tga");
}

namespace {

// The whole picture, opaque. A Targa goes through the cover reader, which
// knows every common kind; the texture object's own Targa reader stays as
// narrow as it always was.
bool LoadCoverPicture(TextureImage& picture, const QString& fileName)
{
    if (LowerExtension(fileName) != QLatin1String(".tga"))
        return picture.LoadFromFile(fileName);
    picture.FreeBuffers();
    try {
        DecodeTga(fileName, [&](std::int64_t width, std::int64_t height) {
            picture.AllocatePixels(width, height, fileName);
            return picture.Pixels.get();
        });
    } catch (...) {
        picture.FreeBuffers();
        throw;
    }
    picture.BitsPerPixel = 32;
    picture.FillAlpha(255); // a cover is opaque, whatever the file's alpha
    return true;
}

} // namespace

bool ReadImageToBitmap(const QString& fileName, QImage& bitmap)
{
    if (!QFileInfo(fileName).isFile() || !IsCoverImageFile(fileName))
        return false;
    TextureImage decoded;
    if (!LoadCoverPicture(decoded, fileName))
        return false;
    bitmap = decoded.ToImage().convertToFormat(QImage::Format_RGB888);
    return true;
}

namespace {

// Nearest samples down to a few times the thumbnail, then a smooth filter:
// as good as smoothing the whole picture at this size, for a fraction of it.
QImage ThumbnailOf(const TextureImage& picture, QSize fit)
{
    const QImage bottomUp(picture.Pixels.get(), picture.Width, picture.Height, picture.Width * 4,
                          QImage::Format_RGBA8888);
    const QSize near(std::min(picture.Width, fit.width() * 8), std::min(picture.Height, fit.height() * 8));
    const QImage reduced = near == bottomUp.size()
                               ? bottomUp
                               : bottomUp.scaled(near, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    return reduced.scaled(fit, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .mirrored(false, true)
        .convertToFormat(QImage::Format_RGB888);
}

} // namespace

std::optional<DecodedCover> DecodeCoverImage(const QString& fileName, QSize previewSize,
                                             int maxTextureSize, BaseLevelProgress* progress)
{
    if (!QFileInfo(fileName).isFile() || !IsCoverImageFile(fileName))
        return std::nullopt;
    auto decoded = std::make_unique<TextureImage>(); // no GL work: only its buffer is used
    QSize original;
    if (LowerExtension(fileName) == QLatin1String(".jpg")) {
        DecodedBaseLevel base = DecodeJpegBaseLevel(fileName, maxTextureSize, progress);
        original = QSize(base.Original.Width, base.Original.Height);
        decoded->Pixels = std::move(base.Pixels);
        decoded->Width = base.Base.Width;
        decoded->Height = base.Base.Height;
        decoded->BitsPerPixel = 32;
    } else {
        if (!LoadCoverPicture(*decoded, fileName))
            return std::nullopt;
        original = QSize(decoded->Width, decoded->Height);
        decoded->PrepareBaseLevel(maxTextureSize);
    }
    if (original.isEmpty() || !decoded->Pixels)
        throw ImageError(QStringLiteral("%1: the picture has no pixels").arg(fileName).toStdString());
    QImage thumbnail;
    if (!previewSize.isEmpty())
        thumbnail = ThumbnailOf(*decoded, ThumbnailFit(original, previewSize));
    return DecodedCover{fileName, std::move(decoded), std::move(thumbnail)};
}

void InstallUploadedCover(CoverImage& slot, DecodedCover&& cover)
{
    cover.Picture.reset();
    if (!cover.Thumbnail.isNull())
        slot.Thumbnail = std::move(cover.Thumbnail);
    slot.Path = std::move(cover.Path);
}

void InstallCoverImage(CoverImage& slot, DecodedCover&& cover)
{
    slot.Texture->TakePicture(*cover.Picture);
    slot.Texture->Upload();
    // The texture holds the picture now; nothing reads the buffer again.
    slot.Texture->FreeBuffers();
    if (!cover.Thumbnail.isNull())
        slot.Thumbnail = std::move(cover.Thumbnail);
    slot.Path = std::move(cover.Path);
}

bool LoadCoverImage(CoverImage& slot, const QString& fileName, QSize previewSize)
{
    std::optional<DecodedCover> cover = DecodeCoverImage(fileName, previewSize);
    if (!cover)
        return false;
    InstallCoverImage(slot, std::move(*cover));
    return true;
}
