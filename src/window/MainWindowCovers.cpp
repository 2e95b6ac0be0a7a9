// Choosing the cover images of the three slots.
#include "window/MainWindow.h"

#include "render/PartialUpload.h"
#include "window/GLPanel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

namespace {

const QString ImageFilter =
    QStringLiteral("Image (*.jpg;*.bmp;*.png;*.gif;*.tga)|*.jpg;*.bmp;*.png;*.gif;*.tga|jpg image|*.jpg|"
                   "bmp image|*.bmp|png image|*.png|gif image|*.gif|tga image|*.tga");

} // namespace

// What one worker thread made of one file.
struct MainWindow::CoverLoad {
    std::optional<DecodedCover> Cover; // none: missing file or another type
    QString ErrorText;                 // a damaged file, as ImageError said it
    std::exception_ptr Unexpected;     // anything else, rethrown on the GUI thread
    // While it is read: the rows made so far go to a texture of their own
    // (the view keeps drawing the slot's), which the slot takes at the end.
    BaseLevelProgress Progress;
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
};

namespace {

// Rows sent per timer tick: a few milliseconds of copying at most.
constexpr int RowsPerTick = 1024;
constexpr int SendIntervalMs = 4;
// A large cover's rows are made in a ring of this size, reused as they are
// sent, instead of a whole picture of fresh memory (64 MB for 24 MP): about
// 30 ms of a decoder's rows, so it seldom waits while the view draws.
constexpr std::size_t RingBytes = std::size_t{16} << 20;
// Textures from this many texels on are made on the texture maker's thread.
constexpr std::int64_t MadeAsideTexels = std::int64_t{2048} * 2048;

} // namespace

QLabel* MainWindow::PreviewOf(int slot) const
{
    switch (slot) {
    case FrontBack: return frontPreview;
    case LeftRight: return sidePreview;
    default: return topPreview;
    }
}

void MainWindow::ShowPreviews()
{
    for (int i = 0; i < CoverSlotCount; ++i)
        PreviewOf(i)->setPixmap(QPixmap::fromImage(Covers[static_cast<std::size_t>(i)].Thumbnail));
}

void MainWindow::CoverClicked(QObject* sender)
{
    int slot = -1;
    if (sender == frontPreview || sender == selectFrontAction)
        slot = FrontBack;
    else if (sender == sidePreview || sender == selectSideAction)
        slot = LeftRight;
    else if (sender == topPreview || sender == selectTopAction)
        slot = TopBottom;
    if (slot >= 0)
        SelectCoverImage(slot, false);
}

bool MainWindow::SelectCoverImage(int slot, bool useStoredPath, const QString& droppedFile)
{
    if (slot < 0 || slot >= CoverSlotCount)
        return false;
    const CoverSource& current = document_.Cover(slot);
    QString fileName = CoverFile(current.Path, current.Folder);
    // A stored path stays as the project has it; a new pick is stored in full.
    QString slotPath = current.Path;
    QString slotFolder = current.Folder;
    if (!useStoredPath) {
        if (droppedFile.isEmpty()) {
            FileDialogRequest request;
            request.Title = QStringLiteral("Select image");
            request.Filter = ImageFilter;
            request.FileName = fileName;
            request.StartFolder = fileName.isEmpty() ? Folder.DataFolder
                                                     : QFileInfo(fileName).absolutePath();
            ++coverModalDepth_;
            SyncBusyCursor();
            const QString chosen = Dialogs().OpenFile(this, request);
            --coverModalDepth_;
            SyncBusyCursor();
            if (chosen.isEmpty())
                return false;
            fileName = chosen;
        } else {
            fileName = QDir::toNativeSeparators(droppedFile);
        }
        slotPath = fileName;
        slotFolder.clear();
        Folder.DataFolder = QDir::toNativeSeparators(QFileInfo(fileName).absolutePath());
        if (!Folder.DataFolder.endsWith(QDir::separator()))
            Folder.DataFolder += QDir::separator();
    }
    // The same test the reader makes first, so these picks still answer at once.
    // A project's missing covers are reported by the project's load, all at once.
    if (!QFileInfo(fileName).isFile()) {
        if (!useStoredPath)
            ShowStatusMessage(QStringLiteral("Cover file not found: %1").arg(QDir::toNativeSeparators(fileName)));
        return false;
    }
    if (!IsCoverImageFile(fileName)) {
        if (!useStoredPath)
            ShowStatusMessage(QStringLiteral("Only .jpg, .bmp, .png, .gif and .tga files can be loaded: %1")
                                  .arg(QDir::toNativeSeparators(fileName)));
        return false;
    }
    StartCoverLoad(slot, fileName, slotPath, slotFolder);
    return true;
}

