#pragma once
// An OpenGL compatibility-profile context with no window: EGL (surfaceless
// Mesa, else an EGL device, else the default display) rendering into a
// framebuffer object of a given size. The FBO stays bound, so plain
// glReadPixels (and CaptureViewportImage) reads what was drawn.
#include <QImage>

#include <cstdint>
#include <stdexcept>
#include <thread>
#include <vector>

class HeadlessContextError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct HeadlessLimits {
    int MaxRenderbufferSize = 0;
    int MaxViewportWidth = 0;
    int MaxViewportHeight = 0;
    int MaxSamples = 0;
};

class HeadlessContext {
public:
    // samples 1 renders without multisampling; 2..MaxSamples adds a resolve
    // buffer. The new context becomes current. Throws HeadlessContextError
    // with the reason when EGL or GL is missing or the size or sample count
    // cannot be had; what was current before then stays current. With
    // `shareWith`, textures and other objects are shared with that context
    // (which may be current on another thread).
    HeadlessContext(int width, int height, int samples = 1, const HeadlessContext* shareWith = nullptr);
    // If current, hands back to the context that was current at creation
    // (or to none; always none on another thread than the creating one).
    ~HeadlessContext();
    HeadlessContext(const HeadlessContext&) = delete;
    HeadlessContext& operator=(const HeadlessContext&) = delete;

    void MakeCurrent();
    // Leaves no context current on this thread, so another can take it.
    void Detach();
    // New buffers of another size; on failure the old ones stay as they were.
    void Resize(int width, int height);

    int Width() const { return width_; }
    int Height() const { return height_; }
    int Samples() const { return samples_; }
    const HeadlessLimits& Limits() const { return limits_; }

    // With multisampling: copies the picture into the resolve buffer and
    // leaves that as the read target (drawing still goes to the multisample
    // one). Must come before any read-back; a no-op without multisampling.
    void Resolve();
    // RGBA, bottom row first, Width x Height x 4 bytes. Resolves first.
    std::vector<std::uint8_t> ReadPixels();
    // Upright RGBA8888 copy of the picture. Resolves first.
    QImage ReadImage();

private:
    struct Buffers {
        unsigned drawFbo = 0, colorRb = 0, depthRb = 0;
        unsigned resolveFbo = 0, resolveRb = 0;
    };
    Buffers MakeBuffers(int width, int height, int samples);
    void FreeBuffers(Buffers& b);
    void BindBuffers();
    void CheckSize(int width, int height) const;

    void* display_ = nullptr;
    void* context_ = nullptr;
    // What was current before us, put back when we go.
    void* previousDisplay_ = nullptr;
    void* previousContext_ = nullptr;
    void* previousDraw_ = nullptr;
    void* previousRead_ = nullptr;
    std::thread::id owner_ = std::this_thread::get_id();

    int width_ = 0;
    int height_ = 0;
    int samples_ = 1;
    HeadlessLimits limits_;
    Buffers buffers_;
};
