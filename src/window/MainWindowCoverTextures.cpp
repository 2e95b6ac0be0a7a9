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

bool MainWindow::CoverLoadsPending() const
{
    // A cover read but not on its slot yet still waits for the GL changes,
    // and its texture may not even be asked of the texture maker yet.
    const bool installPending = std::any_of(pendingTextures_.begin(), pendingTextures_.end(),
                                            [](const std::shared_ptr<CoverLoad>& load) { return load != nullptr; });
    return coverLoadsRunning_ > 0 || texturesBeingMade_ > 0 || installPending;
}

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
    // A spare nobody can take any more is freed.
    if (spareTexture_ && !CoverLoadsPending()) {
        auto spare = std::make_unique<GLTexture>();
        spare->AdoptEmptyTexture(std::exchange(spareTexture_, std::nullopt)->Name);
        retiredTextures_.push_back(std::move(spare));
    }
    retiredTextures_.clear();
    if (std::exchange(texturesFromThumbnails_, false))
        RebuildSlotTextures(Textures(), Thumbnails());
    // A slot put back to its placeholder (an undone pick).
    SlotThumbnails placeholders = Thumbnails();
    bool anyPlaceholder = false;
    for (std::size_t i = 0; i < placeholders.size(); ++i) {
        if (i < placeholderTextures_.size() && std::exchange(placeholderTextures_[i], false))
            anyPlaceholder = true;
        else
            placeholders[i] = nullptr;
    }
    if (anyPlaceholder)
        RebuildSlotTextures(Textures(), placeholders);
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
            SyncBusyCursor();
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
    // The texture of a cover it overtook, already made: its own need not be.
    if (TakeSpareTexture(load, size)) {
        load->TextureDropped->store(true);
        return false;
    }
    if (load->TextureAsked)
        return true;
    if (InheritTexture(load, size))
        return true;
    if (!std::exchange(textureMakerTried_, true))
        textureMaker_ = TextureMaker::Start(view->context()); // the view's context is current here
    if (!textureMaker_)
        return false;
    load->TextureAsked = size;
    ++texturesBeingMade_;
    askedAside_.push_back(load);
    SyncBusyCursor();
    textureMaker_->Make(
        size.Width, size.Height, [this, load](unsigned name) { TextureMade(load, name); }, load->TextureDropped);
    return true;
}

bool MainWindow::InheritTexture(const std::shared_ptr<CoverLoad>& load, PictureSize size)
{
    // A texture of this size still being made for a cover no longer wanted
    // becomes this one's: the maker clears no second one meanwhile.
    for (const std::shared_ptr<CoverLoad>& asked : askedAside_) {
        if (asked == load || asked->TextureHeir || !asked->TextureDropped->load() ||
            !(asked->TextureAsked == size))
            continue;
        asked->TextureHeir = load;
        // The request is the heir's now: dropping the heir drops it.
        load->TextureDropped = std::exchange(asked->TextureDropped, std::make_shared<std::atomic<bool>>(true));
        load->TextureDropped->store(false);
        load->TextureAsked = size;
        return true;
    }
    return false;
}

bool MainWindow::TakeSpareTexture(const std::shared_ptr<CoverLoad>& load, PictureSize size)
{
    if (load->Parts || !spareTexture_ || !(spareTexture_->Size == size))
        return false;
    load->Staging = std::make_unique<GLTexture>();
    load->Parts = std::make_unique<PartialUpload>(*load->Staging, false);
    load->Parts->BeginWith(spareTexture_->Name, size); // every row is sent again
    load->MadeAside = size;
    spareTexture_.reset();
    return true;
}

void MainWindow::KeepSpareTexture(unsigned name, PictureSize size)
{
    // One is kept: an older one goes with the next GL changes.
    if (spareTexture_) {
        auto older = std::make_unique<GLTexture>();
        older->AdoptEmptyTexture(spareTexture_->Name);
        retiredTextures_.push_back(std::move(older));
    }
    spareTexture_ = SpareTexture{name, size};
    if (view)
        view->RequestChanges(); // a cover waiting for one of its size takes it
}

void MainWindow::TextureMade(const std::shared_ptr<CoverLoad>& asker, unsigned name)
{
    --texturesBeingMade_;
    if (name != 0)
        ++texturesMadeAside_;
    askedAside_.erase(std::remove(askedAside_.begin(), askedAside_.end(), asker), askedAside_.end());
    const std::shared_ptr<CoverLoad> heir = std::exchange(asker->TextureHeir, nullptr);
    const std::shared_ptr<CoverLoad>& load = heir ? heir : asker;
    if (heir && name == 0 && !heir->Parts) {
        // Dropped before the heir took it over: the heir asks anew.
        heir->TextureAsked.reset();
        SyncBusyCursor();
        if (view)
            view->RequestChanges();
        return;
    }
    const bool wanted = std::find(currentLoads_.begin(), currentLoads_.end(), load) != currentLoads_.end() ||
                        std::find(pendingTextures_.begin(), pendingTextures_.end(), load) != pendingTextures_.end();
    if (name == 0) {
        if (!load->Parts)
            load->TextureRefused = true; // made here after all, as before (or dropped)
    } else if (!wanted || load->Parts) {
        // A later pick, New or Open overtook it: the next cover of its size takes it.
        KeepSpareTexture(name, *load->TextureAsked);
    } else {
        load->Staging = std::make_unique<GLTexture>();
        load->Parts = std::make_unique<PartialUpload>(*load->Staging, false);
        load->Parts->BeginWith(name, *load->TextureAsked);
        load->MadeAside = load->TextureAsked;
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
    SyncBusyCursor();
}

void MainWindow::ReleaseGLObjects()
{
    textureMaker_.reset(); // textures it has not handed over go with the context
    // No rows are sent from now on: readers still making them must not wait.
    for (const std::shared_ptr<CoverLoad>& load : runningLoads_)
        load->Progress().ReaderGone();
    texturesBeingMade_ = 0;
    for (const std::shared_ptr<CoverLoad>& asked : askedAside_)
        asked->TextureHeir.reset();
    askedAside_.clear();
    DropPendingTextures();
    if (spareTexture_)
        GLTexture().AdoptEmptyTexture(std::exchange(spareTexture_, std::nullopt)->Name);
    retiredTextures_.clear();
    for (CoverImage& slot : Covers)
        slot.Texture.reset();
    Renderer.ReleaseGL();
}

void MainWindow::ReleaseStaging(CoverLoad& load)
{
    load.TextureDropped->store(true);
    if (load.Parts)
        load.Progress().ReaderGone(); // no more rows are sent: the maker must not wait for them
    load.Parts.reset();
    // Storage made aside is kept for the next cover of its size.
    if (load.Staging && load.Staging->Name() != 0 && load.MadeAside) {
        KeepSpareTexture(load.Staging->Release(), *load.MadeAside);
        load.MadeAside.reset();
    }
    // Its texture lives in the view's context and goes with the next GL changes.
    if (load.Staging && load.Staging->Name() != 0) {
        retiredTextures_.push_back(std::move(load.Staging));
        view->RequestChanges();
    }
    load.Staging.reset();
}