void MainWindow::StartCoverLoad(int slot, const QString& fileName, const QString& slotPath,
                            const QString& slotFolder)
{
    const auto index = static_cast<std::size_t>(slot);
    const quint64 generation = ++coverGeneration_[index];
    ++coverLoadsInSlot_[index];
    ++coverLoadsRunning_;
    SyncBusyCursor();
    const QSize previewSize = PreviewOf(slot)->size();
    // The window waits for every load before it goes away (Shutdown), so
    // the queued call never reaches a deleted window.
    auto load = std::make_shared<CoverLoad>();
    load->SlotPath = slotPath;
    load->SlotFolder = slotFolder;
    load->Progress.RecycleRows(RingBytes);
    // The pick it overtakes stops reading: its rows would only take the
    // cores from this one.
    if (const std::shared_ptr<CoverLoad> overtaken = std::exchange(currentLoads_[index], load))
        overtaken->Progress.Cancel();
    if (!coverSendTimer_.isActive())
        coverSendTimer_.start(SendIntervalMs);
    coverPool_.start([this, slot, generation, fileName, previewSize, load] {
        try {
            load->Cover = DecodeCoverImage(fileName, previewSize, TextureSizeLimit(), &load->Progress);
        } catch (const ImageError& e) {
            load->ErrorText = QString::fromStdString(e.what());
        } catch (...) {
            load->Unexpected = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this, [this, slot, generation, load] { FinishCoverLoad(slot, generation, load); },
            Qt::QueuedConnection);
    });
}

void MainWindow::FinishCoverLoad(int slot, quint64 generation, const std::shared_ptr<CoverLoad>& load)
{
    const auto index = static_cast<std::size_t>(slot);
    --coverLoadsInSlot_[index];
    --coverLoadsRunning_;
    if (currentLoads_[index] == load)
        currentLoads_[index].reset();
    if (coverLoadsRunning_ == 0)
        coverSendTimer_.stop();
    std::exception_ptr unexpected;
    // A later pick, New or Open made this result stale.
    if (generation == coverGeneration_[index] && !destroyed_) {
        try {
            ApplyCoverLoad(slot, load);
        } catch (...) {
            unexpected = std::current_exception();
        }
    }
    if (pendingTextures_[index] != load) {
        load->Cover.reset(); // the picture goes now, not with the last copy of the pointer
        ReleaseStaging(*load);
    }
    SyncBusyCursor();
    if (coverLoadsRunning_ == 0)
        Q_EMIT CoverLoadsFinished();
    if (unexpected)
        std::rethrow_exception(unexpected); // reported as any other failed operation
}

void MainWindow::ApplyCoverLoad(int slot, const std::shared_ptr<CoverLoad>& load)
{
    if (load->Unexpected)
        std::rethrow_exception(load->Unexpected);
    if (!load->ErrorText.isEmpty()) {
        ShowCoverError(load->ErrorText);
        return;
    }
    if (!load->Cover)
        return; // gone or of another type since it was chosen: nothing changes
    const auto index = static_cast<std::size_t>(slot);
    CoverImage& cover = Covers[index];
    if (!view->FirstPaintPending()) {
        // The texture follows with the next GL changes; a cover still
        // waiting for them is overtaken, and the slot it replaced is the one
        // to go back to.
        if (const std::shared_ptr<CoverLoad> overtaken = std::exchange(pendingTextures_[index], load)) {
            load->PreviousPath = std::move(overtaken->PreviousPath);
            load->PreviousFolder = std::move(overtaken->PreviousFolder);
            load->PreviousThumbnail = std::move(overtaken->PreviousThumbnail);
            overtaken->Cover.reset();
            ReleaseStaging(*overtaken);
        } else {
            load->PreviousPath = document_.Cover(slot).Path;
            load->PreviousFolder = document_.Cover(slot).Folder;
            load->PreviousThumbnail = cover.Thumbnail;
        }
        view->RequestChanges();
    }
    // Without a view yet the texture is made from the file again once the
    // view's context exists.
    if (!load->Cover->Thumbnail.isNull())
        cover.Thumbnail = std::move(load->Cover->Thumbnail);
    document_.SetCover(slot, {load->SlotPath, load->SlotFolder});
    PreviewOf(slot)->setPixmap(QPixmap::fromImage(cover.Thumbnail));
    CoverShown();
    Q_EMIT CoverInstalled(slot);
}

