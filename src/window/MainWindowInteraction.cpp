// The view's mouse handling, the keys and the wheel, scroll tracking and the colour panel.
#include "window/MainWindow.h"

#include "document/Numbers.h"
#include "window/GLPanel.h"
#include "window/InputBurst.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <utility>

void MainWindow::SliderScrolled()
{
    ApplySliders();
    ApplyOutputSize();
    DrawStepNow();
}

void MainWindow::DrawStepNow()
{
    QCoreApplication::processEvents();
    // Drawn now unless the events above drew it already: one step, one frame.
    if (appActive_ && view->FramePending())
        view->RenderNow();
}

void MainWindow::TurnByKeys(int dx, int dy)
{
    // The same angles a drag by as many pixels gives, wrapped as a drag wraps them.
    document_.TurnTo(document_.Params.SideAngle + static_cast<float>(dx) * SideFactor,
                     document_.Params.TiltAngle + static_cast<float>(dy) * TiltFactor);
    DrawStepNow();
}

void MainWindow::PickBackground()
{
    const std::uint32_t c = document_.Background();
    const QColor initial(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF),
                         static_cast<int>((c >> 16) & 0xFF));
    const std::optional<QColor> chosen = Dialogs().PickColor(this, initial);
    if (!chosen)
        return;
    document_.SetBackground(static_cast<std::uint32_t>(chosen->red()) |
                           static_cast<std::uint32_t>(chosen->green()) << 8 |
                           static_cast<std::uint32_t>(chosen->blue()) << 16);
}

void MainWindow::ShowAngles()
{
    statusPanels[0]->setText(QStringLiteral("Side angle = ") + RoundedText(document_.Params.SideAngle));
    statusPanels[1]->setText(QStringLiteral("Tilt angle = ") + RoundedText(document_.Params.TiltAngle));
    // The angles shown changed (a drag, a box kind, a project): so does the view.
    view->RequestFrame();
}

void MainWindow::ViewMousePressed(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    drag_.Active = true;
    drag_.SideAtStart = document_.Params.SideAngle;
    drag_.StartX = drag_.LastX = p.x();
    drag_.TiltAtStart = document_.Params.TiltAngle;
    drag_.StartY = drag_.LastY = p.y();
}

void MainWindow::ViewMouseMoved(QMouseEvent* event)
{
    if (!drag_.Active)
        return;
    const QPoint p = event->position().toPoint();
    // Absolute from where the drag began, so a drag back restores the angle exactly.
    float side = document_.Params.SideAngle;
    float tilt = document_.Params.TiltAngle;
    if (p.x() != drag_.LastX) {
        side = static_cast<float>(p.x() - drag_.StartX) * SideFactor + drag_.SideAtStart;
        drag_.LastX = p.x();
    }
    if (p.y() != drag_.LastY) {
        tilt = static_cast<float>(p.y() - drag_.StartY) * TiltFactor + drag_.TiltAtStart;
        drag_.LastY = p.y();
    }
    document_.TurnTo(side, tilt);
}

void MainWindow::ViewMouseReleased(QMouseEvent*)
{
    drag_.Active = false;
}

void MainWindow::ViewResized()
{
    ApplyOutputViewport();
}

void MainWindow::WheelTurned(QObject* target, QWheelEvent* event)
{
    // The slider under the pointer moves, not the focused one; over the view
    // the wheel moves the box nearer (up) or farther (down), as the depth slider does.
    const int steps = static_cast<int>(RoundHalfEven(event->angleDelta().y() / 100.0));
    if (target == view)
        depthBar->setValue(depthBar->value() - steps);
    else if (auto* bar = qobject_cast<QScrollBar*>(target); bar && bar->isEnabled())
        bar->setValue(bar->value() + steps); // the bar keeps itself in range
}

int MainWindow::PreviewSlot(const QObject* target) const
{
    for (int slot = 0; slot < CoverSlotCount; ++slot)
        if (target == PreviewOf(slot))
            return slot;
    return -1;
}

namespace {

// A key press of a turn: one arrow is a drag of this many pixels.
constexpr int TurnKeyPixels = 10;

// What a drag brings: one local file, a picture or a project, or why it is refused.
struct Dropped {
    QString File;
    bool Project = false;
    QString Refusal; // empty when the file may be dropped
};

Dropped WhatIsDropped(const QMimeData* mime)
{
    Dropped d;
    const QList<QUrl> urls = mime ? mime->urls() : QList<QUrl>();
    if (urls.size() != 1) {
        d.Refusal = QStringLiteral("Drop one file at a time: a picture or a .pcf project.");
        return d;
    }
    if (!urls.constFirst().isLocalFile()) {
        d.Refusal = QStringLiteral("Only files on this computer can be dropped.");
        return d;
    }
    d.File = urls.constFirst().toLocalFile();
    d.Project = d.File.endsWith(QLatin1String(".pcf"), Qt::CaseInsensitive);
    if (!d.Project && !IsCoverImageFile(d.File))
        d.Refusal = QStringLiteral("Only pictures (.jpg, .bmp, .png, .gif, .tga) and .pcf projects can be dropped: %1")
                        .arg(QDir::toNativeSeparators(d.File));
    return d;
}

} // namespace

