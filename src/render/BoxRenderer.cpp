#include "render/BoxRenderer.h"

#include "render/BoxGroup.h"
#include "render/GLTexture.h"
#include "render/LitTexturing.h"
#include "render/ProductMesh.h"
#include "render/StudioLooks.h"
#include "render/StudioLooksFloor.h"

#include <algorithm>
#include <cmath>


void RebuildSlotTextures(const SlotTextures& textures, const SlotThumbnails& thumbnails)
{
    for (std::size_t i = 0; i < textures.size(); ++i) {
        if (!textures[i] || !thumbnails[i])
            continue;
        textures[i]->Upload(PictureOfImage(*thumbnails[i]));
    }
}

namespace {

float ViewportAspect(GLApi& gl)
{
    GLint viewport[4] = {0, 0, 0, 0};
    gl.GetIntegerv(GL_VIEWPORT, viewport);
    return viewport[3] > 0 ? static_cast<float>(viewport[2]) / static_cast<float>(viewport[3]) : 1.0f;
}

} // namespace

void BoxRenderer::InitGL(SceneDriver& driver, const BoxParameters& params)
{
    driver.Init(gl_);
    const GLfloat fogColor[4] = {0.01f, 0.01f, 0.01f, 1.0f};
    gl_.Fogfv(GL_FOG_COLOR, fogColor);
    gl_.Fogf(GL_FOG_DENSITY, 0.35f);
    gl_.Hint(GL_FOG_HINT, GL_DONT_CARE);
    gl_.Fogf(GL_FOG_START, 1.0f);
    gl_.Fogf(GL_FOG_END, 5.0f);
    // A fog mode stored before the context existed reached no GL; send it now
    // so the first frame already shows it.
    SetFogMode(params.FogMode);
}

void BoxRenderer::PrepareGL(const SlotTextures& textures, const SlotThumbnails& thumbnails)
{
    RebuildSlotTextures(textures, thumbnails);
}

void BoxRenderer::SetFogMode(std::uint8_t mode)
{
    switch (mode) {
    case 1: gl_.Fogi(GL_FOG_MODE, GL_LINEAR); break;
    case 2: gl_.Fogi(GL_FOG_MODE, GL_EXP2); break;
    case 3: gl_.Fogi(GL_FOG_MODE, GL_EXP); break;
    default: break;
    }
}

void BoxRenderer::DrawFrame(const BoxParameters& p, const SlotTextures& textures,
                                 const DrawFlags& flags)
{
    if (!flags.AppActive) {
        if (flags.PumpMessages)
            flags.PumpMessages();
        return;
    }
    if (flags.SuspendDraw)
        return;

    // Every shape off draws the classic quads; a group is always a mesh.
    const ProductMesh built = group_ ? ProductMesh{} : BuildProductMesh(p);
    const ProductMesh& mesh = group_ ? group_->Mesh : built;
    const ProductMesh* shape = mesh.Empty() ? nullptr : &mesh;
    const bool looks = DrawsLooks(p.Looks);
    const BoxPose pose = looks ? PoseOf(p, 0, shape) : BoxPose{};
    const bool floorLooks = looks && (p.Looks.Shadow > 0 || p.Looks.Reflection > 0);
    const FloorChoice floor = floorLooks ? ChooseFloor(p, shape) : FloorChoice{};
    const BoxPose floorPose = floor.Weight > 0 ? PoseOf(p, floor.Tilt, shape) : BoxPose{};
    ApplyTextureLook(p.Looks, textures);
    if (group_)
        for (const SlotTextures& covers : group_->Covers)
            ApplyTextureLook(p.Looks, covers);

    // Another lens: the projection zoomed by it (for the symmetric frustum
    // the frame is drawn with, scaling x and y of the eye's frame is exactly
    // the narrower field), put back as it was after the frame.
    const float zoom = static_cast<float>(SceneLens::ZoomOf(p.Looks.LensMm));
    const bool zoomed = p.Looks.LensMm != LookLimits::ClassicLens;
    if (zoomed) {
        gl_.MatrixMode(GL_PROJECTION);
        gl_.PushMatrix();
        gl_.Scalef(zoom, zoom, 1.0f);
        gl_.MatrixMode(GL_MODELVIEW);
    }
    gl_.Color4f(1.0f, 1.0f, 1.0f, 1.0f);
    gl_.LoadIdentity();
    if (p.FogMode != 0)
        gl_.Enable(GL_FOG);
    else
        gl_.Disable(GL_FOG);
    // The scene's pose as GL's own matrices, in the classic frame's order.
    const ScenePose view = ViewPoseOf(p);
    gl_.Rotatef(view.EyeAngle, 1.0f, 0.0f, 0.0f);
    gl_.Translatef(0.0f, view.Lift, 0.0f);
    gl_.Enable(GL_TEXTURE_2D);
    gl_.Disable(GL_COLOR_MATERIAL);
    gl_.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl_.Translatef(0.0f, 0.0f, view.Depth);
    gl_.Translatef(0.0f, view.Up, 0.0f);
    gl_.Translatef(view.Across, 0.0f, 0.0f);
    gl_.Rotatef(view.Side, 0.0f, 1.0f, 0.0f);
    gl_.Rotatef(view.Tilt, 1.0f, 0.0f, 0.0f);
    gl_.Rotatef(view.Turn, 0.0f, 0.0f, 1.0f);

    if (shape)
        DrawMesh(p, mesh, textures, looks ? &pose : nullptr);
    else
        DrawFaces(p, textures, looks ? &pose : nullptr);
    DrawBackground(p);
    if (floor.Weight > 0)
        DrawFloor(p, floorPose, floor, textures, shape);
    if (zoomed) {
        gl_.MatrixMode(GL_PROJECTION);
        gl_.PopMatrix();
        gl_.MatrixMode(GL_MODELVIEW);
    }
    gl_.Flush();
}

