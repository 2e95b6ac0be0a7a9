#include "window/GLPanel.h"

#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// Double-buffered RGB with 8 bits a channel and a deep depth buffer (Qt takes
// the closest the platform has, 24 bits here), in the compatibility profile
// so that immediate mode works, presented at the display's refresh.
QSurfaceFormat ViewFormat()
{
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(32);
    format.setSwapInterval(1);
    return format;
}

} // namespace

GLPanel::GLPanel(QWidget* parent) : QOpenGLWidget(parent)
{
    setFormat(ViewFormat());
    // Frames are drawn outside paint events; keep the framebuffer between them.
    setUpdateBehavior(QOpenGLWidget::PartialUpdate);
    fpsTimer_.setInterval(1000);
    connect(&fpsTimer_, &QTimer::timeout, this, &GLPanel::ReportFps);
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

GLPanel::~GLPanel()
{
    loopTimer_.stop();
    fpsTimer_.stop();
}

QSize GLPanel::PixelSize() const
{
    const qreal ratio = devicePixelRatioF();
    return QSize(static_cast<int>(std::lround(width() * ratio)),
                 static_cast<int>(std::lround(height() * ratio)));
}

void GLPanel::SetActive(bool value)
{
    active_ = value;
    if (!active_) {
        loopTimer_.stop(); // a booked frame stays booked
        return;
    }
    ScheduleNextFrame();
}

void GLPanel::RequestFrame()
{
    frameBooked_ = true;
    ScheduleNextFrame();
}

bool GLPanel::MakeCurrent()
{
    if (firstPaintPending_ || released_ || !context())
        return false;
    makeCurrent();
    return true;
}

void GLPanel::RequestChanges()
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

bool GLPanel::ReadFrame(const std::function<void()>& read)
{
    if (inFrame_ || !MakeCurrent())
        return false;
    read();
    return true;
}

bool GLPanel::ReleaseGL()
{
    if (!MakeCurrent())
        return false;
    released_ = true;
    loopTimer_.stop();
    samples_.Release();
    if (OnGLRelease)
        OnGLRelease(this);
    doneCurrent();
    return true;
}

bool GLPanel::DrawWithSamples(int samples, QSize output, const std::function<void()>& draw)
{
    const bool drawn = samples_.Draw(SystemGL(), defaultFramebufferObject(), output, samples, draw);
    shownSamples_ = drawn ? samples : 1;
    return drawn;
}

void GLPanel::RenderNow()
{
    if (firstPaintPending_)
        return; // no context yet: the first paint will draw
    FrameRoutine();
}

void GLPanel::initializeGL()
{
    // The context exists now: this is the first paint.
    firstPaintPending_ = false;
    if (OnGLInit)
        OnGLInit(this);
    if (OnGLPrep)
        OnGLPrep(this);
}

void GLPanel::resizeGL(int, int)
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

void GLPanel::paintGL()
{
    // Qt paints for exposure and for presenting; a frame is only drawn here
    // the first time and when a resize discarded the last one.
    if (released_ || (frameClock_.isValid() && !contentStale_))
        return;
    contentStale_ = false;
    DrawFrame();
}

void GLPanel::FrameRoutine()
{
    if (inFrame_ || released_ || !context())
        return;
    makeCurrent();
    DrawFrame();
    ++bufferSwaps_;
    update(); // present the framebuffer with the next composition
}

void GLPanel::DrawFrame()
{
    if (inFrame_)
        return;
    inFrame_ = true;
    // This frame shows everything requested so far. A request from its
    // handler, even one that then throws, books the next frame.
    frameBooked_ = false;
    loopTimer_.stop();
    struct Leave {
        GLPanel& panel;
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

bool GLPanel::OnScreen() const
{
    const QWidget* top = window();
    if (!isVisible() || top->isMinimized())
        return false;
    const QWindow* handle = top->windowHandle();
    return !handle || handle->isExposed();
}

int GLPanel::FrameIntervalMs() const
{
    qreal rate = 60.0;
    if (const QScreen* s = screen(); s && s->refreshRate() >= 1.0)
        rate = s->refreshRate();
    return std::max(1, static_cast<int>(std::floor(1000.0 / rate)));
}

void GLPanel::ScheduleNextFrame()
{
    // Nothing is booked before the first paint: it draws the frame anyway.
    if (!active_ || !frameBooked_ || firstPaintPending_ || inFrame_ || loopTimer_.isActive())
        return;
    // At most one frame per refresh; a request long after the last frame is drawn at once.
    const qint64 spent = frameClock_.isValid() ? frameClock_.elapsed() : 0;
    loopTimer_.start(static_cast<int>(std::max<qint64>(0, FrameIntervalMs() - spent)));
}

void GLPanel::ReportFps()
{
    if (OnShowFPS)
        OnShowFPS(this, framesDrawn_);
    framesDrawn_ = 0;
}

void GLPanel::showEvent(QShowEvent* event)
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

void GLPanel::hideEvent(QHideEvent* event)
{
    QOpenGLWidget::hideEvent(event);
    hiddenSinceFrame_ = true;
}

void GLPanel::mousePressEvent(QMouseEvent* event)
{
    if (OnMouseDown)
        OnMouseDown(event);
}

void GLPanel::mouseMoveEvent(QMouseEvent* event)
{
    if (OnMouseMove)
        OnMouseMove(event);
}

void GLPanel::mouseReleaseEvent(QMouseEvent* event)
{
    if (OnMouseUp)
        OnMouseUp(event);
}
