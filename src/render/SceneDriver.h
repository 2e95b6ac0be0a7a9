#pragma once
// The scene driver: default GL state once a context exists, and viewport
// plus perspective on every resize. It never creates
// or deletes a context and issues no GL call when constructed or destroyed.
#include "render/GLApi.h"

#include <QImage>

#include <cstdint>

class SceneDriver {
public:
    SceneDriver() = default;

    bool Initialised = false;

    // Needs the panel's context current.
    void Init(GLApi& gl);
    // A height of 0 becomes 1; the model-view matrix is left for the draw.
    void SetViewport(GLApi& gl, int width, int height);
};

// Copies the current viewport of the current context into bitmap (24-bit,
// upright). False when no pixel memory could be had or the transfer failed;
// the bitmap is then unchanged. Needs no driver.
bool GrabFrameToBitmap(QImage& bitmap, GLApi& gl = SystemGL());
