#include "gl/ui/TGLPanel.h"

#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

TGLPanel::TGLPanel(QWidget* parent) : QOpenGLWidget(parent)
{
    setFormat(format_.SurfaceFormat());
    // Frames are drawn outside paint events; keep the framebuffer between them.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    fpsTimer_.setInterval(1000);
    connect(&fpsTimer_, &QTimer::timeout, this, &TGLPanel::ReportFps);
    fpsTimer_.start();
    loopTimer_.setSingleShot(true);
    loopTimer_.setTimerType(Qt::PreciseTimer);
    connect(&loopTimer_, &QTimer::timeout, this, [this] {
        if (!active_ || !frameBooked_)
            return;
        // A minimised or hidden window shows nothing: the booked frame waits,
        // looked at again a few times a second, instead of being drawn for no one.
        if (!OnScreen()) {
            loopTimer_.start(HiddenPollMs);
            return;
        }
        FrameRoutine();
    });
}

TGLPanel::~TGLPanel()
{
    loopTimer_.stop();
    fpsTimer_.stop();
}

QSize TGLPanel::PixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(width() * ratio)),
                 static_cast<int>(std::lround(height() * ratio)));
}

void TGLPanel::SetActive(bool value)
{
    active_ = value;
    if (!active_) {
        loopTimer_.stop(); // a booked frame stays booked
        return;
    }
    ScheduleNextFrame();
}

void TGLPanel::RequestFrame()
{
    frameBooked_ = true;
    ScheduleNextFrame();
}

bool TGLPanel::MakeCurrent()
{
    if (firstPaintPending_ || released_ || !context())
        return false;
    makeCurrent();
    return true;
}

void TGLPanel::RequestChanges()
{
    if (changesBooked_)
        return;
    changesBooked_ = true;
    QTimer::singleShot(0, this, [this] {
        changesBooked_ = false;
        // A frame drawn meanwhile applied them already; one in progress will.
        if (!inFrame_ && OnGLChanges && MakeCurrent())
            OnGLChanges(this);
    });
}

bool TGLPanel::ReadFrame(const std::function<void()>& read)
{
    if (inFrame_ || !MakeCurrent())
        return false;
    read();
    return true;
}

bool TGLPanel::ReleaseGL()
{
    if (!MakeCurrent())
        return false;
    released_ = true;
    loopTimer_.stop();
    if (OnGLRelease)
        OnGLRelease(this);
    doneCurrent();
    return true;
}

void TGLPanel::RenderNow()
{
    if (firstPaintPending_)
        return; // no context yet: the first paint will draw
    FrameRoutine();
}

void TGLPanel::initializeGL()
{
    // The context exists now: this is the first paint.
    firstPaintPending_ = false;
    format_.PixelFormatChanged = false;
    if (OnGLInit)
        OnGLInit(this);
    if (OnGLPrep)
        OnGLPrep(this);
}

void TGLPanel::resizeGL(int, int)
{
    framesDrawn_ = 0;
    fpsTimer_.stop();
    contentStale_ = true; // the framebuffer was made anew
    struct Restart {
        QTimer& timer;
        ~Restart() { timer.start(); }
    } restart{fpsTimer_};
    if (OnResize)
        OnResize(this);
}

void TGLPanel::paintGL()
{
    // Qt paints for exposure and for presenting; a frame is only drawn here
    // the first time and when a resize discarded the last one.
    if (released_ || (frameClock_.isValid() && !contentStale_))
        return;
    contentStale_ = false;
    DrawFrame();
}

void TGLPanel::FrameRoutine()
{
    if (inFrame_ || released_ || !context())
        return;
    makeCurrent();
    // A live context keeps the surface format it was made with; a changed
    // request is acknowledged here and has no further effect.
    format_.PixelFormatChanged = false;
    DrawFrame();
    if (format_.GLFlags().Contains(GLf_DOUBLEBUFFER)) {
        ++bufferSwaps_;
        update(); // present the framebuffer with the next composition
    }
}

void TGLPanel::DrawFrame()
{
    if (inFrame_)
        return;
    inFrame_ = true;
    // This frame shows everything requested so far. A request from its
    // handler, even one that then throws, books the next frame.
    frameBooked_ = false;
    loopTimer_.stop();
    struct Leave {
        TGLPanel& panel;
        ~Leave()
        {
            panel.inFrame_ = false;
            panel.ScheduleNextFrame();
        }
    } leave{*this};
    if (frameClock_.isValid())
        frameClock_.restart();
    else
        frameClock_.start();
    if (OnGLChanges)
        OnGLChanges(this);
    if (OnGLDraw)
        OnGLDraw(this);
    ++framesDrawn_;
}

bool TGLPanel::OnScreen() const
{
    const QWidget* top = window();
    if (!isVisible() || top->isMinimized())
        return false;
    const QWindow* handle = top->windowHandle();
    return !handle || handle->isExposed();
}

int TGLPanel::FrameIntervalMs() const
{
    qreal rate = 60.0;
    if (const QScreen* s = screen(); s && s->refreshRate() >= 1.0)
        rate = s->refreshRate();
    return std::max(1, static_cast<int>(std::floor(1000.0 / rate)));
}

void TGLPanel::ScheduleNextFrame()
{
    // Nothing is booked before the first paint: it draws the frame anyway.
    if (!active_ || !frameBooked_ || firstPaintPending_ || inFrame_ || loopTimer_.isActive())
        return;
    // At most one frame per refresh; a request long after the last frame is drawn at once.
    const qint64 spent = frameClock_.isValid() ? frameClock_.elapsed() : 0;
    loopTimer_.start(static_cast<int>(std::max<qint64>(0, FrameIntervalMs() - spent)));
}

void TGLPanel::ReportFps()
{
    if (OnShowFPS)
        OnShowFPS(this, framesDrawn_);
    framesDrawn_ = 0;
}

void TGLPanel::showEvent(QShowEvent* event)
{
    QOpenGLWidget::showEvent(event);
    // Shown again after a hide (or a minimise): draw its frame now rather
    // than at the next hidden-window check.
    if (!std::exchange(hiddenSinceFrame_, false) || !frameClock_.isValid())
        return;
    frameBooked_ = true;
    loopTimer_.stop();
    ScheduleNextFrame();
}

void TGLPanel::hideEvent(QHideEvent* event)
{
    QOpenGLWidget::hideEvent(event);
    hiddenSinceFrame_ = true;
}

void TGLPanel::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown)
        OnMouseDown(event);
}

void TGLPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove(event);
}

void TGLPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp)
        OnMouseUp(event);
}
