// A box given in millimetres is drawn with those sides: the drawn mesh's
// extents, in the scene's 0.1 m units, against the sides asked for.
#include "document/BoxDocument.h"
#include "render/ProductMesh.h"
#include "render/ViewCamera.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

Sides MeshSides(const ProductMesh& mesh)
{
    Vec3 low{std::numeric_limits<float>::max(), std::numeric_limits<float>::max(), std::numeric_limits<float>::max()};
    Vec3 high{-low.x, -low.y, -low.z};
    for (const MeshPart& part : mesh.Parts)
        for (const MeshVertex& v : part.Triangles) {
            low = {std::min(low.x, v.Position.x), std::min(low.y, v.Position.y), std::min(low.z, v.Position.z)};
            high = {std::max(high.x, v.Position.x), std::max(high.y, v.Position.y), std::max(high.z, v.Position.z)};
        }
    const double mm = MetresPerSceneUnit * 1000.0;
    return {(high.x - low.x) * mm, (high.y - low.y) * mm, (high.z - low.z) * mm};
}

TEST(RealSizeMesh, DrawnSidesAreTheSidesAsked)
{
    struct Case {
        int Form;
        Sides Asked;  // mm
        double Step;  // mm a slider position moves the widest side at most
        bool Book;
    } const cases[] = {
        {9, {152.4, 228.6, 20.2}, 4.28, true},  // a soft cover, 6 x 9 in
        {8, {155.4, 234.6, 25.3}, 4.28, true},  // a hard cover with its squares and boards
        {5, {142, 10, 125}, 3.2, false},        // a CD jewel box
        {7, {150, 100, 300}, 3.2, false},       // a shoe box
    };
    for (const Case& c : cases) {
        BoxDocument doc;
        doc.NewProject();
        doc.SetForm(c.Form);
        ASSERT_TRUE(doc.SetRealSize({c.Asked[0], c.Asked[1], c.Asked[2], SizeUnit::Millimetre}).isEmpty());
        BoxShape shape;
        shape.BookPages = c.Book;
        doc.SetShape(shape);
        const Sides drawn = MeshSides(SurfaceMeshOf(doc.Params));
        for (std::size_t i = 0; i < 3; ++i) {
            // What "info" and the window show is what is drawn.
            EXPECT_NEAR(drawn[i], doc.DrawnSides()[i], 1e-3) << c.Form << " side " << i;
            EXPECT_NEAR(drawn[i], c.Asked[i], c.Step / 2) << c.Form << " side " << i;
        }
        // In the ratio asked, within the sliders' steps.
        EXPECT_NEAR(drawn[1] / drawn[0], c.Asked[1] / c.Asked[0], 0.03) << c.Form;
    }
}

} // namespace
