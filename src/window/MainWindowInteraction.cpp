// The view's mouse handling, the keys and the wheel, scroll tracking and the colour panel.
#include "window/MainWindow.h"

#include "document/Numbers.h"
#include "window/GLPanel.h"

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
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

void MainWindow::WheelTurned(QWheelEvent* event)
{
    auto* bar = qobject_cast<QScrollBar*>(QApplication::focusWidget());
    if (!bar || (bar->window() != this && bar->window() != lookPanel))
        return;
    const int steps = static_cast<int>(RoundHalfEven(event->angleDelta().y() / 100.0));
    bar->setValue(bar->value() + steps); // the bar keeps itself in range
}

namespace {

// A key press of a turn: one arrow is a drag of this many pixels.
constexpr int TurnKeyPixels = 10;

QString DroppedImage(const QMimeData* mime)
{
    if (!mime || !mime->hasUrls() || mime->urls().size() != 1)
        return QString();
    const QUrl url = mime->urls().constFirst();
    return url.isLocalFile() ? url.toLocalFile() : QString();
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

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::Wheel:
        if (auto* w = qobject_cast<QWidget*>(watched); w && (w->window() == this || w->window() == lookPanel)) {
            // The focused bar moves when the wheel turns in its own window.
            if (const QWidget* focus = QApplication::focusWidget(); focus && focus->window() == w->window())
                WheelTurned(static_cast<QWheelEvent*>(event));
            return true; // the window handles every wheel turn itself
        }
        break;
    case QEvent::KeyPress:
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
        if (watched == view || watched == frontPreview || watched == sidePreview || watched == topPreview) {
            auto* drag = static_cast<QDragEnterEvent*>(event);
            if (IsCoverImageFile(DroppedImage(drag->mimeData()))) {
                drag->acceptProposedAction();
                return true;
            }
        }
        break;
    case QEvent::Drop:
        if (watched == view || watched == frontPreview || watched == sidePreview || watched == topPreview) {
            auto* drop = static_cast<QDropEvent*>(event);
            const QString file = DroppedImage(drop->mimeData());
            if (!file.isEmpty()) {
                drop->acceptProposedAction();
                const int slot = watched == sidePreview ? LeftRight : watched == topPreview ? TopBottom : FrontBack;
                SelectCoverImage(slot, false, file);
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}
