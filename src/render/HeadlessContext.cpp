#include "render/HeadlessContext.h"

#include "render/GLExtensions.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", value);
    return text;
}

bool InitializeDisplay(EGLDisplay display)
{
    if (display == EGL_NO_DISPLAY)
        return false;
    EGLint major = 0, minor = 0;
    return eglInitialize(display, &major, &minor) == EGL_TRUE;
}

EGLDisplay OpenDisplay()
{
    const char* client = eglQueryString(EGL_NO_DISPLAY, EGL_EXTENSIONS);
    const auto getPlatformDisplay = reinterpret_cast<PFNEGLGETPLATFORMDISPLAYEXTPROC>(
        eglGetProcAddress("eglGetPlatformDisplayEXT"));

    if (getPlatformDisplay && HasExtensionName(client, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (InitializeDisplay(d))
            return d;
    }
    if (getPlatformDisplay && HasExtensionName(client, "EGL_EXT_platform_device")) {
        const auto queryDevices =
            reinterpret_cast<PFNEGLQUERYDEVICESEXTPROC>(eglGetProcAddress("eglQueryDevicesEXT"));
        EGLDeviceEXT devices[8] = {};
        EGLint count = 0;
        if (queryDevices && queryDevices(8, devices, &count)) {
            for (EGLint i = 0; i < count; ++i) {
                EGLDisplay d = getPlatformDisplay(EGL_PLATFORM_DEVICE_EXT, devices[i], nullptr);
                if (InitializeDisplay(d))
                    return d;
            }
        }
    }
    EGLDisplay d = eglGetDisplay(EGL_DEFAULT_DISPLAY);
    if (InitializeDisplay(d))
        return d;
    return EGL_NO_DISPLAY;
}

// One display for the whole process, opened on first use and never
// terminated: eglTerminate would end every context on it (also those of
// other users of the same display) and unload the driver, which costs a
// driver load on every new context.
std::mutex displayMutex;
EGLDisplay sharedDisplay = EGL_NO_DISPLAY;

EGLDisplay AcquireDisplay()
{
    std::lock_guard<std::mutex> lock(displayMutex);
    if (sharedDisplay == EGL_NO_DISPLAY)
        sharedDisplay = OpenDisplay();
    if (sharedDisplay == EGL_NO_DISPLAY)
        throw HeadlessContextError(
            "No OpenGL without a window: no EGL display could be opened (tried the surfaceless "
            "Mesa platform, EGL devices and the default display; EGL error " +
            Hex(static_cast<unsigned>(eglGetError())) + ")");
    return sharedDisplay;
}

EGLContext CreateContext(EGLDisplay display, EGLContext share)
{
    if (!eglBindAPI(EGL_OPENGL_API))
        throw HeadlessContextError("This EGL has no desktop OpenGL (EGL error " +
                                   Hex(static_cast<unsigned>(eglGetError())) + ")");
    // No window surface is ever made, so any surface type will do (mask 0).
    const EGLint configAttributes[] = {EGL_SURFACE_TYPE, 0, EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT,
                                       EGL_RED_SIZE, 8, EGL_GREEN_SIZE, 8, EGL_BLUE_SIZE, 8,
                                       EGL_NONE};
    EGLConfig config = nullptr;
    EGLint found = 0;
    if (!eglChooseConfig(display, configAttributes, &config, 1, &found) || found < 1) {
        if (!HasExtensionName(eglQueryString(display, EGL_EXTENSIONS), "EGL_KHR_no_config_context"))
            throw HeadlessContextError("This EGL offers no configuration for desktop OpenGL");
        config = EGL_NO_CONFIG_KHR;
    }
    const EGLint compatibility[] = {EGL_CONTEXT_OPENGL_PROFILE_MASK,
                                    EGL_CONTEXT_OPENGL_COMPATIBILITY_PROFILE_BIT, EGL_NONE};
    EGLContext context = eglCreateContext(display, config, share, compatibility);
    if (context == EGL_NO_CONTEXT) // EGL 1.4 without profiles: the default is compatible
        context = eglCreateContext(display, config, share, nullptr);
    if (context == EGL_NO_CONTEXT)
        throw HeadlessContextError("Could not create an OpenGL context (EGL error " +
                                   Hex(static_cast<unsigned>(eglGetError())) + ")");
    return context;
}

// EGL answers "which context is current" for the thread's bound API, and a
// thread that never chose one has OpenGL ES bound: without this, a thread
// that took over a context (to free it, or a render worker) would not see
// it as current, never release it and leave it stuck to the thread.
void UseOpenGL() { eglBindAPI(EGL_OPENGL_API); }

void DrainGLErrors()
{
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}

bool HasFramebufferObjects()
{
    const auto* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version)
        return false;
    if (std::atoi(version) >= 3)
        return true;
    return HasExtensionName(reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS)),
                        "GL_ARB_framebuffer_object");
}

} // namespace

