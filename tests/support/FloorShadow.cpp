#include "support/FloorShadow.h"

#include <algorithm>
#include <cstdlib>

namespace {

int Luma(QRgb c) { return (qRed(c) * 299 + qGreen(c) * 587 + qBlue(c) * 114 + 500) / 1000; }

} // namespace

DarkRegion DarkestFloorRegion(const QImage& picture, const std::function<bool(int, int)>& isFloor, int floorLuma,
                              double share, int least)
{
    DarkRegion region;
    int darkest = 256;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            if (isFloor(x, y))
                darkest = std::min(darkest, Luma(picture.pixel(x, y)));
    if (darkest > 255 || floorLuma - darkest < least)
        return region;
    const double bound = darkest + share * (floorLuma - darkest);
    double sumX = 0, sumY = 0, weight = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            if (!isFloor(x, y))
                continue;
            const int luma = Luma(picture.pixel(x, y));
            if (luma > bound)
                continue;
            const double w = bound - luma + 1.0;
            sumX += w * (x + 0.5);
            sumY += w * (y + 0.5);
            weight += w;
            ++region.Pixels;
        }
    region.Found = true;
    region.Centre = {sumX / weight, sumY / weight};
    region.Darkest = darkest;
    return region;
}

std::function<bool(int, int)> BackgroundOf(const QImage& bare, QRgb background, int tolerance)
{
    return [bare, background, tolerance](int x, int y) {
        const QRgb c = bare.pixel(x, y);
        return std::abs(qRed(c) - qRed(background)) <= tolerance &&
               std::abs(qGreen(c) - qGreen(background)) <= tolerance &&
               std::abs(qBlue(c) - qBlue(background)) <= tolerance;
    };
}
