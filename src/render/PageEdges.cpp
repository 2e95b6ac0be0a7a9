#include "render/PageEdges.h"

#include <QString>

#include <cstring>

RgbaPicture PageEdgesPicture()
{
    // Plain paper until the page edges are drawn.
    RgbaPicture picture;
    picture.AllocatePixels(4, 4, QStringLiteral("page edges"));
    const std::uint8_t paper[4] = {238, 233, 220, 255};
    for (int i = 0; i < 16; ++i)
        std::memcpy(picture.Pixels.get() + 4 * i, paper, 4);
    return picture;
}
