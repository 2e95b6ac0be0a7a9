#pragma once
// A view's frames drawn with the looks' samples, the way the written
// picture is: the GL's multisampling into buffers of its own, resolved into
// the view's framebuffer; beyond the GL's samples the writer's supersampling
// (RenderWithSamples), its picture then copied in. The buffers stay between
// frames and are made anew only when the size or the count changes.
#include "render/GLApi.h"

#include <QSize>

#include <functional>

class LiveSamples {
public:
    LiveSamples() = default;
    ~LiveSamples() = default; // GL objects go with Release or their context
    LiveSamples(const LiveSamples&) = delete;
    LiveSamples& operator=(const LiveSamples&) = delete;

    // Draws one frame of the output size into framebuffer `target` (its
    // lower left), with the viewport and projection set for it as
    // SceneDriver::SetViewport does; drawFrame draws the scene. False, with
    // nothing drawn, for one sample or when the GL cannot make the buffers:
    // the caller then draws the plain frame. Needs the context current.
    bool Draw(GLApi& gl, GLuint target, QSize output, int samples, const std::function<void()>& drawFrame);

    // Frees the buffers; the context must be current.
    void Release();

    // The GL samples per pixel of the last multisampled frame (0: none yet,
    // or the frame was supersampled).
    int Multisample() const { return multisample_; }

private:
    bool MakeBuffers(QSize size, int samples);
    bool DrawMultisampled(GLApi& gl, GLuint target, QSize output, const std::function<void()>& drawFrame);
    bool DrawSupersampled(GLApi& gl, GLuint target, QSize output, int samples,
                          const std::function<void()>& drawFrame);

    int maxSamples_ = -1;   // GL_MAX_SAMPLES, asked once
    GLuint fbo_ = 0;        // multisampled colour + depth
    GLuint colour_ = 0, depth_ = 0;
    GLuint copyFbo_ = 0;    // a supersampled picture on its way to the target
    GLuint copyTexture_ = 0;
    QSize size_, copySize_;
    int multisample_ = 0;
    // The size and count the GL refused: not tried again every frame.
    QSize refusedSize_;
    int refusedSamples_ = 0;
};
