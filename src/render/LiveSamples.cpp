#include "render/LiveSamples.h"

#include "render/SceneDriver.h"
#include "render/Supersample.h"

#include <QImage>

#include <new>

namespace {

void ClearErrors()
{
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

// Whatever the frame bound, the caller's framebuffers are bound again.
struct KeepBindings {
    GLint draw = 0, read = 0;
    KeepBindings()
    {
        glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &draw);
        glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    }
    ~KeepBindings()
    {
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, static_cast<GLuint>(draw));
        glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    }
};

// The target as the plain frame leaves it outside the output: cleared with
// the frame's clear colour (a panel a pixel larger than the output).
void ClearTarget(GLuint target)
{
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

} // namespace

bool LiveSamples::Draw(GLApi& gl, GLuint target, QSize output, int samples, const std::function<void()>& drawFrame)
{
    if (samples <= 1 || output.isEmpty())
        return false;
    if (output == refusedSize_ && samples == refusedSamples_)
        return false;
    if (maxSamples_ < 0)
        maxSamples_ = CurrentMaxSamples();
    const SamplePlan plan = PlanSamples(samples, maxSamples_);
    bool drawn = false;
    if (plan.Factor == 1) {
        if (MakeBuffers(output, plan.Multisample))
            drawn = DrawMultisampled(gl, target, output, drawFrame);
    } else {
        drawn = DrawSupersampled(gl, target, output, samples, drawFrame);
    }
    if (!drawn) {
        refusedSize_ = output;
        refusedSamples_ = samples;
        Release();
        // The plain frame draws into the target with the view's projection.
        glBindFramebuffer(GL_FRAMEBUFFER, target);
        SceneDriver().SetViewport(gl, output.width(), output.height());
    }
    return drawn;
}

bool LiveSamples::MakeBuffers(QSize size, int samples)
{
    if (fbo_ != 0 && size == size_ && samples == multisample_)
        return true;
    Release();
    ClearErrors();
    KeepBindings keep;
    glGenFramebuffers(1, &fbo_);
    glGenRenderbuffers(1, &colour_);
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_RGBA8, size.width(), size.height());
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH_COMPONENT24, size.width(), size.height());
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    if (!complete || glGetError() != GL_NO_ERROR) {
        Release();
        return false;
    }
    size_ = size;
    multisample_ = samples;
    return true;
}

bool LiveSamples::DrawMultisampled(GLApi& gl, GLuint target, QSize output, const std::function<void()>& drawFrame)
{
    glBindFramebuffer(GL_FRAMEBUFFER, fbo_);
    SceneDriver().SetViewport(gl, output.width(), output.height());
    drawFrame();
    ClearTarget(target);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, fbo_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    // A resolve, as the writer's: the same samples give the same pixels.
    glBlitFramebuffer(0, 0, output.width(), output.height(), 0, 0, output.width(), output.height(),
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_FRAMEBUFFER, target);
    return true;
}

bool LiveSamples::DrawSupersampled(GLApi& gl, GLuint target, QSize output, int samples,
                                   const std::function<void()>& drawFrame)
{
    multisample_ = 0;
    QImage picture;
    try {
        picture = RenderWithSamples(gl, output, PlanSamples(samples, maxSamples_), drawFrame);
    } catch (const SampleError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
    ClearErrors();
    KeepBindings keep;
    if (copyFbo_ == 0 || copySize_ != output) {
        if (copyFbo_ != 0) {
            glDeleteFramebuffers(1, &copyFbo_);
            glDeleteTextures(1, &copyTexture_);
        }
        glGenTextures(1, &copyTexture_);
        GLint bound = 0;
        glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
        glBindTexture(GL_TEXTURE_2D, copyTexture_);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, output.width(), output.height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     nullptr);
        glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
        glGenFramebuffers(1, &copyFbo_);
        glBindFramebuffer(GL_FRAMEBUFFER, copyFbo_);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, copyTexture_, 0);
        copySize_ = output;
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE || glGetError() != GL_NO_ERROR)
            return false;
    }
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    glBindTexture(GL_TEXTURE_2D, copyTexture_);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    // The picture is upright: the copy below turns it back to the GL's rows.
    glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, output.width(), output.height(), GL_RGBA, GL_UNSIGNED_BYTE,
                    picture.constBits());
    glBindTexture(GL_TEXTURE_2D, static_cast<GLuint>(bound));
    ClearTarget(target);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, copyFbo_);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, target);
    glBlitFramebuffer(0, output.height(), output.width(), 0, 0, 0, output.width(), output.height(),
                      GL_COLOR_BUFFER_BIT, GL_NEAREST);
    return glGetError() == GL_NO_ERROR;
}

void LiveSamples::Release()
{
    if (fbo_ != 0)
        glDeleteFramebuffers(1, &fbo_);
    if (colour_ != 0)
        glDeleteRenderbuffers(1, &colour_);
    if (depth_ != 0)
        glDeleteRenderbuffers(1, &depth_);
    if (copyFbo_ != 0)
        glDeleteFramebuffers(1, &copyFbo_);
    if (copyTexture_ != 0)
        glDeleteTextures(1, &copyTexture_);
    fbo_ = colour_ = depth_ = copyFbo_ = copyTexture_ = 0;
    size_ = copySize_ = QSize();
    multisample_ = 0;
}