HeadlessContext::HeadlessContext(int width, int height, int samples, const HeadlessContext* shareWith)
{
    if (samples < 1)
        throw HeadlessContextError("The sample count must be 1 (off) or more, not " +
                                   std::to_string(samples));
    if (width < 1 || height < 1)
        throw HeadlessContextError("A picture of " + std::to_string(width) + " x " +
                                   std::to_string(height) + " pixels cannot be rendered");

    UseOpenGL();
    previousDisplay_ = eglGetCurrentDisplay();
    previousContext_ = eglGetCurrentContext();
    previousDraw_ = eglGetCurrentSurface(EGL_DRAW);
    previousRead_ = eglGetCurrentSurface(EGL_READ);

    display_ = AcquireDisplay();
    try {
        context_ = CreateContext(display_, shareWith ? shareWith->context_ : EGL_NO_CONTEXT);
        if (!HasExtensionName(eglQueryString(display_, EGL_EXTENSIONS), "EGL_KHR_surfaceless_context"))
            throw HeadlessContextError("This EGL cannot make a context current without a surface");
        if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_))
            throw HeadlessContextError("Could not make the OpenGL context current (EGL error " +
                                       Hex(static_cast<unsigned>(eglGetError())) + ")");
        if (!HasFramebufferObjects())
            throw HeadlessContextError("This OpenGL has no framebuffer objects");

        glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &limits_.MaxRenderbufferSize);
        GLint dims[2] = {0, 0};
        glGetIntegerv(GL_MAX_VIEWPORT_DIMS, dims);
        limits_.MaxViewportWidth = dims[0];
        limits_.MaxViewportHeight = dims[1];
        glGetIntegerv(GL_MAX_SAMPLES, &limits_.MaxSamples);

        if (samples > 1 && samples > limits_.MaxSamples)
            throw HeadlessContextError(std::to_string(samples) +
                                       " samples asked for; this OpenGL offers at most " +
                                       std::to_string(limits_.MaxSamples));
        CheckSize(width, height);
        buffers_ = MakeBuffers(width, height, samples);
    } catch (...) {
        if (context_) {
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
            eglDestroyContext(display_, context_);
        }
        if (previousContext_ != EGL_NO_CONTEXT)
            eglMakeCurrent(previousDisplay_, previousDraw_, previousRead_, previousContext_);
        throw;
    }
    width_ = width;
    height_ = height;
    samples_ = samples;
    BindBuffers();
}

HeadlessContext::~HeadlessContext()
{
    // The context's own buffers go with it; only the current binding needs care.
    UseOpenGL();
    if (eglGetCurrentContext() == context_) {
        // What was current at creation belongs to the creating thread.
        const bool restored = owner_ == std::this_thread::get_id() &&
                              previousContext_ != EGL_NO_CONTEXT &&
                              eglMakeCurrent(previousDisplay_, previousDraw_, previousRead_,
                                             previousContext_) == EGL_TRUE;
        if (!restored)
            eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    }
    eglDestroyContext(display_, context_);
}

void HeadlessContext::MakeCurrent()
{
    UseOpenGL();
    if (eglGetCurrentContext() == context_)
        return;
    if (!eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, context_))
        throw HeadlessContextError("Could not make the OpenGL context current (EGL error " +
                                   Hex(static_cast<unsigned>(eglGetError())) + ")");
}

