#include "raytrace/RayProduct.h"

namespace {

std::vector<BoxParameters> ParamsOf(const std::vector<RayBox>& boxes)
{
    std::vector<BoxParameters> params;
    params.reserve(boxes.size());
    for (const RayBox& box : boxes)
        params.push_back(box.Params);
    return params;
}

} // namespace

BoxParameters RayProduct::SceneView() const
{
    return IsBundle() ? GroupView(View, ParamsOf(Boxes)) : View;
}

ProductMesh RayProduct::Mesh() const
{
    if (!IsBundle())
        return SurfaceMeshOf(Boxes.empty() ? View : Boxes.front().Params);
    return PlaceGroupMeshes(ParamsOf(Boxes), Arrangement, Spacing, SurfaceMeshOf);
}

RayProduct OneBoxProduct(const BoxParameters& p, RayCovers covers, int gloss)
{
    RayProduct product;
    product.View = p;
    product.Boxes.push_back({p, std::move(covers), gloss});
    return product;
}
