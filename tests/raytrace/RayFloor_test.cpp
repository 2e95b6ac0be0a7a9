// The ray tracer stands the product on the raster's floor: the plane it
// traces is the one the raster's shadow and reflection lie on, and the
// product's lowest point touches it, books with pages in every view.
#include "document/BoxDocument.h"
#include "raytrace/RayScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace {

struct FloorCase {
    const char* Name;
    int Form;
    bool Pages;
    bool Own; // the kind's own angles, else these
    float Side, Tilt, Turn;
};
const FloorCase Cases[] = {
    {"hard cover, own angles", 8, true, true, 0, 0, 0},
    {"soft cover, own angles", 9, true, true, 0, 0, 0},
    {"hard cover, turned", 8, true, false, 30, 10, 250},
    {"soft cover, leaning far forward", 9, true, false, -25, 40, 0},
    {"hard cover, bottom in sight", 8, true, false, 20, -50, 0},
    {"plain box, turned", 2, false, false, 40, 5, -300},
};

} // namespace

TEST(RayFloorTest, TheProductStandsOnTheRastersFloor)
{
    for (const FloorCase& c : Cases) {
        SCOPED_TRACE(c.Name);
        BoxDocument model;
        model.ResetProject();
        model.SetForm(c.Form);
        BoxParameters p = model.Params;
        p.Shape.BookPages = c.Pages;
        if (!c.Own) {
            p.SideAngle = c.Side;
            p.TiltAngle = c.Tilt;
            p.Turn = c.Turn;
        }
        p.EyeAngle = 20;
        const ProductMesh mesh = SurfaceMeshOf(p);
        const Scene scene = SceneOf(p, 1.5f, &mesh);
        const RayScene rays(scene, mesh);

        // The raster's plane, seen from the eye.
        const FloorPlane raster = FloorPlaneOf(p, c.Pages ? &mesh : nullptr);
        const Mat3 eye = scene.Pose.Eye();
        const Vec3 normal = eye * raster.Normal;
        const Vec3 point = eye * (raster.Normal * raster.Height + scene.Pose.Shift());
        EXPECT_NEAR(Dot(rays.FloorNormal, normal), 1.0f, 1e-6f);
        EXPECT_NEAR(Dot(rays.FloorPoint - point, normal), 0.0f, 1e-5f);

        float lowest = std::numeric_limits<float>::max();
        for (const MeshPart& part : mesh.Parts)
            for (const MeshVertex& v : part.Triangles)
                lowest = std::min(lowest, Dot(scene.Seen(v.Position) - rays.FloorPoint, rays.FloorNormal));
        EXPECT_NEAR(lowest, 0.0f, 1e-5f * rays.Scale);
    }
}
