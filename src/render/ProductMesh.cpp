#include "render/ProductMesh.h"

#include "render/BookMesh.h"
#include "render/EyeLift.h"

ProductMesh BuildProductMesh(const BoxParameters& p)
{
    if (p.Shape.AllOff())
        return {};
    // A book with its pages is its own shape; its edges stay sharp.
    if (ProductMesh book = BuildBookMesh(p); !book.Empty())
        return book;
    const float radius = EdgeRadiusOf(p);
    if (radius <= 0)
        return {};
    return p.HalfThickness > ThinCardLimit ? RoundedBoxMesh(p, radius) : RoundedCardMesh(p, radius);
}
