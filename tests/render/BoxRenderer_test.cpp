#include "render/BoxRenderer.h"

#include "document/BoxDocument.h"
#include "render/GLTexture.h"
#include "support/Placeholders.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

struct BoxRendererTest : ::testing::Test {
    RecordingGL gl;
    BoxRenderer renderer{gl};
    SceneDriver driver;
    GLTexture front{gl}, side{gl}, top{gl};
    SlotTextures textures{&front, &side, &top};
    std::array<QImage, 3> thumbs = MakePlaceholderThumbnails();
    BoxDocument model;
    DrawFlags flags;

    void SetUp() override
    {
        RebuildSlotTextures(textures, {&thumbs[0], &thumbs[1], &thumbs[2]}); // names 1, 2, 3
        model.OnChanged = [this](unsigned c) {
            if (c & DocumentChange::FogMode)
                renderer.SetFogMode(model.Params.FogMode);
        };
        SelectForm(0);
        gl.Reset();
    }

    void SelectForm(int index)
    {
        model.SetForm(index);
    }

    // The renderer's fog mode as a stored mode would set it, also one no item gives.
    void SetFogMode(int mode)
    {
        model.Params.FogMode = static_cast<std::uint8_t>(mode);
        renderer.SetFogMode(static_cast<std::uint8_t>(mode));
    }

    QStringList Draw()
    {
        gl.Reset();
        renderer.DrawFrame(model.Params, textures, flags);
        return gl.Calls;
    }
};

const QStringList FogConstants = {"Fogfv(GL_FOG_COLOR,0.01,0.01,0.01,1)", "Fogf(GL_FOG_DENSITY,0.35)",
                                  "Hint(GL_FOG_HINT,GL_DONT_CARE)", "Fogf(GL_FOG_START,1)",
                                  "Fogf(GL_FOG_END,5)"};
const QStringList DriverDefaults = {"ClearColor(0,0,0,0)", "ClearDepth(1)", "ShadeModel(GL_SMOOTH)",
                                    "Enable(GL_DEPTH_TEST)", "Enable(GL_TEXTURE_2D)"};

TEST_F(BoxRendererTest, InitRunsTheDriverThenSetsTheFogConstants)
{
    model.Params.FogMode = 0;
    renderer.InitGL(driver, model.Params);
    EXPECT_TRUE(driver.Initialised);
    EXPECT_EQ(gl.Calls, DriverDefaults + FogConstants);
}

TEST_F(BoxRendererTest, InitSendsAStoredFogModeSoTheFirstFrameShowsIt)
{
    // Stored before any context existed: the hook's GL call went nowhere.
    SetFogMode(1);
    gl.Reset();
    renderer.InitGL(driver, model.Params);
    EXPECT_EQ(gl.Calls, DriverDefaults + FogConstants + QStringList{"Fogi(GL_FOG_MODE,GL_LINEAR)"});
}

TEST_F(BoxRendererTest, PrepUploadsTheSlotsInOrder)
{
    renderer.PrepareGL(textures, {&thumbs[0], &thumbs[1], &thumbs[2]});
    // Each sends the base level GLU would build: GLU's powers of two.
    EXPECT_EQ(gl.Matching("TexImage2D(GL_TEXTURE_2D"),
              (QStringList{"TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,64,128,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,16,128,0,GL_RGBA,GL_UNSIGNED_BYTE)",
                           "TexImage2D(GL_TEXTURE_2D,0,GL_RGBA,128,16,0,GL_RGBA,GL_UNSIGNED_BYTE)"}));
    EXPECT_TRUE(gl.Matching("Build2DMipmaps").isEmpty());
    // The placeholders' colours, opaque.
    using Pixel = std::array<std::uint8_t, 4>;
    EXPECT_EQ(gl.FirstPixelsSent,
              (std::vector<Pixel>{Pixel{255, 185, 151, 255}, Pixel{150, 203, 203, 255}, Pixel{168, 255, 168, 255}}));
}

TEST_F(BoxRendererTest, FogModeSetterSendsOnlyTheThreeKnownModes)
{
    const std::pair<int, QStringList> cases[] = {
        {0, {}},
        {1, {"Fogi(GL_FOG_MODE,GL_LINEAR)"}},
        {2, {"Fogi(GL_FOG_MODE,GL_EXP2)"}},
        {3, {"Fogi(GL_FOG_MODE,GL_EXP)"}},
        {4, {}},
        {255, {}},
    };
    for (const auto& [mode, expected] : cases) {
        gl.Reset();
        SetFogMode(mode);
        EXPECT_EQ(model.Params.FogMode, mode);
        EXPECT_EQ(gl.Calls, expected) << "mode " << mode;
    }
}

