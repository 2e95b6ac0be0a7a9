// The box drawn for real (Mesa's software rasteriser, no window) and judged
// by its pixels.
#include "document/BoxDocument.h"
#include "render/BoxRenderer.h"
#include "render/HeadlessContext.h"
#include "render/GLTexture.h"
#include "support/GLPixels.h"
#include "support/HeadlessScene.h"

#include <gtest/gtest.h>

#include <GL/glu.h>

#include <memory>
#include <vector>

namespace {

constexpr int Side = 300;
const QRgb White = qRgb(255, 255, 255);
const QRgb FrontColor = PlaceholderColors[0];
const QRgb SideColor = PlaceholderColors[1];
const QRgb TopColor = PlaceholderColors[2];

struct BoxSceneTest : ::testing::Test, HeadlessScene {
    void SetUp() override
    {
        Open(Side);
        if (HasFatalFailure())
            return;
        model.OnChanged = [this](unsigned c) {
            if (c & DocumentChange::FogMode)
                renderer.SetFogMode(model.Params.FogMode);
        };
        SelectForm(0);
        model.ApplyBackground();
        Prepare(Side);
    }

    void TearDown() override { Close(); }

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

    QImage Frame()
    {
        renderer.DrawFrame(model.Params, Textures(), flags);
        return context->ReadImage();
    }

    static QRgb Centre(const QImage& image) { return image.pixel(Side / 2, Side / 2); }

    static void ExpectCorners(const QImage& image, QRgb expected)
    {
        for (const QPoint p : {QPoint(0, 0), QPoint(Side - 1, 0), QPoint(0, Side - 1), QPoint(Side - 1, Side - 1)})
            EXPECT_TRUE(NearColor(image.pixel(p), expected))
                << "corner " << p.x() << "," << p.y() << " is " << ColorText{image.pixel(p)};
    }

    static int CountNear(const QImage& image, QRgb color)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += NearColor(image.pixel(x, y), color) ? 1 : 0;
        return n;
    }
};

TEST_F(BoxSceneTest, EveryFormShowsTheBoxInFrontOfTheBackground)
{
    // Upright boxes, cards and books face the viewer with their front; the
    // jewel box, pizza box and shoe box lie flat and show their top there.
    const QRgb centreColor[FormCount] = {FrontColor, FrontColor, FrontColor, FrontColor, FrontColor,
                                         TopColor,   TopColor,   TopColor,   FrontColor, FrontColor};
    for (int form = 0; form < FormCount; ++form) {
        SCOPED_TRACE(model.Forms()[static_cast<std::size_t>(form)].Name.toStdString());
        SelectForm(form);
        const QImage image = Frame();
        ExpectCorners(image, White);
        EXPECT_TRUE(NearColor(Centre(image), centreColor[form])) << ColorText{Centre(image)};
    }
}

TEST_F(BoxSceneTest, BackgroundTakesTheChosenColour)
{
    model.SelectBackground(0x00336699); // red 0x99, green 0x66, blue 0x33
    model.ApplyBackground();
    const QImage image = Frame();
    ExpectCorners(image, qRgb(0x99, 0x66, 0x33));
    EXPECT_TRUE(NearColor(Centre(image), FrontColor));
}

TEST_F(BoxSceneTest, FarBackgroundLeavesTheClearColourAtTheBorder)
{
    model.SetPosition(Slider::Depth, 80); // the quad at z = -90 no longer fills the view
    model.Recompute();
    const QImage image = Frame();
    // The quad reaches 30 / 37.3 of the half-width: columns 29..270 of 300.
    ExpectCorners(image, qRgb(0, 0, 0));
    EXPECT_TRUE(NearColor(image.pixel(20, Side / 2), qRgb(0, 0, 0)));
    EXPECT_TRUE(NearColor(image.pixel(40, Side / 2), White));
}

TEST_F(BoxSceneTest, FogDarkensTheBoxButNeverTheBackground)
{
    const QRgb clear = Centre(Frame());
    QRgb fogged[4] = {};
    for (int mode = 1; mode <= 3; ++mode) {
        SetFogMode(mode);
        const QImage image = Frame();
        fogged[mode] = Centre(image);
        EXPECT_LT(Brightness(fogged[mode]), Brightness(clear) - 60)
            << "mode " << mode << ": " << ColorText{fogged[mode]};
        ExpectCorners(image, White);
    }
    // Each mode reaches GL: linear, exp2 and exp give different shades here.
    EXPECT_NE(fogged[1], fogged[2]);
    EXPECT_NE(fogged[2], fogged[3]);
}

TEST_F(BoxSceneTest, ClearViewAfterDarkSwitchesFogOffAndDarkRestoresIt)
{
    const QRgb clear = Centre(Frame());
    SetFogMode(3);
    const QRgb dark = Centre(Frame());
    SetFogMode(0);
    EXPECT_TRUE(NearColor(Centre(Frame()), clear, 0));
    SetFogMode(3);
    EXPECT_TRUE(NearColor(Centre(Frame()), dark, 0));
    EXPECT_FALSE(NearColor(dark, clear));
}

