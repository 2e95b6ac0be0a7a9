// Choosing the cover images of the three slots.
#include "window/MainWindow.h"

#include "window/CoverLoad.h"
#include "window/FolderPicker.h"
#include "window/GLPanel.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>

#include <algorithm>
#include <exception>
#include <memory>
#include <utility>

namespace {

const QString ImageFilter =
    QStringLiteral("Image (*.jpg;*.bmp;*.png;*.gif;*.tga)|*.jpg;*.bmp;*.png;*.gif;*.tga|jpg image|*.jpg|"
                   "bmp image|*.bmp|png image|*.png|gif image|*.gif|tga image|*.tga");

} // namespace

namespace {

// A large cover's rows are made in a ring of this size, reused as they are
// sent, instead of a whole picture of fresh memory (64 MB for 24 MP): about
// 30 ms of a decoder's rows, so it seldom waits while the view draws.
constexpr std::size_t RingBytes = std::size_t{16} << 20;

} // namespace

QLabel* MainWindow::PreviewOf(int slot) const
{
    switch (slot) {
    case FrontBack: return frontPreview;
    case LeftRight: return sidePreview;
    case TopBottom: return topPreview;
    default: return sidePreviews[static_cast<std::size_t>(slot - ClassicSlotCount)];
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
            // Where the slot's picture is, else where the last one was picked.
            request.StartFolder = fileName.isEmpty()
                                      ? ExistingFolderOr(Folder.DataFolder, UserPicturesFolder())
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
    auto load = std::make_shared<CoverLoad>();
    load->SlotPath = slotPath;
    load->SlotFolder = slotFolder;
    CoverRead::Request request;
    request.FileName = fileName;
    request.PreviewSize = PreviewOf(slot)->size();
    request.RingBytes = RingBytes;
    // Read at a lower priority: on two busy cores the decoder's threads
    // otherwise take turns with the view's and the GL's, and the box stops
    // turning for a tenth of a second at a time.
    request.Background = true;
    // Both run on the reading threads; the window waits for every read
    // before it goes away (Shutdown), and what they post goes with it.
    CoverRead::Notices notices;
    notices.Rows = [this] {
        if (!coverRowsNoticed_.exchange(true))
            QMetaObject::invokeMethod(
                this,
                [this] {
                    coverRowsNoticed_ = false;
                    SendCoverRows();
                },
                Qt::QueuedConnection);
    };
    notices.Done = [this, slot, generation, finished = load.get()] {
        QMetaObject::invokeMethod(
            this, [this, slot, generation, finished] { FinishCoverLoad(slot, generation, finished); },
            Qt::QueuedConnection);
    };
    // The pick it overtakes stops reading: its rows would only take the
    // cores from this one.
    if (const std::shared_ptr<CoverLoad> overtaken = std::exchange(currentLoads_[index], load)) {
        overtaken->Read->Cancel();
        // Its texture, not begun yet, is not made; one made already is
        // there for this pick at once.
        ReleaseStaging(*overtaken);
    }
    runningLoads_.push_back(load);
    load->Read = std::make_unique<CoverRead>(std::move(request), std::move(notices));
}

void MainWindow::FinishCoverLoad(int slot, quint64 generation, const CoverLoad* finished)
{
    const auto running = std::find_if(runningLoads_.begin(), runningLoads_.end(),
                                      [&](const std::shared_ptr<CoverLoad>& load) { return load.get() == finished; });
    if (running == runningLoads_.end())
        return;
    const std::shared_ptr<CoverLoad> load = std::move(*running);
    runningLoads_.erase(running);
    try {
        load->Cover = load->Read->Take();
    } catch (const ImageError& e) {
        load->ErrorText = QString::fromStdString(e.what());
    } catch (...) {
        load->Unexpected = std::current_exception();
    }
    const auto index = static_cast<std::size_t>(slot);
    --coverLoadsInSlot_[index];
    --coverLoadsRunning_;
    if (currentLoads_[index] == load)
        currentLoads_[index].reset();
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

void MainWindow::SendCoverRows()
{
    const bool rowsWaiting = std::any_of(currentLoads_.begin(), currentLoads_.end(),
                                         [](const std::shared_ptr<CoverLoad>& load) {
                                             return load && load->Progress().Pixels();
                                         });
    if (rowsWaiting)
        view->RequestChanges(); // no view yet: the slot is filled from the file later
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
        if (load) {
            load->Read->Cancel();
            load->TextureDropped->store(true);
        }
}

void MainWindow::WaitForCoverLoads()
{
    DropCoverLoads();
    for (const std::shared_ptr<CoverLoad>& load : runningLoads_)
        load->Read->Wait();
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
    // One entry on the override stack, pushed while a cover counts as loading
    // (until its face shows it) and no dialog of ours is up; popped on every
    // way out, the last one included.
    const bool wanted = CoverLoadsPending() && coverModalDepth_ == 0 && !destroyed_;
    if (wanted == coverCursorShown_)
        return;
    coverCursorShown_ = wanted;
    if (wanted)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}
