#pragma once
// Where a picture's product lies, as a mask of covered pixels, and how two
// engines' masks differ beyond the one pixel an edge may fall either way.
#include <QImage>

#include <functional>
#include <vector>

// Row by row, true where `covered` accepts the pixel.
std::vector<bool> CoverageMask(const QImage& picture, const std::function<bool(QRgb)>& covered);

// Pixels where `ray` differs from `raster` with no raster pixel like it within
// one pixel; `covered` is set to the pixels `ray` covers.
int FarDifferences(const std::vector<bool>& raster, const std::vector<bool>& ray, int width, int height,
                   int& covered);
