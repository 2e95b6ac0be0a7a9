#pragma once
// One frame of the box without a window: the window's drawing (BoxRenderer
// and SceneDriver) into a HeadlessContext of the output size.
#include "engine/HeadlessBox.h"
#include "engine/PhaseClock.h"
#include "concurrency/ParallelWork.h"
#include "render/ViewFit.h"

#include <QImage>
#include <QSize>

#include <memory>
#include <optional>
#include <vector>

struct RenderRequest {
    QSize Size;
    int Samples = 1;
    bool Transparent = false;
    // The view moved to fit the picture before it is drawn; the box's
    // document then holds the fitted depth and offsets.
    std::optional<FitRequest> Fit;
};

// What a command's options ask of a render: the size, the box's samples
// (the project's, or --samples), transparency and the fit.
RenderRequest RenderRequestOf(const HeadlessBox& box, const RenderOptions& options, QSize size);

class HeadlessContext;
class GLTexture;

// The GL side of a finished render (the context and the textures in it),
// freed aside while the picture is encoded: a few hundred megabytes of
// texture memory take a while to give back.
class GLTeardown {
public:
    GLTeardown() = default;
    GLTeardown(const GLTeardown&) = delete;
    GLTeardown& operator=(const GLTeardown&) = delete;
    ~GLTeardown() = default; // waits for it, or frees it here when no thread took it

    void Start(std::unique_ptr<HeadlessContext> context, std::vector<std::unique_ptr<GLTexture>> textures);

private:
    std::optional<RunAside> freeing_;
};

// Upright RGBA8888 picture. Throws JobError when a cover is damaged,
// no usable OpenGL is there or the size or sample count cannot be had. The
// context is made while the covers are still being read; the cover pictures
// are handed over to the slots' textures.
// With a teardown, the GL side is handed to it instead of being freed on
// the way out.
QImage RenderBox(HeadlessBox& box, PendingCovers& covers, const RenderRequest& request,
                 PhaseClock& clock, GLTeardown* teardown = nullptr);

// The background colour of the second pass of a transparent render: each
// channel as far from the first as it can be.
QRgb ContrastColor(QRgb background);

// Alpha from two renders that differ only in the background colour: where
// the box covers a pixel both agree, where only background shows they differ
// by the colours' difference, and along anti-aliased edges by a share of it.
// Pixels the background quad does not reach keep the clear alpha of 0. The
// colours of fully covered pixels are those of `normal`; partly covered ones
// are unmixed from the background.
QImage CombineTransparent(const QImage& normal, const QImage& contrast, QRgb background,
                          QRgb contrastBackground);
