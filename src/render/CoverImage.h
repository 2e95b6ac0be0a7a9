#pragma once
// The cover image slots: front/back, left/right, top/bottom, then the own
// pictures of the back, the right and the bottom (SlotIndex, BoxSides.h).
// Each has a 24-bit preview thumbnail and its texture; the document names
// the files.
#include "render/JpegBaseLevel.h"
#include "render/BaseLevel.h"
#include "formats/RgbaPicture.h"
#include "render/GLTexture.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <array>
#include <memory>
#include <optional>

enum CoverSlot { FrontBack = 0, LeftRight = 1, TopBottom = 2, BackSide = 3, RightSide = 4, BottomSide = 5 };
inline constexpr int ClassicSlotCount = 3;
inline constexpr int CoverSlotCount = 6;

// What a slot shows; which file it is, is the document's.
struct CoverImage {
    QImage Thumbnail; // Format_RGB888
    std::unique_ptr<GLTexture> Texture;
};

using CoverImages = std::array<CoverImage, CoverSlotCount>;

// Placeholder of a slot before any picture is chosen.
QSize PlaceholderSize(int slot);    // 80 x 100, 20 x 100, 100 x 20; an own side picture 40 x 40
QRgb PlaceholderColor(int slot);    // (255,185,151), (150,203,203), (168,255,168); own: (212,208,200)

// Placeholder thumbnails; the textures are left alone.
void ResetCoverImages(CoverImages& slots);

// The file a slot's path names: a relative one is read from the folder.
QString CoverFile(const QString& path, const QString& folder);

// The thumbnail size for a picture shown in a preview of the given size:
// proportions kept, the computed side rounded with halves to even; equal
// ratios fit the height; a side that rounds to 0 becomes 1. An empty picture
// or preview gives an empty size.
QSize ThumbnailFit(QSize picture, QSize preview);

// Cover pictures are JPEG, BMP, PNG, GIF or TGA files, told by their content
// whatever their name (a Targa, which has no signature, by its extension).
// Transparent parts are laid over white.
bool IsCoverImageFile(const QString& fileName);

// Reads a cover picture into a 24-bit bitmap; false for a missing
// file or another extension; a damaged or empty file throws ImageError
// ("FILE: empty file"), as do the readers below.
bool ReadImageToBitmap(const QString& fileName, QImage& bitmap);

// The whole cover picture at its own size, opaque (alpha over white), as
// the ray tracer samples it; false and a damaged file as ReadImageToBitmap.
bool ReadCoverPicture(const QString& fileName, RgbaPicture& picture);

// A picture read and fitted for a slot but not yet in GL. Needs no context,
// so several may be read side by side.
struct DecodedCover {
    QString Path;
    std::unique_ptr<RgbaPicture> Picture; // full size, no texture yet
    QImage Thumbnail;                // Format_RGB888, fitted to the preview
};

// The picture comes back as its texture's base level for a GL with that
// largest texture side (the full-size picture is gone by then), and a
// thumbnail unless the preview size is empty. Nothing for a missing file or
// another extension; a damaged file throws ImageError. Safe on any thread.
// With a progress, a JPEG's rows are reported as they become final.
std::optional<DecodedCover> DecodeCoverImage(const QString& fileName, QSize previewSize,
                                             int maxTextureSize = TextureSizeLimit(),
                                             BaseLevelProgress* progress = nullptr);
