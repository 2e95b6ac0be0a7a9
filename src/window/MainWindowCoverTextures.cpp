// A cover's texture on its way to the slot: its rows sent as they are
// made, its storage made aside, and the slot's texture swapped for it.
#include "window/CoverLoad.h"
#include "window/GLPanel.h"

#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <utility>

namespace {

// Rows sent at once: a few milliseconds of copying at most; the rest go
// with the next changes, asked for at once.
constexpr int RowsPerTurn = 1024;
// Textures from this many texels on are made on the texture maker's thread.
constexpr std::int64_t MadeAsideTexels = std::int64_t{2048} * 2048;

} // namespace

void MainWindow::InstallCoverTexture(int slot, CoverLoad& load)
{
    CoverImage& cover = Covers[static_cast<std::size_t>(slot)];
    try {
        if (load.Parts && load.Parts->Taken()) {
            // Most rows are there already: the rest, then the slot takes it.
            // Rows that streamed may be in their ring; a picture read whole
            // is all in its buffer.
            if (load.Progress().Pixels() == load.Cover->Picture->Pixels.get())
                load.Parts->Finish(load.Progress());
            else
                load.Parts->Finish(*load.Cover->Picture);
            *cover.Texture = std::move(*load.Staging);
        } else {
            if (load.Progress().Pixels() == load.Cover->Picture->Pixels.get())
                load.Progress().Gather(); // none were sent: the ring's rows back in the picture
            cover.Texture->Upload(*load.Cover->Picture);
            load.Cover->Picture->FreePixels(); // the texture holds the picture now
        }
    } catch (const ImageError& e) {
        // The slot goes back to what it was; the message waits until the
        // frame is done, as no dialog may run inside it.
        document_.SetCover(slot, {load.PreviousPath, load.PreviousFolder});
        cover.Thumbnail = load.PreviousThumbnail;
        PreviewOf(slot)->setPixmap(QPixmap::fromImage(cover.Thumbnail));
        QTimer::singleShot(0, this, [this, text = QString::fromStdString(e.what())] { ShowCoverError(text); });
    }
    load.Cover.reset();
    load.Parts.reset();
    load.Staging.reset(); // the context is current: its texture goes now
}

void MainWindow::ApplyGLChanges()
{
    retiredTextures_.clear();
    if (std::exchange(texturesFromThumbnails_, false))
        RebuildSlotTextures(Textures(), Thumbnails());
    if (pendingFogMode_)
        Renderer.SetFogMode(*std::exchange(pendingFogMode_, std::nullopt));
    for (int slot = 0; slot < CoverSlotCount; ++slot) {
        std::shared_ptr<CoverLoad>& pending = pendingTextures_[static_cast<std::size_t>(slot)];
        if (pending && !pending->Parts && pending->Cover &&
            WaitsForTexture(pending, {pending->Cover->Picture->Width, pending->Cover->Picture->Height}))
            continue; // installed once its texture is there
        if (const std::shared_ptr<CoverLoad> load = std::exchange(pending, nullptr)) {
            InstallCoverTexture(slot, *load);
            // A texture made aside may arrive after the cover's own frame:
            // the face then needs one more.
            if (!view->InFrame())
                view->RequestFrame();
        }
    }
    // Rows of covers still loading go to textures of their own.
    bool rowsLeft = false;
    for (const std::shared_ptr<CoverLoad>& load : currentLoads_) {
        if (!load || !load->Progress().Pixels())
            continue;
        if (!load->Parts && WaitsForTexture(load, load->Progress().Size()))
            continue; // the rows wait in the ring and the picture meanwhile
        if (!load->Parts) {
            load->Staging = std::make_unique<GLTexture>();
            load->Parts = std::make_unique<PartialUpload>(*load->Staging, false);
        }
        load->Parts->Follow(load->Progress(), RowsPerTurn);
        // Once sending, the reader may wait for the ring places of rows
        // still unsent: no notice comes until they are.
        rowsLeft = rowsLeft || load->Progress().RowsUnsent();
    }
    if (rowsLeft)
        view->RequestChanges();
}

bool MainWindow::WaitsForTexture(const std::shared_ptr<CoverLoad>& load, PictureSize size)
{
    if (load->TextureRefused || std::int64_t{size.Width} * size.Height < MadeAsideTexels)
        return false;
    if (load->TextureAsked)
        return true;
    if (!std::exchange(textureMakerTried_, true))
        textureMaker_ = TextureMaker::Start(view->context()); // the view's context is current here
    if (!textureMaker_)
        return false;
    load->TextureAsked = size;
    ++texturesBeingMade_;
    SyncBusyCursor();
    textureMaker_->Make(size.Width, size.Height, [this, load](unsigned name) { TextureMade(load, name); });
    return true;
}

void MainWindow::TextureMade(const std::shared_ptr<CoverLoad>& load, unsigned name)
{
    --texturesBeingMade_;
    const bool wanted = std::find(currentLoads_.begin(), currentLoads_.end(), load) != currentLoads_.end() ||
                        std::find(pendingTextures_.begin(), pendingTextures_.end(), load) != pendingTextures_.end();
    if (name == 0) {
        load->TextureRefused = true; // made here after all, as before
    } else if (!wanted || load->Parts) {
        // A later pick, New or Open overtook it: it goes with the next GL changes.
        auto unused = std::make_unique<GLTexture>();
        unused->AdoptEmptyTexture(name);
        retiredTextures_.push_back(std::move(unused));
    } else {
        load->Staging = std::make_unique<GLTexture>();
        load->Parts = std::make_unique<PartialUpload>(*load->Staging, false);
        load->Parts->BeginWith(name, *load->TextureAsked);
    }
    SyncBusyCursor();
    if (view)
        view->RequestChanges();
}

void MainWindow::DropPendingTextures()
{
    for (std::shared_ptr<CoverLoad>& load : pendingTextures_) {
        if (load) {
            load->Cover.reset();
            ReleaseStaging(*load);
        }
        load.reset();
    }
}

void MainWindow::ReleaseGLObjects()
{
    textureMaker_.reset(); // textures it has not handed over go with the context
    // No rows are sent from now on: readers still making them must not wait.
    for (const std::shared_ptr<CoverLoad>& load : runningLoads_)
        load->Progress().ReaderGone();
    texturesBeingMade_ = 0;
    DropPendingTextures();
    retiredTextures_.clear();
    for (CoverImage& slot : Covers)
        slot.Texture.reset();
    Renderer.ReleaseGL();
}

void MainWindow::ReleaseStaging(CoverLoad& load)
{
    if (load.Parts)
        load.Progress().ReaderGone(); // no more rows are sent: the maker must not wait for them
    load.Parts.reset();
    // Its texture lives in the view's context and goes with the next GL changes.
    if (load.Staging && load.Staging->Name() != 0) {
        retiredTextures_.push_back(std::move(load.Staging));
        view->RequestChanges();
    }
    load.Staging.reset();
}

