#include "render/BoxRenderer.h"

#include "render/TextureImage.h"

#include <cmath>

namespace {

struct Corner {
    float s, t;  // texture coordinate
    float x, y, z; // -1 or +1: which half-extent, with its sign
};

struct Face {
    int slot;
    Corner corners[4];
};

// Each face shows its picture unmirrored when seen from outside the box.
constexpr Face Faces[6] = {
    {0, {{0, 0, -1, -1, 1}, {1, 0, 1, -1, 1}, {1, 1, 1, 1, 1}, {0, 1, -1, 1, 1}}},     // front
    {0, {{1, 0, -1, -1, -1}, {1, 1, -1, 1, -1}, {0, 1, 1, 1, -1}, {0, 0, 1, -1, -1}}}, // back
    {2, {{0, 1, -1, 1, -1}, {0, 0, -1, 1, 1}, {1, 0, 1, 1, 1}, {1, 1, 1, 1, -1}}},     // top
    {2, {{1, 1, -1, -1, -1}, {0, 1, 1, -1, -1}, {0, 0, 1, -1, 1}, {1, 0, -1, -1, 1}}}, // bottom
    {1, {{1, 0, 1, -1, -1}, {1, 1, 1, 1, -1}, {0, 1, 1, 1, 1}, {0, 0, 1, -1, 1}}},     // right
    {1, {{0, 0, -1, -1, -1}, {1, 0, -1, -1, 1}, {1, 1, -1, 1, 1}, {0, 1, -1, 1, -1}}}, // left
};

} // namespace

float EyeLift(std::int32_t eyeAngle)
{
    return static_cast<float>(-10.0 * std::sin(static_cast<double>(eyeAngle) / 180.0));
}

void RebuildSlotTextures(const SlotTextures& textures, const SlotThumbnails& thumbnails)
{
    for (std::size_t i = 0; i < textures.size(); ++i) {
        if (!textures[i] || !thumbnails[i])
            continue;
        textures[i]->LoadFromBitmap(*thumbnails[i]);
        textures[i]->Upload();
    }
}

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

void BoxRenderer::PrepareGL(SceneDriver& driver, std::uintptr_t window,
                                 std::uintptr_t deviceContext, const SlotTextures& textures,
                                 const SlotThumbnails& thumbnails)
{
    driver.SetWindow(window, deviceContext, 0);
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

void BoxRenderer::DrawFrame(BoxParameters& p, const SlotTextures& textures,
                                 const DrawFlags& flags)
{
    if (!flags.AppActive) {
        if (flags.PumpMessages)
            flags.PumpMessages();
        return;
    }
    if (flags.SuspendDraw)
        return;

    gl_.Color4f(1.0f, 1.0f, 1.0f, 1.0f);
    gl_.LoadIdentity();
    if (p.FogMode != 0)
        gl_.Enable(GL_FOG);
    else
        gl_.Disable(GL_FOG);
    gl_.Rotatef(static_cast<float>(p.EyeAngle), 1.0f, 0.0f, 0.0f);
    gl_.Translatef(0.0f, EyeLift(p.EyeAngle), 0.0f);
    gl_.Enable(GL_TEXTURE_2D);
    gl_.Disable(GL_COLOR_MATERIAL);
    gl_.Clear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    gl_.Translatef(0.0f, 0.0f, -p.Depth / 10.0f);
    gl_.Translatef(0.0f, p.VerticalOffset / 10.0f, 0.0f);
    gl_.Translatef(p.HorizontalOffset / 100.0f, 0.0f, 0.0f);
    gl_.Rotatef(p.SideAngle, 0.0f, 1.0f, 0.0f);
    gl_.Rotatef(p.TiltAngle, 1.0f, 0.0f, 0.0f);
    gl_.Rotatef(p.Turn / 10.0f, 0.0f, 0.0f, 1.0f);
    // The frame above already used the full angle; only then wrap it.
    if (p.SideAngle >= 360.0f)
        p.SideAngle = 0.0f;
    if (p.TiltAngle >= 360.0f)
        p.TiltAngle = 0.0f;

    DrawFaces(p, textures);
    DrawBackground(p);
    gl_.Flush();
}

void BoxRenderer::DrawFaces(const BoxParameters& p, const SlotTextures& textures)
{
    const float w = p.HalfWidth, h = p.HalfHeight, t = p.HalfThickness;
    const int faceCount = t > ThinCardLimit ? 6 : 2;
    for (int f = 0; f < faceCount; ++f) {
        const Face& face = Faces[f];
        if (TextureImage* texture = textures[static_cast<std::size_t>(face.slot)])
            texture->Bind();
        gl_.Begin(GL_QUADS);
        for (const Corner& c : face.corners) {
            gl_.TexCoord2f(c.s, c.t);
            gl_.Vertex3f(c.x * w, c.y * h, c.z * t);
        }
        gl_.End();
    }
}

void BoxRenderer::DrawBackground(const BoxParameters& p)
{
    gl_.Disable(GL_FOG);
    gl_.LoadIdentity();
    gl_.Disable(GL_TEXTURE_2D);
    gl_.Enable(GL_COLOR_MATERIAL);
    gl_.ColorMaterial(GL_FRONT, GL_AMBIENT_AND_DIFFUSE);
    gl_.Color4f(p.BackgroundRed, p.BackgroundGreen, p.BackgroundBlue, 1.0f);
    const float z = -(p.Depth + 10.0f);
    gl_.Begin(GL_QUADS);
    gl_.Vertex3f(-30.0f, -30.0f, z);
    gl_.Vertex3f(30.0f, -30.0f, z);
    gl_.Vertex3f(30.0f, 30.0f, z);
    gl_.Vertex3f(-30.0f, 30.0f, z);
    gl_.End();
}
