#include "window/Checkerboard.h"

#include <QPainter>

namespace {

const QColor LightSquare(255, 255, 255);
const QColor DarkSquare(204, 204, 204);

} // namespace

QImage OverCheckerboard(const QImage& picture, int cell)
{
    if (picture.isNull() || !picture.hasAlphaChannel())
        return picture;
    cell = cell < 1 ? 1 : cell;
    QImage shown(picture.size(), QImage::Format_RGB32);
    QPainter painter(&shown);
    for (int y = 0; y < shown.height(); y += cell)
        for (int x = 0; x < shown.width(); x += cell)
            painter.fillRect(x, y, cell, cell, ((x / cell + y / cell) % 2) ? DarkSquare : LightSquare);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    QImage unscaled = picture;
    unscaled.setDevicePixelRatio(1.0);
    painter.drawImage(0, 0, unscaled);
    painter.end();
    shown.setDevicePixelRatio(picture.devicePixelRatio());
    return shown;
}
