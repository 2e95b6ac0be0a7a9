#include "support/OutlineMask.h"

std::vector<bool> CoverageMask(const QImage& picture, const std::function<bool(QRgb)>& covered)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    std::vector<bool> mask(static_cast<std::size_t>(image.width()) * static_cast<std::size_t>(image.height()));
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width()) + static_cast<std::size_t>(x)] =
                covered(image.pixel(x, y));
    return mask;
}

int FarDifferences(const std::vector<bool>& raster, const std::vector<bool>& ray, int width, int height,
                   int& covered)
{
    const auto at = [&](const std::vector<bool>& mask, int x, int y) {
        return mask[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    };
    int far = 0;
    covered = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const bool r = at(ray, x, y);
            covered += r;
            if (r == at(raster, x, y))
                continue;
            bool near = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const int nx = x + dx, ny = y + dy;
                    if (nx >= 0 && ny >= 0 && nx < width && ny < height && at(raster, nx, ny) == r)
                        near = true;
                }
            far += !near;
        }
    return far;
}
