#include "render/ProductMesh.h"

#include "render/BookMesh.h"
#include "render/EyeLift.h"
#include "render/StudioLooks.h"

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

ProductMesh ClassicBlockMesh(const BoxParameters& p)
{
    const Vec3 half{p.HalfWidth, p.HalfHeight, p.HalfThickness};
    const int faceCount = p.HalfThickness > ThinCardLimit ? 6 : 2;
    ProductMesh mesh;
    for (int f = 0; f < faceCount; ++f) {
        const BoxFace& face = BoxFaces[f];
        MeshPart part;
        part.Side = static_cast<BoxSide>(f);
        const Vec3 normal = FaceNormal(face);
        const auto vertex = [&](int corner) {
            const FaceCorner& c = face.Corners[corner];
            return MeshVertex{{c.x * half.x, c.y * half.y, c.z * half.z}, normal, c.s, c.t};
        };
        for (int corner : {0, 1, 2, 0, 2, 3})
            part.Triangles.push_back(vertex(corner));
        mesh.Parts.push_back(std::move(part));
    }
    return mesh;
}

std::array<MeshVertex, 4> QuadCorners(const MeshPart& part)
{
    const std::vector<MeshVertex>& t = part.Triangles;
    return {t[0], t[1], t[2], t[5]};
}

ProductMesh SurfaceMeshOf(const BoxParameters& p)
{
    ProductMesh shape = BuildProductMesh(p);
    return shape.Empty() ? ClassicBlockMesh(p) : shape;
}
