#pragma once
// A panel that hosts one OpenGL context and keeps drawing: on its first paint
// it raises OnGLInit, OnGLPrep and OnResize, then runs a render loop that
// raises OnGLDraw and presents the frame, paced by the event loop so every
// handler runs between two frames and the view never outruns the display.
#include "gl/PixelFormat.h"

#include <QElapsedTimer>
#include <QOpenGLWidget>
#include <QTimer>

#include <functional>

class TGLPanel : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TGLPanel(QWidget* parent = nullptr);
    ~TGLPanel() override;

    using Notify = std::function<void(TGLPanel*)>;
    Notify OnGLInit;
    Notify OnGLPrep;
    Notify OnGLDraw;
    Notify OnResize;
    std::function<void(TGLPanel*, int fps)> OnShowFPS;
    std::function<void(QMouseEvent*)> OnMouseDown;
    std::function<void(QMouseEvent*)> OnMouseMove;
    std::function<void(QMouseEvent*)> OnMouseUp;

    TPFDFlags GLFlags() const { return format_.GLFlags(); }
    TPFDPixelTypes GLPixelType() const { return format_.GLPixelType(); }
    TPFDLayerTypes GLLayerType() const { return format_.GLLayerType(); }
    std::uint32_t GLColorBits() const { return format_.GLColorBits(); }
    std::uint32_t GLDepthBits() const { return format_.GLDepthBits(); }
    void SetGLFlags(TPFDFlags flags) { format_.SetGLFlags(flags); }
    void SetGLPixelType(TPFDPixelTypes types) { format_.SetGLPixelType(types); }
    void SetGLLayerType(TPFDLayerTypes types) { format_.SetGLLayerType(types); }
    void SetGLColorBits(std::uint32_t bits) { format_.SetGLColorBits(bits); }
    void SetGLDepthBits(std::uint32_t bits) { format_.SetGLDepthBits(bits); }
    const PixelFormatState& PixelFormat() const { return format_; }

    bool Active() const { return active_; }
    // True runs the render loop (once the context exists); false ends it
    // after the frame in progress.
    void SetActive(bool value);
    // Draws and presents one frame at once, whatever the loop is doing.
    void RenderNow();
    // Makes the panel's context current, e.g. before a texture upload from a handler.
    bool MakeCurrent();

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

private:
    void FrameRoutine();
    void ScheduleNextFrame();
    void ReportFps();
    int FrameIntervalMs() const;
    bool OnScreen() const;
    static constexpr int HiddenPollMs = 250;

    PixelFormatState format_;
    QTimer fpsTimer_;
    QTimer loopTimer_;
    QElapsedTimer frameClock_;
    bool firstPaintPending_ = true;
    bool active_ = true;
    bool contentStale_ = false;
    bool inFrame_ = false;
    int framesDrawn_ = 0;
    int bufferSwaps_ = 0;
};
