#pragma once
// Where a frame draws anything, measured as drawn: the frame is drawn small
// into the lower left corner of the current framebuffer over two
// backgrounds, read back, and what is not plain background in the pair
// (the product, its shadow, its reflection, as the picture's alpha would
// count it) is bounded. Works for whatever the renderer draws.
#include "render/BoxRenderer.h"
#include "render/ViewFit.h"

#include <QSize>

struct MeasureSetup {
    QSize Picture;       // the real picture: its shape
    QSize Room;          // the current framebuffer's size: the most to draw in
    int LongSide = 480;  // the measurement's longer side, at most
};

// Draws twice with `renderer`; the caller's frame, drawn afterwards, clears
// the corner again. Leaves the clear colour black and transparent, and the
// viewport and projection as SceneDriver::SetViewport makes them for Room.
FrameBounds MeasureFrameBounds(BoxRenderer& renderer, const SlotTextures& textures, const BoxParameters& view,
                               float reach, const MeasureSetup& setup, GLApi& gl = SystemGL());

// The view fitted as drawn by `renderer`: with angles in `fit`, one framing
// that holds every frame of them (the union of what each draws).
FitOutcome FitDrawnView(BoxRenderer& renderer, const SlotTextures& textures, const BoxParameters& start,
                        const FitRequest& fit, const MeasureSetup& setup, GLApi& gl = SystemGL());

// The bounds of the pixels two frames over black and over white do not
// both show as background, rows bottom first (as the GL reads them), in
// the normalised coordinates of a picture `reach` times as large.
FrameBounds DrawnBounds(const unsigned char* overBlack, const unsigned char* overWhite, int width, int height,
                        float reach);
