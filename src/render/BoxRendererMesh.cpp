// BoxRenderer's drawing of a shape made of triangles (ProductMesh.h): the box
// and its reflection. The classic block never comes here.
#include "render/BoxRenderer.h"

#include "render/BoxGroup.h"
#include "render/GLTexture.h"
#include "render/LitTexturing.h"
#include "render/MeshMirror.h"
#include "render/PageEdgeTexture.h"
#include "render/ProductMesh.h"
#include "render/StudioLooksFloor.h"

namespace {

// A side's own picture lies as its side's rule says; paper keeps its mapping.
TexturePoint CoverPoint(const MeshPart& part, const SlotTextures& textures, float s, float t)
{
    if (part.Surface != MeshSurface::Cover)
        return {s, t};
    return SideTexturePoint(part.Side, textures, s, t);
}

} // namespace

const SlotTextures& BoxRenderer::PartCovers(const MeshPart& part, const SlotTextures& textures) const
{
    if (!group_ || part.Group < 0 || static_cast<std::size_t>(part.Group) >= group_->Covers.size())
        return textures;
    return group_->Covers[static_cast<std::size_t>(part.Group)];
}

bool BoxRenderer::BindSurface(const MeshPart& part, const SlotTextures& textures)
{
    switch (part.Surface) {
    case MeshSurface::Cover:
        // As the classic faces: a slot without a texture binds nothing.
        if (GLTexture* texture = SideTexture(part.Side, textures))
            texture->Bind();
        return true;
    case MeshSurface::PageEdges:
        if (pageEdgesTexture_ == 0) {
            const PageEdgeLevels& paper = PageEdgePaper();
            gl_.GenTextures(1, &pageEdgesTexture_);
            gl_.BindTexture(GL_TEXTURE_2D, pageEdgesTexture_);
            // Mapped once over each side of the block, never repeated; always
            // mipmapped, so the fine lines never beat into stripes.
            gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
            gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
            gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, paper.Base.Width, paper.Base.Height, 0, GL_RGBA,
                           GL_UNSIGNED_BYTE, paper.Base.Pixels.get());
            for (std::size_t i = 0; i < paper.Below.size(); ++i) {
                const MipLevel& level = paper.Below[i];
                gl_.TexImage2D(GL_TEXTURE_2D, static_cast<GLint>(i + 1), GL_RGBA, level.Width, level.Height, 0,
                               GL_RGBA, GL_UNSIGNED_BYTE, level.Pixels.data());
            }
        }
        gl_.BindTexture(GL_TEXTURE_2D, pageEdgesTexture_);
        return true;
    case MeshSurface::Plain:
        break;
    }
    return false;
}

void BoxRenderer::DrawMesh(const BoxParameters& p, const ProductMesh& mesh, const SlotTextures& textures,
                           const BoxPose* pose)
{
    const bool lit = pose && p.Looks.Light > 0;
    if (lit)
        BeginLitTexturing(gl_);
    for (const MeshPart& part : mesh.Parts) {
        const SlotTextures& covers = PartCovers(part, textures);
        const bool textured = BindSurface(part, covers);
        const float red = textured ? 1.0f : part.Red, green = textured ? 1.0f : part.Green,
                    blue = textured ? 1.0f : part.Blue;
        if (!textured)
            gl_.Disable(GL_TEXTURE_2D);
        gl_.Color4f(red, green, blue, 1.0f);
        gl_.Begin(GL_TRIANGLES);
        for (const MeshVertex& v : part.Triangles) {
            if (lit) {
                const float n = FaceBrightness(*pose, v.Normal, p.Looks.Light);
                gl_.Color4f(LitColour(red * n, textured), LitColour(green * n, textured),
                            LitColour(blue * n, textured), 1.0f);
            }
            const TexturePoint at = CoverPoint(part, covers, v.S, v.T);
            gl_.TexCoord2f(at.S, at.T);
            gl_.Vertex3f(v.Position.x, v.Position.y, v.Position.z);
        }
        gl_.End();
        if (!textured)
            gl_.Enable(GL_TEXTURE_2D);
    }
    if (lit)
        EndLitTexturing(gl_);
    gl_.Color4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void BoxRenderer::DrawMirroredMesh(const BoxParameters& p, const BoxPose& pose, const ProductMesh& mesh,
                                   const FloorChoice& floor, const SlotTextures& textures, float overlap)
{
    const bool lit = p.Looks.Light > 0;
    if (lit)
        BeginLitTexturing(gl_);
    for (const MirrorPart& mirrored : MirrorMesh(pose, mesh, p.Looks.Reflection, p.Looks.Light, overlap)) {
        const MeshPart& part = mesh.Parts[mirrored.Part];
        const SlotTextures& covers = PartCovers(part, textures);
        const bool textured = BindSurface(part, covers);
        const float red = textured ? 1.0f : part.Red, green = textured ? 1.0f : part.Green,
                    blue = textured ? 1.0f : part.Blue;
        if (!textured)
            gl_.Disable(GL_TEXTURE_2D);
        gl_.Begin(GL_TRIANGLES);
        for (const MirrorMeshVertex& v : mirrored.Triangles) {
            const float n = v.Brightness;
            gl_.Color4f(lit ? LitColour(red * n, textured) : red * n, lit ? LitColour(green * n, textured) : green * n,
                        lit ? LitColour(blue * n, textured) : blue * n, v.Alpha * floor.Weight);
            const TexturePoint at = CoverPoint(part, covers, v.S, v.T);
            gl_.TexCoord2f(at.S, at.T);
            gl_.Vertex3f(v.Position.x, v.Position.y, v.Position.z);
        }
        gl_.End();
        if (!textured)
            gl_.Enable(GL_TEXTURE_2D);
    }
    if (lit)
        EndLitTexturing(gl_);
}
