// Undo and redo: what the document held before each change that came to
// rest, put back as a whole; the covers it names are read again.
#include "window/MainWindow.h"

#include "window/CoverLoad.h"
#include "window/GLPanel.h"
#include "window/InputBurst.h"

#include <QAbstractSlider>
#include <QAction>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPixmap>
#include <QScopedValueRollback>

#include <algorithm>
#include <utility>

namespace {

// While a button is held (a slider's thumb, the box turned) the change goes
// on: it is looked at again this much later.
constexpr int GestureRetryMs = 50;

} // namespace

void MainWindow::ConnectHistory()
{
    undoAction->setShortcut(QKeySequence::Undo);
    QList<QKeySequence> redoKeys = QKeySequence::keyBindings(QKeySequence::Redo);
    const QKeySequence shiftZ(Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    if (!redoKeys.contains(shiftZ))
        redoKeys.prepend(shiftZ);
    redoAction->setShortcuts(redoKeys);
    // The keys work in the tool panels too.
    for (QWidget* panel : {static_cast<QWidget*>(lookPanel), static_cast<QWidget*>(shapePanel)})
        panel->addActions({undoAction, redoAction});
    connect(undoAction, &QAction::triggered, this, &MainWindow::UndoClicked);
    connect(redoAction, &QAction::triggered, this, &MainWindow::RedoClicked);
    settleTimer_ = new QTimer(this);
    settleTimer_->setSingleShot(true);
    connect(settleTimer_, &QTimer::timeout, this, [this] {
        if (GestureRunning())
            settleTimer_->start(GestureRetryMs);
        else
            SettleChange();
    });
}

void MainWindow::ChangeNoted()
{
    // One user action tells several changes: they settle together.
    if (settleTimer_ && !restoring_ && !settleTimer_->isActive())
        settleTimer_->start(0);
}

bool MainWindow::GestureRunning() const
{
    if (drag_.Active || QGuiApplication::mouseButtons() != Qt::NoButton || InputBurstRunning())
        return true;
    const QList<QAbstractSlider*> sliders = findChildren<QAbstractSlider*>();
    return std::any_of(sliders.begin(), sliders.end(), [](const QAbstractSlider* s) { return s->isSliderDown(); });
}

void MainWindow::SettleChange()
{
    settleTimer_->stop();
    history_.Settle(SnapshotOf(document_));
    ShowHistory();
}

void MainWindow::ResetHistory()
{
    if (settleTimer_)
        settleTimer_->stop();
    history_.Reset(SnapshotOf(document_));
    ShowHistory();
}

void MainWindow::ShowHistory()
{
    undoAction->setEnabled(history_.CanUndo());
    redoAction->setEnabled(history_.CanRedo());
}

void MainWindow::UndoClicked()
{
    // A drag not over is no step yet; a burst of wheel notches or key
    // repeats ends here, and is the step undone.
    if (drag_.Active || QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    SettleChange(); // a change not settled yet is the step undone
    if (const std::optional<DocumentSnapshot> back = history_.Undo())
        PutBack(*back);
}

void MainWindow::RedoClicked()
{
    if (drag_.Active || QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    SettleChange(); // a change since the undo ends the redo
    if (const std::optional<DocumentSnapshot> forward = history_.Redo())
        PutBack(*forward);
}

void MainWindow::PutBack(const DocumentSnapshot& snapshot)
{
    const DocumentSnapshot before = SnapshotOf(document_);
    {
        // No new step, and "Large" put back does not maximise the window again.
        const QScopedValueRollback<bool> restoring(restoring_, true);
        Restore(document_, snapshot);
    }
    for (int slot = 0; slot < CoverSlotCount; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        if (before.Covers[i].Path != snapshot.Covers[i].Path || before.Covers[i].Folder != snapshot.Covers[i].Folder)
            ShowCoverOf(slot);
    }
    history_.Restored(SnapshotOf(document_));
    ShowAngles();
    ShowTitle();
    ShowHistory();
    view->RequestFrame();
}

void MainWindow::ShowCoverOf(int slot)
{
    const CoverSource& source = document_.Cover(slot);
    const QString file = CoverFile(source.Path, source.Folder);
    if (!file.isEmpty() && QFileInfo(file).isFile() && IsCoverImageFile(file))
        StartCoverLoad(slot, file, source.Path, source.Folder);
    else
        ShowCoverPlaceholder(slot); // a missing file keeps its name, as an open does
}

void MainWindow::ShowCoverPlaceholder(int slot)
{
    const auto index = static_cast<std::size_t>(slot);
    // A pick still being read would take the slot again: it is dropped.
    ++coverGeneration_[index];
    if (currentLoads_[index])
        currentLoads_[index]->Read->Cancel();
    if (const std::shared_ptr<CoverLoad> pending = std::exchange(pendingTextures_[index], nullptr)) {
        pending->Cover.reset();
        ReleaseStaging(*pending);
    }
    CoverImage& cover = Covers[index];
    cover.Thumbnail = QImage(PlaceholderSize(slot), QImage::Format_RGB888);
    cover.Thumbnail.fill(QColor(PlaceholderColor(slot)));
    PreviewOf(slot)->setPixmap(QPixmap::fromImage(cover.Thumbnail));
    if (slot >= ClassicSlotCount) {
        RetireSideTexture(slot); // the side shows its pair's picture
    } else if (!view->FirstPaintPending()) {
        placeholderTextures_[index] = true;
        view->RequestChanges();
    }
    view->RequestFrame();
}