void BoxRenderer::DrawFaces(const BoxParameters& p, const SlotTextures& textures, const BoxPose* pose)
{
    const bool lit = pose && p.Looks.Light > 0;
    if (lit)
        BeginLitTexturing(gl_);
    bool textured = false; // a slot without a texture keeps the one bound before
    for (const MeshPart& part : ClassicBlockMesh(p).Parts) {
        if (GLTexture* texture = SideTexture(part.Side, textures)) {
            texture->Bind();
            textured = true;
        }
        const std::array<MeshVertex, 4> corners = QuadCorners(part);
        if (lit) {
            const float n = LitColour(FaceBrightness(*pose, corners[0].Normal, p.Looks.Light), textured);
            gl_.Color4f(n, n, n, 1.0f);
        }
        gl_.Begin(GL_QUADS);
        for (const MeshVertex& c : corners) {
            const TexturePoint at = SideTexturePoint(part.Side, textures, c.S, c.T);
            gl_.TexCoord2f(at.S, at.T);
            gl_.Vertex3f(c.Position.x, c.Position.y, c.Position.z);
        }
        gl_.End();
    }
    if (lit)
        EndLitTexturing(gl_);
}

void BoxRenderer::DrawBackground(const BoxParameters& p)
{
    gl_.Disable(GL_FOG);
    gl_.LoadIdentity();
    gl_.Disable(GL_TEXTURE_2D);
    gl_.Enable(GL_COLOR_MATERIAL);
    gl_.ColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    gl_.Color4f(p.BackgroundRed, p.BackgroundGreen, p.BackgroundBlue, 1.0f);
    // Only a quad that fills the view asks the viewport's aspect.
    const BackgroundQuad quad = BackgroundOf(p, p.BackgroundFillsView ? ViewportAspect(gl_) : 1.0f);
    gl_.Begin(GL_QUADS);
    gl_.Vertex3f(-quad.HalfWidth, -quad.HalfHeight, quad.Z);
    gl_.Vertex3f(quad.HalfWidth, -quad.HalfHeight, quad.Z);
    gl_.Vertex3f(quad.HalfWidth, quad.HalfHeight, quad.Z);
    gl_.Vertex3f(-quad.HalfWidth, quad.HalfHeight, quad.Z);
    gl_.End();
}

void ApplyTextureLook(const BoxLooks& looks, const SlotTextures& textures)
{
    // Only a texture that was ever made smooth is touched when the look is off.
    for (GLTexture* texture : textures)
        if (texture && texture->Smooth() != looks.SmoothTextures)
            texture->SetSmooth(looks.SmoothTextures);
}

void BoxRenderer::PlaceWorld(const ScenePose& view)
{
    // The same calls as the frame's, so the floor lines up with the box exactly.
    gl_.LoadIdentity();
    gl_.Rotatef(view.EyeAngle, 1.0f, 0.0f, 0.0f);
    gl_.Translatef(0.0f, view.Lift, 0.0f);
    gl_.Translatef(0.0f, 0.0f, view.Depth);
    gl_.Translatef(0.0f, view.Up, 0.0f);
    gl_.Translatef(view.Across, 0.0f, 0.0f);
}

