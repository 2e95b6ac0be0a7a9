#pragma once
// A panel that hosts one OpenGL context: on its first paint it raises
// OnGLInit, OnGLPrep and OnResize and draws the first frame. After that a
// frame (OnGLChanges, OnGLDraw, then present) is drawn only when one is
// requested, at the next display refresh, so an unchanged view costs nothing
// and a changing one never outruns the display.
//
// The context is current only inside these callbacks: the owner's handlers
// record what changed and ask for a frame (or for RequestChanges), and the
// callbacks make the GL calls.
#include "render/LiveSamples.h"
#include "render/SceneDriver.h"

#include <QElapsedTimer>
#include <QOpenGLWidget>
#include <QTimer>

#include <functional>

class GLPanel : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit GLPanel(QWidget* parent = nullptr);
    ~GLPanel() override;

    using Notify = std::function<void(GLPanel*)>;
    Notify OnGLInit;
    Notify OnGLPrep;
    Notify OnGLDraw;
    Notify OnResize;
    // Raised before each frame is drawn, and on its own after RequestChanges:
    // where the owner applies to the GL what its handlers recorded.
    Notify OnGLChanges;
    // Raised once by ReleaseGL, while the context still exists.
    Notify OnGLRelease;
    std::function<void(GLPanel*, int fps)> OnShowFPS;
    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseMove;
    std::function<void(QMouseEvent*)> OnMouseUp;

    // The scene driver of this panel's context.
    SceneDriver& Driver() { return driver_; }

    bool Active() const { return active_; }
    // False holds requested frames (none is drawn) until it is true again;
    // the frame in progress still ends.
    void SetActive(bool value);
    // Books one frame at the next display refresh. Requests made before it
    // is drawn make that one frame; one from the draw handler books the next.
    void RequestFrame();
    // True while a requested frame waits to be drawn.
    bool FramePending() const { return frameBooked_; }
    // Draws and presents one frame at once, whatever is booked; the frame
    // booked before it is then drawn already.
    void RenderNow();
    // Raises OnGLChanges soon, without drawing a frame (e.g. rows of a
    // texture that is not shown yet).
    void RequestChanges();
    // Runs `read` with the context current, on the frame last drawn (the
    // Write command's capture). False when there is no context yet.
    bool ReadFrame(const std::function<void()>& read);
    // With the context current (inside OnGLDraw or ReadFrame): draws the
    // output's frame with `samples` per pixel into the panel's framebuffer.
    // False, with nothing drawn, for one sample or a count the GL cannot
    // make: the caller draws the plain frame.
    bool DrawWithSamples(int samples, QSize output, const std::function<void()>& draw);
    // The samples of the frame the panel holds (1: the plain frame).
    int ShownSamples() const { return shownSamples_; }
    // Raises OnGLRelease once, so textures go with their context. False when
    // there never was a context: nothing of the GL's needs freeing.
    bool ReleaseGL();

    // True while a frame is being drawn: GL changes made now show in it.
    bool InFrame() const { return inFrame_; }
    bool FirstPaintPending() const { return firstPaintPending_; }
    int FramesDrawn() const { return framesDrawn_; }
    int BufferSwaps() const { return bufferSwaps_; }
    QTimer& FpsTimer() { return fpsTimer_; }
    // The drawing surface in device pixels.
    QSize PixelSize() const;

protected:
    void initializeGL() override;
    void resizeGL(int w, int h) override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    bool MakeCurrent();
    void FrameRoutine();
    void DrawFrame();
    void ScheduleNextFrame();
    void ReportFps();
    int FrameIntervalMs() const;
    bool OnScreen() const;
    static constexpr int HiddenPollMs = 250;

    SceneDriver driver_;
    LiveSamples samples_;
    QTimer fpsTimer_;
    QTimer loopTimer_;
    QElapsedTimer frameClock_;
    bool firstPaintPending_ = true;
    bool active_ = true;
    bool contentStale_ = false;
    bool frameBooked_ = false;
    bool hiddenSinceFrame_ = false;
    bool inFrame_ = false;
    bool changesBooked_ = false;
    bool released_ = false;
    int framesDrawn_ = 0;
    int bufferSwaps_ = 0;
    int shownSamples_ = 1;
};