TEST_F(BoxSceneTest, StoredFogModeShowsFromTheFirstFrame)
{
    SetFogMode(1); // linear, the GL default would be exp
    const QRgb linear = Centre(Frame());

    {
        HeadlessContext fresh(Side, Side); // a new context starts with GL's defaults
        GLTexture front, side, top;
        const SlotTextures textures{&front, &side, &top};
        SceneDriver freshDriver;
        renderer.InitGL(freshDriver, model.Params);
        renderer.PrepareGL(textures, {&thumbs[0], &thumbs[1], &thumbs[2]});
        freshDriver.SetViewport(SystemGL(), Side, Side);
        renderer.DrawFrame(model.Params, textures, flags);
        EXPECT_TRUE(NearColor(Centre(fresh.ReadImage()), linear, 1));
    } // the fixture's context is current again
    EXPECT_TRUE(NearColor(Centre(Frame()), linear, 1));
}

TEST_F(BoxSceneTest, FlatCardShowsOnlyFrontAndBack)
{
    SelectForm(3); // "vertical rotated image"
    model.Params.TiltAngle = 0.0f;
    model.Params.SideAngle = 60.0f; // edges would show if there were any
    QImage image = Frame();
    EXPECT_GT(CountNear(image, FrontColor), 1000);
    EXPECT_EQ(CountNear(image, SideColor), 0);
    EXPECT_EQ(CountNear(image, TopColor), 0);

    // The same view with some thickness does show an edge.
    model.Params.HalfThickness = 0.3f;
    model.Params.SideAngle = 60.0f;
    image = Frame();
    EXPECT_GT(CountNear(image, SideColor), 100);
}

TEST_F(BoxSceneTest, FrameGrabIsUprightWithRedAndBlueInPlace)
{
    const QImage frame = Frame();
    QImage grabbed;
    ASSERT_TRUE(GrabFrameToBitmap(grabbed));
    ASSERT_EQ(grabbed.size(), QSize(Side, Side));
    EXPECT_EQ(grabbed.format(), QImage::Format_RGB888);
    for (const QPoint p : {QPoint(0, 0), QPoint(150, 150), QPoint(120, 40), QPoint(200, 260)})
        EXPECT_EQ(grabbed.pixel(p), frame.pixel(p) | 0xFF000000u) << p.x() << "," << p.y();
}

TEST_F(BoxSceneTest, SuspendedOrInactiveDrawLeavesTheLastFrame)
{
    const QImage before = Frame();
    model.Params.SideAngle += 90.0f;
    int pumps = 0;
    flags.PumpMessages = [&] { ++pumps; };
    flags.SuspendDraw = true;
    EXPECT_EQ(Frame(), before);
    flags.SuspendDraw = false;
    flags.AppActive = false;
    EXPECT_EQ(Frame(), before);
    EXPECT_EQ(pumps, 1);
    flags.AppActive = true;
    EXPECT_NE(Frame(), before);
}

} // namespace

namespace {

// Fine detail everywhere, so any difference in a texel would show.
void PaintBusy(RgbaPicture& picture, int width, int height)
{
    picture.AllocatePixels(width, height, QStringLiteral("test"));
    std::uint8_t* p = picture.Pixels.get();
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x, p += 4) {
            p[0] = static_cast<std::uint8_t>(x * 37 + y * 11);
            p[1] = static_cast<std::uint8_t>(x * 5 + y * 73);
            p[2] = static_cast<std::uint8_t>(x * x + y);
            p[3] = 255;
        }
}

TEST_F(BoxSceneTest, FramesAreThoseOfTexturesBuiltByGlu)
{
    const QSize sizes[3] = {{601, 403}, {150, 700}, {333, 50}};
    RgbaPicture pictures[3];
    for (int i = 0; i < 3; ++i) {
        PaintBusy(pictures[i], sizes[i].width(), sizes[i].height());
        slots[i]->Upload(pictures[i]);
    }
    std::vector<QImage> ours;
    for (const int form : {0, 3, 5, 8})
        for (const int fog : {0, 2}) {
            SelectForm(form);
            SetFogMode(fog);
            ours.push_back(Frame());
        }
    // The same pictures through the GLU builder, into the same textures.
    for (int i = 0; i < 3; ++i) {
        slots[i]->Bind();
        ASSERT_EQ(gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, pictures[i].Width, pictures[i].Height, GL_RGBA,
                                    GL_UNSIGNED_BYTE, pictures[i].Pixels.get()),
                  0);
    }
    std::size_t frame = 0;
    for (const int form : {0, 3, 5, 8})
        for (const int fog : {0, 2}) {
            SelectForm(form);
            SetFogMode(fog);
            EXPECT_TRUE(Frame() == ours[frame++]) << "form " << form << ", fog " << fog;
        }
}

} // namespace