bool MainWindow::KeyPressed(QWidget* target, QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers == Qt::NoModifier &&
        (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)) {
        if (target == colorPanel) {
            PickBackground();
            return true;
        }
        if (target == frontPreview || target == sidePreview || target == topPreview) {
            CoverClicked(target);
            return true;
        }
        return false;
    }
    // Ctrl+arrows anywhere in the window and its Look panel, plain arrows in
    // the view: each turns the box as a short drag does.
    const bool turnKeys = (modifiers == Qt::ControlModifier && (target->window() == this || target->window() == lookPanel)) ||
                          (modifiers == Qt::NoModifier && target == view);
    if (!turnKeys)
        return false;
    switch (key) {
    case Qt::Key_Left: TurnByKeys(-TurnKeyPixels, 0); return true;
    case Qt::Key_Right: TurnByKeys(TurnKeyPixels, 0); return true;
    case Qt::Key_Up: TurnByKeys(0, -TurnKeyPixels); return true;
    case Qt::Key_Down: TurnByKeys(0, TurnKeyPixels); return true;
    default: return false;
    }
}

void MainWindow::DropArrived(QObject* target, QDropEvent* event)
{
    // Only drags of files: text or anything else passes by without a word.
    if (!event->mimeData() || !event->mimeData()->hasUrls())
        return;
    Dropped d = WhatIsDropped(event->mimeData());
    const int slot = target == view ? FrontBack : PreviewSlot(target);
    if (d.Refusal.isEmpty() && !d.Project && slot < 0)
        d.Refusal = QStringLiteral("Drop a picture on a cover preview or on the view.");
    if (!d.Refusal.isEmpty()) {
        ShowStatusMessage(d.Refusal);
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    if (event->type() != QEvent::Drop)
        return;
    if (!d.Project) {
        SelectCoverImage(slot, false, d.File);
        return;
    }
    // Opened once the drop is over: the prompt to save first must not hold
    // the program the file came from.
    const QString path = QDir::toNativeSeparators(d.File);
    QTimer::singleShot(0, this, [this, path] {
        if (MaySetProjectAside())
            OpenProjectFile(path);
    });
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Wheel:
        if (auto* w = qobject_cast<QWidget*>(watched);
            w && (w->window() == this || w->window() == lookPanel || w->window() == shapePanel)) {
            NoteInputBurst();
            WheelTurned(watched, static_cast<QWheelEvent*>(event));
            return true; // the window handles every wheel turn itself
        }
        break;
    case QEvent::KeyPress:
        // Keys pressed in quick succession (a held arrow's repeats, which a
        // display may not mark as such) are one change; shortcuts are none.
        if (!(static_cast<QKeyEvent*>(event)->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            NoteInputBurst();
        if (auto* w = qobject_cast<QWidget*>(watched); w && w->isEnabled() && KeyPressed(w, static_cast<QKeyEvent*>(event)))
            return true;
        break;
    // The colour panel and the previews act on a click: a left press and a
    // release inside the same control.
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (watched == colorPanel || watched == frontPreview || watched == sidePreview || watched == topPreview) {
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
                clickTarget_ = watched;
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == colorPanel || watched == frontPreview || watched == sidePreview || watched == topPreview) {
            auto* release = static_cast<QMouseEvent*>(event);
            if (release->button() != Qt::LeftButton)
                return true;
            const bool clicked = std::exchange(clickTarget_, nullptr) == watched &&
                                 static_cast<QWidget*>(watched)->rect().contains(release->position().toPoint());
            if (clicked && watched == colorPanel)
                PickBackground();
            else if (clicked)
                CoverClicked(watched);
            return true;
        }
        break;
    case QEvent::Resize:
        if (watched == viewBox)
            ApplyOutputSize(); // keeps the panel centred
        break;
    case QEvent::DragEnter:
    case QEvent::Drop:
        if (watched == this || watched == view || PreviewSlot(watched) >= 0) {
            DropArrived(watched, static_cast<QDropEvent*>(event));
            return true;
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
