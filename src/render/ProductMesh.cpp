#include "render/ProductMesh.h"

#include "render/EyeLift.h"

ProductMesh BuildProductMesh(const BoxParameters& p)
{
    if (p.Shape.AllOff())
        return {};
    const float radius = EdgeRadiusOf(p);
    if (radius <= 0)
        return {};
    return p.HalfThickness > ThinCardLimit ? RoundedBoxMesh(p, radius) : RoundedCardMesh(p, radius);
}
