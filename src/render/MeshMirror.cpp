#include "render/MeshMirror.h"

#include <algorithm>

namespace {

Vec3 Sub(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

} // namespace

std::vector<MirrorPart> MirrorMesh(const BoxPose& pose, const ProductMesh& mesh, int strength,
                                   int light, float overlap)
{
    std::vector<MirrorPart> out;
    const float floorY = pose.FloorY;
    const float largest = 2.0f * std::max({pose.Half.x, pose.Half.y, pose.Half.z});
    const float fade = ReflectionFadeHeight(pose);
    const float top = static_cast<float>(std::clamp(strength, 0, 100)) / 100.0f;
    const float onFloor = 1e-6f * largest;
    for (std::size_t index = 0; index < mesh.Parts.size(); ++index) {
        const MeshPart& part = mesh.Parts[index];
        MirrorPart mirrored;
        mirrored.Part = index;
        for (std::size_t i = 0; i + 2 < part.Triangles.size(); i += 3) {
            Vec3 w[3];
            for (int k = 0; k < 3; ++k)
                w[k] = pose.Box * part.Triangles[i + static_cast<std::size_t>(k)].Position;
            // Lying on the floor: hidden under the box, and so is its image.
            if (w[0].y <= floorY + onFloor && w[1].y <= floorY + onFloor &&
                w[2].y <= floorY + onFloor)
                continue;
            const Vec3 n = Cross(Sub(w[1], w[0]), Sub(w[2], w[0]));
            const Vec3 image{w[0].x, 2 * floorY - w[0].y + overlap, w[0].z};
            if (Dot({n.x, -n.y, n.z}, Sub(pose.Camera, image)) <= 0)
                continue;
            MirrorMeshVertex v[3];
            for (int k = 0; k < 3; ++k) {
                const MeshVertex& m = part.Triangles[i + static_cast<std::size_t>(k)];
                v[k].Position = {w[k].x, 2 * floorY - w[k].y + overlap, w[k].z};
                v[k].S = m.S;
                v[k].T = m.T;
                v[k].Alpha = top * std::clamp(1.0f - (w[k].y - floorY) / fade, 0.0f, 1.0f);
                v[k].Brightness = FaceBrightness(pose, m.Normal, light);
            }
            if (v[0].Alpha <= 0 && v[1].Alpha <= 0 && v[2].Alpha <= 0)
                continue;
            // Mirroring turns the winding round; keep it counter-clockwise as seen.
            mirrored.Triangles.insert(mirrored.Triangles.end(), {v[0], v[2], v[1]});
        }
        if (!mirrored.Triangles.empty())
            out.push_back(std::move(mirrored));
    }
    return out;
}
