#pragma once
// The three placeholder thumbnails a new project starts with, made in code:
// FrontBack 80 x 100, LeftRight 20 x 100, TopBottom 100 x 20, each one flat colour.
#include <QImage>

#include <array>

inline const std::array<QRgb, 3> PlaceholderColors = {qRgb(255, 185, 151), qRgb(150, 203, 203),
                                                      qRgb(168, 255, 168)};

inline std::array<QImage, 3> MakePlaceholderThumbnails()
{
    const QSize sizes[3] = {{80, 100}, {20, 100}, {100, 20}};
    std::array<QImage, 3> out;
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = QImage(sizes[i], QImage::Format_RGB888);
        out[i].fill(PlaceholderColors[i]);
    }
    return out;
}
