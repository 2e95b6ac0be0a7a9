#pragma once
// What the window keeps of one cover being read (MainWindowCovers.cpp) and
// of its texture on the way to the slot (MainWindowCoverTextures.cpp).
#include "render/CoverPipeline.h"
#include "render/PartialUpload.h"
#include "window/MainWindow.h"

#include <atomic>
#include <exception>
#include <memory>
#include <optional>

struct MainWindow::CoverLoad {
    std::unique_ptr<CoverRead> Read;   // the read itself, and its rows while they come
    std::optional<DecodedCover> Cover; // none: missing file or another type
    QString ErrorText;                 // a damaged file, as ImageError said it
    std::exception_ptr Unexpected;     // anything else, rethrown on the GUI thread
    // While it is read: the rows made so far go to a texture of their own
    // (the view keeps drawing the slot's), which the slot takes at the end.
    std::unique_ptr<GLTexture> Staging;
    std::unique_ptr<PartialUpload> Parts;
    // What the slot's path and folder become.
    QString SlotPath;
    QString SlotFolder;
    // The slot before this cover took it, for a texture that then fails.
    QString PreviousPath;
    QString PreviousFolder;
    QImage PreviousThumbnail;
    // Its texture asked of the texture maker: the size asked for, and
    // whether the maker could not make it (this window then makes it).
    std::optional<PictureSize> TextureAsked;
    bool TextureRefused = false;
    // Set once the cover is no longer wanted: a texture asked for and not
    // begun is not made.
    std::shared_ptr<std::atomic<bool>> TextureDropped = std::make_shared<std::atomic<bool>>(false);
    // The storage came from the texture maker (or a spare): its size, for reuse.
    std::optional<PictureSize> MadeAside;
    // A later cover of the same size that took over the texture this one
    // asked for and no longer wants.
    std::shared_ptr<CoverLoad> TextureHeir;

    BaseLevelProgress& Progress() { return Read->Progress(); }
};