void BoxRenderer::DrawFloor(const BoxParameters& p, const BoxPose& pose, const FloorChoice& floor,
                            const SlotTextures& textures, const ProductMesh* mesh)
{
    PlaceWorld(ViewPoseOf(p));
    if (floor.Tilt != 0) {
        // Into the floor's frame: the same turn as FloorToWorld.
        gl_.Rotatef(floor.Side, 0.0f, 1.0f, 0.0f);
        gl_.Rotatef(floor.Tilt, 1.0f, 0.0f, 0.0f);
        gl_.Rotatef(-floor.Side, 0.0f, 1.0f, 0.0f);
    }
    // Blended over what is there; the depth test keeps the box in front and
    // the alpha stays that of the background, so a transparent picture sees
    // the floor's looks only through the two backgrounds' difference.
    gl_.Enable(GL_BLEND);
    gl_.BlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    gl_.DepthMask(GL_FALSE);
    gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE);
    gl_.Enable(GL_TEXTURE_2D);
    // The floor touches the box: where both meet at a pixel, the box wins by
    // depth, not by a gap that would show the mirrored bottom as a band.
    gl_.Enable(GL_POLYGON_OFFSET_FILL);
    gl_.PolygonOffset(1.0f, 2.0f);

    if (p.Looks.Reflection > 0) {
        if (p.FogMode != 0)
            gl_.Enable(GL_FOG); // the mirrored box stands in the same fog
        const int faceCount = p.HalfThickness > ThinCardLimit ? 6 : 2;
        GLint viewport[4] = {0, 0, 0, 0};
        GLfloat projection[16] = {};
        gl_.GetIntegerv(GL_VIEWPORT, viewport);
        gl_.GetFloatv(GL_PROJECTION_MATRIX, projection);
        const float overlap = QuarterPixel(pose, projection[5], viewport[3]);
        if (mesh)
            DrawMirroredMesh(p, pose, *mesh, floor, textures, overlap);
        const std::vector<MirrorFace> faces =
            mesh ? std::vector<MirrorFace>{}
                 : MirrorFaces(pose, faceCount, p.Looks.Reflection, p.Looks.Light, 8, overlap);
        const bool lit = p.Looks.Light > 0;
        if (lit)
            BeginLitTexturing(gl_);
        bool textured = false;
        for (const MirrorFace& face : faces) {
            if (GLTexture* texture = SideTexture(static_cast<BoxSide>(face.Face), textures)) {
                texture->Bind();
                textured = true;
            }
            const float n = lit ? LitColour(face.Brightness, textured) : face.Brightness;
            gl_.Begin(GL_QUADS);
            for (const MirrorVertex& v : face.Quads) {
                gl_.Color4f(n, n, n, v.Alpha * floor.Weight);
                const TexturePoint at = SideTexturePoint(static_cast<BoxSide>(face.Face), textures, v.S, v.T);
                gl_.TexCoord2f(at.S, at.T);
                gl_.Vertex3f(v.Position.x, v.Position.y, v.Position.z);
            }
            gl_.End();
        }
        if (lit)
            EndLitTexturing(gl_);
        gl_.Disable(GL_FOG);
    }

    if (p.Looks.Shadow > 0) {
        // A group spreads wider: finer texels keep each box's outline.
        const ShadowMask mask = MakeShadowMask(pose, p.Looks.Shadow, p.Looks.ShadowSoftness, group_ ? 256 : 128);
        if (shadowTexture_ == 0)
            gl_.GenTextures(1, &shadowTexture_);
        gl_.BindTexture(GL_TEXTURE_2D, shadowTexture_);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        gl_.TexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 1);
        gl_.TexImage2D(GL_TEXTURE_2D, 0, GL_ALPHA, mask.Size, mask.Size, 0, GL_ALPHA, GL_UNSIGNED_BYTE,
                       mask.Alpha.data());
        gl_.PixelStorei(GL_UNPACK_ALIGNMENT, 4);
        // Black, its alpha from the mask (an alpha texture modulates only alpha).
        gl_.Color4f(0.0f, 0.0f, 0.0f, floor.Weight);
        const float y = pose.FloorY;
        gl_.Begin(GL_QUADS);
        gl_.TexCoord2f(0.0f, 0.0f);
        gl_.Vertex3f(mask.MinX, y, mask.MinZ);
        gl_.TexCoord2f(0.0f, 1.0f);
        gl_.Vertex3f(mask.MinX, y, mask.MaxZ);
        gl_.TexCoord2f(1.0f, 1.0f);
        gl_.Vertex3f(mask.MaxX, y, mask.MaxZ);
        gl_.TexCoord2f(1.0f, 0.0f);
        gl_.Vertex3f(mask.MaxX, y, mask.MinZ);
        gl_.End();
    }

    // Back to the state the classic frame relies on.
    gl_.Disable(GL_POLYGON_OFFSET_FILL);
    gl_.BindTexture(GL_TEXTURE_2D, 0);
    gl_.Disable(GL_TEXTURE_2D);
    gl_.ColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    gl_.DepthMask(GL_TRUE);
    gl_.Disable(GL_BLEND);
}

void BoxRenderer::ReleaseGL()
{
    if (shadowTexture_ != 0)
        gl_.DeleteTextures(1, &shadowTexture_);
    shadowTexture_ = 0;
    if (pageEdgesTexture_ != 0)
        gl_.DeleteTextures(1, &pageEdgesTexture_);
    pageEdgesTexture_ = 0;
}
