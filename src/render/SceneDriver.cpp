#include "render/SceneDriver.h"

#include "formats/ImageCodec.h"
#include "render/Scene.h"
#include "render/ViewportCapture.h"

#include <new>

void SceneDriver::Init(GLApi& gl)
{
    Initialised = true;
    gl.ClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    gl.ClearDepth(1.0);
    gl.ShadeModel(GL_SMOOTH);
    gl.Enable(GL_DEPTH_TEST);
    gl.Enable(GL_TEXTURE_2D);
}

void SceneDriver::SetViewport(GLApi& gl, int width, int height)
{
    if (height == 0)
        height = 1;
    gl.Viewport(0, 0, width, height);
    gl.MatrixMode(GL_PROJECTION);
    gl.LoadIdentity();
    gl.Perspective(SceneLens::FovYDegrees, static_cast<double>(width) / static_cast<double>(height), SceneLens::Near,
                   SceneLens::Far);
    gl.MatrixMode(GL_MODELVIEW);
}

bool GrabFrameToBitmap(QImage& bitmap, GLApi& gl)
{
    try {
        return CaptureViewportImage(bitmap, gl);
    } catch (const ImageError&) {
        return false;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