void MainWindow::InstallCoverTexture(int slot, CoverLoad& load)
{
    CoverImage& cover = Covers[static_cast<std::size_t>(slot)];
    try {
        if (load.Parts && load.Parts->Taken()) {
            // Most rows are there already: the rest, then the slot takes it.
            // Rows that streamed may be in their ring; a picture read whole
            // is all in its buffer.
            if (load.Progress.Pixels() == load.Cover->Picture->Pixels.get())
                load.Parts->Finish(load.Progress);
            else
                load.Parts->Finish(*load.Cover->Picture);
            *cover.Texture = std::move(*load.Staging);
        } else {
            if (load.Progress.Pixels() == load.Cover->Picture->Pixels.get())
                load.Progress.Gather(); // none were sent: the ring's rows back in the picture
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
    for (const std::shared_ptr<CoverLoad>& load : currentLoads_) {
        if (!load || !load->Progress.Pixels())
            continue;
        if (!load->Parts && WaitsForTexture(load, load->Progress.Size()))
            continue; // the rows wait in the ring and the picture meanwhile
        if (!load->Parts) {
            load->Staging = std::make_unique<GLTexture>();
            load->Parts = std::make_unique<PartialUpload>(*load->Staging, false);
        }
        load->Parts->Follow(load->Progress, RowsPerTick);
    }
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
    texturesBeingMade_ = 0;
    DropPendingTextures();
    retiredTextures_.clear();
    for (CoverImage& slot : Covers)
        slot.Texture.reset();
    Renderer.ReleaseGL();
}

void MainWindow::SendCoverRows()
{
    const bool rowsWaiting = std::any_of(currentLoads_.begin(), currentLoads_.end(),
                                         [](const std::shared_ptr<CoverLoad>& load) {
                                             return load && load->Progress.Pixels();
                                         });
    if (rowsWaiting)
        view->RequestChanges(); // no view yet: the slot is filled from the file later
}

void MainWindow::ReleaseStaging(CoverLoad& load)
{
    load.Parts.reset();
    // Its texture lives in the view's context and goes with the next GL changes.
    if (load.Staging && load.Staging->Name() != 0) {
        retiredTextures_.push_back(std::move(load.Staging));
        view->RequestChanges();
    }
    load.Staging.reset();
}

void MainWindow::CoverShown()
{
    if (view)
        view->RequestFrame();
}

void MainWindow::DropCoverLoads()
{
    for (quint64& generation : coverGeneration_)
        ++generation;
    // Their results will not be used: reading stops, and nothing waits for
    // rows to be sent.
    for (const std::shared_ptr<CoverLoad>& load : currentLoads_)
        if (load)
            load->Progress.Cancel();
}

void MainWindow::WaitForCoverLoads()
{
    DropCoverLoads();
    coverPool_.waitForDone();
    coverSendTimer_.stop();
    for (std::shared_ptr<CoverLoad>& load : currentLoads_) {
        if (load)
            ReleaseStaging(*load);
        load.reset();
    }
}

void MainWindow::ShowCoverError(const QString& text)
{
    ++coverModalDepth_;
    SyncBusyCursor();
    ShowError(text);
    --coverModalDepth_;
    SyncBusyCursor();
}

void MainWindow::SyncBusyCursor()
{
    // One entry on the override stack, pushed while loads run and no dialog
    // of ours is up; popped on every way out, the last one included.
    const bool wanted = (coverLoadsRunning_ > 0 || texturesBeingMade_ > 0) && coverModalDepth_ == 0 && !destroyed_;
    if (wanted == coverCursorShown_)
        return;
    coverCursorShown_ = wanted;
    if (wanted)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
