#pragma once
// Where a picture's shadow lies: the centre of the darkest region of its
// floor. Written for any engine's picture (the raster's looks, the ray
// tracer's), so two engines' shadows can be compared by position.
#include <QImage>
#include <QPointF>

#include <functional>

struct DarkRegion {
    bool Found = false;
    QPointF Centre;   // pixels, x right, y down
    int Pixels = 0;   // how many pixels make the region
    int Darkest = 0;  // the darkest floor pixel's luma (0..255)
};

// Only the pixels isFloor accepts count (not the box, not the sky). The
// region is every floor pixel at most `share` of the way from the darkest
// floor luma up to floorLuma, the floor's own brightness far from the box;
// its centre weighs each pixel by how much darker than that bound it is.
// Nothing is found when no floor pixel is darker than floorLuma by `least`.
DarkRegion DarkestFloorRegion(const QImage& picture, const std::function<bool(int x, int y)>& isFloor,
                              int floorLuma, double share = 0.5, int least = 8);

// The usual floor test for two frames of one view drawn with and without
// the floor's looks: floor is where the bare frame shows its background.
std::function<bool(int, int)> BackgroundOf(const QImage& bare, QRgb background, int tolerance = 2);