void HeadlessContext::Detach()
{
    UseOpenGL();
    if (eglGetCurrentContext() == context_)
        eglMakeCurrent(display_, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
}

void HeadlessContext::CheckSize(int width, int height) const
{
    const int maxWidth = std::min(limits_.MaxRenderbufferSize, limits_.MaxViewportWidth);
    const int maxHeight = std::min(limits_.MaxRenderbufferSize, limits_.MaxViewportHeight);
    if (width < 1 || height < 1 || width > maxWidth || height > maxHeight)
        throw HeadlessContextError("A picture of " + std::to_string(width) + " x " +
                                   std::to_string(height) +
                                   " pixels cannot be rendered; this OpenGL allows at most " +
                                   std::to_string(maxWidth) + " x " + std::to_string(maxHeight));
}

HeadlessContext::Buffers HeadlessContext::MakeBuffers(int width, int height, int samples)
{
    DrainGLErrors();
    Buffers b;
    const auto storage = [&](GLenum format, int sampleCount) {
        if (sampleCount > 1)
            glRenderbufferStorageMultisample(GL_RENDERBUFFER, sampleCount, format, width, height);
        else
            glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    };
    glGenFramebuffers(1, &b.drawFbo);
    glGenRenderbuffers(1, &b.colorRb);
    glGenRenderbuffers(1, &b.depthRb);
    glBindRenderbuffer(GL_RENDERBUFFER, b.colorRb);
    storage(GL_RGBA8, samples);
    glBindRenderbuffer(GL_RENDERBUFFER, b.depthRb);
    storage(GL_DEPTH_COMPONENT24, samples);
    glBindFramebuffer(GL_FRAMEBUFFER, b.drawFbo);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, b.colorRb);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, b.depthRb);
    GLenum status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    if (status == GL_FRAMEBUFFER_COMPLETE && samples > 1) {
        glGenFramebuffers(1, &b.resolveFbo);
        glGenRenderbuffers(1, &b.resolveRb);
        glBindRenderbuffer(GL_RENDERBUFFER, b.resolveRb);
        storage(GL_RGBA8, 1);
        glBindFramebuffer(GL_FRAMEBUFFER, b.resolveFbo);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, b.resolveRb);
        status = glCheckFramebufferStatus(GL_FRAMEBUFFER);
    }
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    const GLenum error = glGetError();
    if (status != GL_FRAMEBUFFER_COMPLETE || error != GL_NO_ERROR) {
        FreeBuffers(b);
        BindBuffers(); // back to the buffers we had, if any
        throw HeadlessContextError(
            "Can not allocate enough video memory for a picture of " + std::to_string(width) +
            " x " + std::to_string(height) + " pixels (framebuffer status " +
            Hex(status) + ", GL error " + Hex(error) + ")");
    }
    return b;
}

void HeadlessContext::FreeBuffers(Buffers& b)
{
    const GLuint fbos[2] = {b.drawFbo, b.resolveFbo};
    const GLuint rbs[3] = {b.colorRb, b.depthRb, b.resolveRb};
    glDeleteFramebuffers(2, fbos); // names of 0 are ignored
    glDeleteRenderbuffers(3, rbs);
    b = Buffers{};
}

void HeadlessContext::BindBuffers()
{
    glBindFramebuffer(GL_FRAMEBUFFER, buffers_.drawFbo);
    // Reads come from the resolved picture; drawing goes to the multisample one.
    if (buffers_.resolveFbo != 0)
        glBindFramebuffer(GL_READ_FRAMEBUFFER, buffers_.resolveFbo);
    if (buffers_.drawFbo != 0) {
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glViewport(0, 0, width_, height_);
    }
}

void HeadlessContext::Resize(int width, int height)
{
    MakeCurrent();
    CheckSize(width, height);
    Buffers fresh = MakeBuffers(width, height, samples_);
    FreeBuffers(buffers_);
    buffers_ = fresh;
    width_ = width;
    height_ = height;
    BindBuffers();
}

void HeadlessContext::Resolve()
{
    if (buffers_.resolveFbo == 0)
        return;
    MakeCurrent();
    // The blit obeys the scissor box; the whole picture is wanted.
    const GLboolean scissor = glIsEnabled(GL_SCISSOR_TEST);
    glDisable(GL_SCISSOR_TEST);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, buffers_.drawFbo);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, buffers_.resolveFbo);
    glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, buffers_.drawFbo);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, buffers_.resolveFbo);
    if (scissor)
        glEnable(GL_SCISSOR_TEST);
}

std::vector<std::uint8_t> HeadlessContext::ReadPixels()
{
    MakeCurrent();
    Resolve();
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

QImage HeadlessContext::ReadImage()
{
    QImage image(width_, height_, QImage::Format_RGBA8888);
    if (image.isNull())
        throw HeadlessContextError("Not enough memory for a picture of " + std::to_string(width_) +
                                   " x " + std::to_string(height_) + " pixels");
    // Read straight into the picture (its rows are unpadded: four bytes a
    // pixel), then turn it the right way up in place: no second buffer.
    MakeCurrent();
    Resolve();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, image.bits());
    const std::size_t row = static_cast<std::size_t>(width_) * 4;
    for (int y = 0; y < height_ / 2; ++y)
        std::swap_ranges(image.scanLine(y), image.scanLine(y) + row, image.scanLine(height_ - 1 - y));
    return image;
}