TEST_F(BoxRendererTest, NoFogItemSelectedStillDrawsWithFog)
{
    model.SelectFog(-1);
    model.ApplyFog();
    EXPECT_EQ(model.Params.FogMode, 255);
    EXPECT_TRUE(gl.Calls.isEmpty());
    EXPECT_EQ(Draw().at(2), "Enable(GL_FOG)");
}

TEST_F(BoxRendererTest, DrawIssuesTheWholeFrameInOrder)
{
    // "Top view vertical box" at the middle sizes: 0.701 x 1.001 x 0.301, eye 40,
    // depth 25, side angle 36.
    const QString w = "0.701", h = "1.001", t = "0.301";
    const auto v = [](const QString& s, const QString& tc, const QString& x, const QString& y,
                      const QString& z) {
        return QStringList{QStringLiteral("TexCoord2f(%1,%2)").arg(s, tc),
                           QStringLiteral("Vertex3f(%1,%2,%3)").arg(x, y, z)};
    };
    const auto face = [](int texture, const QStringList& corners) {
        return QStringList{QStringLiteral("BindTexture(GL_TEXTURE_2D,%1)").arg(texture), "Begin(GL_QUADS)"} +
               corners + QStringList{"End()"};
    };
    const QString mw = "-" + w, mh = "-" + h, mt = "-" + t;
    QStringList expected = {"Color4f(1,1,1,1)", "LoadIdentity()", "Disable(GL_FOG)",
                            "Rotatef(40,1,0,0)", "Translatef(0,-2.203977,0)",
                            "Enable(GL_TEXTURE_2D)", "Disable(GL_COLOR_MATERIAL)",
                            "Clear(16640)", "Translatef(0,0,-2.5)", "Translatef(0,0,0)",
                            "Translatef(0,0,0)", "Rotatef(36,0,1,0)", "Rotatef(0,1,0,0)",
                            "Rotatef(0,0,0,1)"};
    expected += face(1, v("0", "0", mw, mh, t) + v("1", "0", w, mh, t) + v("1", "1", w, h, t) + v("0", "1", mw, h, t));
    expected += face(1, v("1", "0", mw, mh, mt) + v("1", "1", mw, h, mt) + v("0", "1", w, h, mt) + v("0", "0", w, mh, mt));
    expected += face(3, v("0", "1", mw, h, mt) + v("0", "0", mw, h, t) + v("1", "0", w, h, t) + v("1", "1", w, h, mt));
    expected += face(3, v("1", "1", mw, mh, mt) + v("0", "1", w, mh, mt) + v("0", "0", w, mh, t) + v("1", "0", mw, mh, t));
    expected += face(2, v("1", "0", w, mh, mt) + v("1", "1", w, h, mt) + v("0", "1", w, h, t) + v("0", "0", w, mh, t));
    expected += face(2, v("0", "0", mw, mh, mt) + v("1", "0", mw, mh, t) + v("1", "1", mw, h, t) + v("0", "1", mw, h, mt));
    expected += QStringList{"Disable(GL_FOG)", "LoadIdentity()", "Disable(GL_TEXTURE_2D)",
                            "Enable(GL_COLOR_MATERIAL)", "ColorMaterial(GL_FRONT,GL_AMBIENT_AND_DIFFUSE)",
                            "Color4f(1,1,1,1)", "Begin(GL_QUADS)", "Vertex3f(-30,-30,-35)",
                            "Vertex3f(30,-30,-35)", "Vertex3f(30,30,-35)", "Vertex3f(-30,30,-35)",
                            "End()", "Flush()"};
    EXPECT_EQ(Draw(), expected);
}

