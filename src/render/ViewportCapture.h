#pragma once
// Reading back what was drawn: the current viewport's size, read from window
// position (0, 0) of the current context.
#include "formats/RgbaPicture.h"
#include "render/GLApi.h"

#include <QImage>

// The pixels with their alpha, bottom row first. False, with no pixels,
// when the viewport is too large to hold.
bool CaptureViewport(RgbaPicture& picture, GLApi& gl = SystemGL());

// Fills the target with the viewport as an upright 24-bit picture; false,
// with the target as it was, when that cannot be made.
bool CaptureViewportImage(QImage& bitmap, GLApi& gl = SystemGL());
