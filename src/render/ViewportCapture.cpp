#include "render/ViewportCapture.h"

#include "formats/ImageCodec.h"

#include <utility>

bool CaptureViewport(RgbaPicture& picture, GLApi& gl)
{
    GLint viewport[4] = {0, 0, 0, 0};
    gl.GetIntegerv(GL_VIEWPORT, viewport);
    picture.FreePixels();
    try {
        picture.AllocatePixels(viewport[2], viewport[3], QStringLiteral("viewport"));
    } catch (const ImageError&) {
        picture.Width = picture.Height = 0;
        return false;
    }
    gl.Finish();
    gl.PixelStorei(GL_PACK_ALIGNMENT, 4);
    gl.PixelStorei(GL_PACK_ROW_LENGTH, 0);
    gl.PixelStorei(GL_PACK_SKIP_ROWS, 0);
    gl.PixelStorei(GL_PACK_SKIP_PIXELS, 0);
    // From window position (0, 0): the viewport's own origin is not applied.
    gl.ReadPixels(0, 0, picture.Width, picture.Height, GL_RGBA, GL_UNSIGNED_BYTE, picture.Pixels.get());
    return true;
}

bool CaptureViewportImage(QImage& bitmap, GLApi& gl)
{
    RgbaPicture picture;
    if (!CaptureViewport(picture, gl))
        return false;
    const QImage upright = UprightImage(picture);
    if (upright.isNull())
        return false;
    QImage rgb = upright.convertToFormat(QImage::Format_RGB888);
    if (rgb.isNull())
        return false;
    bitmap = std::move(rgb);
    return true;
}