TEST_F(BoxRendererTest, OffsetsDepthTurnAndBackgroundReachTheirTransforms)
{
    model.SetPosition(Slider::Depth, 80);
    model.SetPosition(Slider::Vertical, -15);
    model.SetPosition(Slider::Horizontal, 250);
    model.SetPosition(Slider::Turn, -1800);
    model.SelectBackground(0x00FF8000); // blue 255, green 128, red 0
    model.Recompute();
    model.ApplyBackground();
    const QStringList calls = Draw();
    EXPECT_EQ(calls.mid(8, 6), (QStringList{"Translatef(0,0,-8)", "Translatef(0,-1.5,0)",
                                            "Translatef(2.5,0,0)", "Rotatef(36,0,1,0)",
                                            "Rotatef(0,1,0,0)", "Rotatef(-180,0,0,1)"}));
    // The background lies at the depth itself plus 10, not a tenth of it.
    EXPECT_TRUE(calls.contains("Vertex3f(-30,-30,-90)"));
    EXPECT_TRUE(calls.contains("Color4f(0,0.5019608,1,1)"));
}

TEST_F(BoxRendererTest, EnablesFogForEveryModeButClearView)
{
    for (int mode : {1, 2, 3}) {
        SetFogMode(mode);
        const QStringList calls = Draw();
        EXPECT_EQ(calls.at(2), "Enable(GL_FOG)");
        EXPECT_EQ(calls.count("Disable(GL_FOG)"), 1) << "background is never fogged";
    }
    SetFogMode(0);
    EXPECT_EQ(Draw().at(2), "Disable(GL_FOG)");
}

TEST_F(BoxRendererTest, ThinCardDrawsOnlyFrontAndBack)
{
    SelectForm(3); // "vertical rotated image": thickness scale 0
    EXPECT_FLOAT_EQ(model.Params.HalfThickness, 0.001f);
    EXPECT_EQ(Draw().count("Begin(GL_QUADS)"), 2 + 1);

    model.Params.HalfThickness = 0.002f; // the limit itself is still a card
    EXPECT_EQ(Draw().count("Begin(GL_QUADS)"), 2 + 1);

    model.Params.HalfThickness = 0.003f;
    EXPECT_EQ(Draw().count("Begin(GL_QUADS)"), 6 + 1);
}

TEST_F(BoxRendererTest, AnglesAreDrawnAsGivenAndLeftAlone)
{
    // Wrapping is the document's: the drawing turns by what it is given.
    model.Params.SideAngle = 360.0f;
    model.Params.TiltAngle = 365.5f;
    QStringList calls = Draw();
    EXPECT_EQ(calls.at(11), "Rotatef(360,0,1,0)");
    EXPECT_EQ(calls.at(12), "Rotatef(365.5,1,0,0)");
    EXPECT_EQ(model.Params.SideAngle, 360.0f);
    EXPECT_EQ(model.Params.TiltAngle, 365.5f);

    model.Params.SideAngle = -400.0f;
    model.Params.TiltAngle = 359.5f;
    calls = Draw();
    EXPECT_EQ(calls.at(11), "Rotatef(-400,0,1,0)");
    EXPECT_EQ(model.Params.SideAngle, -400.0f);
    EXPECT_EQ(model.Params.TiltAngle, 359.5f);
}

TEST_F(BoxRendererTest, StoppedDrawIssuesNoGLCallAtAll)
{
    int pumps = 0;
    flags.PumpMessages = [&] { ++pumps; };

    flags.SuspendDraw = true;
    EXPECT_TRUE(Draw().isEmpty());
    EXPECT_EQ(pumps, 0);

    flags.AppActive = false;
    flags.SuspendDraw = false;
    EXPECT_TRUE(Draw().isEmpty());
    EXPECT_EQ(pumps, 1);

    flags.SuspendDraw = true; // inactive wins: messages still run once
    EXPECT_TRUE(Draw().isEmpty());
    EXPECT_EQ(pumps, 2);

    flags.PumpMessages = nullptr;
    EXPECT_TRUE(Draw().isEmpty());
    EXPECT_EQ(model.Params.SideAngle, 36.0f);
}

TEST_F(BoxRendererTest, SlotWithoutTextureDrawsItsFacesWithoutBinding)
{
    GLTexture neverUploaded(gl);
    textures = {&front, &neverUploaded, nullptr};
    const QStringList calls = Draw();
    EXPECT_EQ(calls.count("Begin(GL_QUADS)"), 7);
    EXPECT_EQ(gl.Matching("BindTexture"),
              (QStringList{"BindTexture(GL_TEXTURE_2D,1)", "BindTexture(GL_TEXTURE_2D,1)"}));
}

} // namespace
