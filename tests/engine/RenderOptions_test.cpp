// The engine without GL: reading the render options, building the box as
// the window would, and the transparency arithmetic.
#include "support/CliErrors.h"
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/RenderOptions.h"
#include "document/ProjectApply.h"
#include "formats/ProjectFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(RenderOptions, ValuesAreCheckedAgainstTheControlsRanges)
{
    const RenderOptions o = ParseRenderArguments(
        Args({"p.pcf", "--width", "1", "--height=100", "--thickness", "7", "--depth", "2",
              "--vertical", "-300", "--horizontal", "300", "--turn", "-1800", "--eye", "60",
              "--side-angle", "-12.5", "--tilt-angle", "1e2", "--background", "#0a80Ff",
              "--size", "640x480", "--scale", "16", "--samples", "8", "--quality", "10", "-o",
              "x.JPEG"}));
    EXPECT_EQ(o.Project, "p.pcf");
    EXPECT_EQ(*o.Sliders.Width, 1);
    EXPECT_EQ(*o.Sliders.Height, 100);
    EXPECT_EQ(*o.Sliders.Vertical, -300);
    EXPECT_EQ(*o.Sliders.Turn, -1800);
    EXPECT_EQ(*o.Sliders.Eye, 60);
    EXPECT_EQ(*o.SideAngle, -12.5f);
    EXPECT_EQ(*o.TiltAngle, 100.0f);
    EXPECT_EQ(*o.Background, 0xFF800Au); // the panel's 0x00BBGGRR
    EXPECT_EQ(*o.Size, QSize(640, 480));
    EXPECT_EQ(o.Scale, 16);
    EXPECT_EQ(o.Samples, 8);
    EXPECT_EQ(o.Format, OutputFormat::Jpeg);

    // One past each end, malformed numbers and values the GL cannot mean.
    for (const QStringList& bad :
         {Args({"--width", "0"}), Args({"--height", "101"}), Args({"--depth", "1"}),
          Args({"--depth", "81"}), Args({"--vertical", "-301"}), Args({"--horizontal", "301"}),
          Args({"--turn", "1801"}), Args({"--eye", "61"}), Args({"--eye", "3.5"}),
          Args({"--eye", "ten"}), Args({"--side-angle", "nan"}), Args({"--tilt-angle", "inf"}),
          Args({"--side-angle", "1e39"}), Args({"--background", "#12345"}),
          Args({"--background", "red"}), Args({"--size", "0x10"}), Args({"--size", "16385x1"}),
          Args({"--size", "10"}), Args({"--scale", "17"}), Args({"--samples", "3"}),
          Args({"--samples", "64"}), Args({"--quality", "9"}), Args({"--quality", "101"}),
          Args({"--form", "10"}), Args({"--form", "Box"}), Args({"--fog", "-1"}),
          Args({"--fog", "Foggy"})}) {
        const auto [status, text] = ParseFailure(bad + Args({"-o", "x.jpg"}));
        EXPECT_EQ(status, ExitBadInput) << bad.join(' ').toStdString();
        EXPECT_TRUE(text.startsWith(bad[0])) << text.toStdString();
    }
}

TEST(RenderOptions, KindsAndSurroundingsByNumberOrCaptionInAnyCase)
{
    EXPECT_EQ(*ParseRenderArguments(Args({"--form", "cd JEWEL box", "-o", "a.png"})).Form, 5);
    EXPECT_EQ(*ParseRenderArguments(Args({"--form", "9", "-o", "a.png"})).Form, 9);
    EXPECT_EQ(*ParseRenderArguments(Args({"--fog", "Dimmed Light", "-o", "a.png"})).Fog, 2);
    EXPECT_EQ(FormCaptions().size(), 10);
    EXPECT_EQ(FormCaptions()[3], "vertical rotated image");
}

TEST(RenderOptions, WrongUseIsAUsageError)
{
    for (const QStringList& bad :
         {Args({}), Args({"p.pcf"}), Args({"--bogus", "-o", "a.png"}), Args({"-o"}),
          Args({"a.pcf", "b.pcf", "-o", "a.png"}), Args({"--transparent", "-o", "a.jpg"}),
          Args({"--transparent", "-o", "a.bmp"}), Args({"--quality", "80", "-o", "a.png"}),
          Args({"--transparent=1", "-o", "a.png"}), Args({"--save-project", "p.pcf", "--quality", "80"})})
        EXPECT_EQ(ParseFailure(bad).first, ExitUsage) << bad.join(' ').toStdString();
    // A picture type it cannot write is a bad value, named.
    const auto [status, text] = ParseFailure(Args({"-o", "box.gif"}));
    EXPECT_EQ(status, ExitBadInput);
    EXPECT_TRUE(text.startsWith("box.gif:")) << text.toStdString();
}

TEST(RenderOptions, LooksTakeAnOptionalValueWithoutEatingTheNextOption)
{
    // Bare, before another option, before the project, and with a value.
    RenderOptions o = ParseRenderArguments(Args({"--shadow", "-o", "x.png", "--light", "p.pcf", "--reflection"}));
    EXPECT_EQ(o.Looks.Shadow, LookLimits::DefaultShadow);
    EXPECT_EQ(o.Looks.Light, LookLimits::DefaultLight);
    EXPECT_EQ(o.Looks.Reflection, LookLimits::DefaultReflection);
    EXPECT_EQ(o.Output, "x.png");
    EXPECT_EQ(o.Project, "p.pcf");
    EXPECT_FALSE(o.Looks.ShadowSoftness);
    EXPECT_FALSE(o.Looks.SmoothTextures);
    EXPECT_FALSE(o.SamplesGiven);

    o = ParseRenderArguments(Args({"--shadow", "40", "--reflection=0", "--light", "+100", "--shadow-softness",
                                   "0", "--smooth-textures", "--samples", "32", "-o", "x.png"}));
    EXPECT_EQ(o.Looks.Shadow, 40);
    EXPECT_EQ(o.Looks.Reflection, 0);
    EXPECT_EQ(o.Looks.Light, 100);
    EXPECT_EQ(o.Looks.ShadowSoftness, 0);
    EXPECT_TRUE(o.Looks.SmoothTextures);
    EXPECT_EQ(o.Samples, 32);
    EXPECT_TRUE(o.SamplesGiven);
    for (int n : LookLimits::SampleCounts)
        EXPECT_EQ(ParseRenderArguments(Args({"-o", "x.png", "--samples"}) + QStringList{QString::number(n)}).Samples, n);

    // A number after the option is its value, checked; anything else is not.
    for (const QStringList& bad : {Args({"--shadow", "101"}), Args({"--shadow", "-5"}), Args({"--light=abc"}),
                                   Args({"--reflection="}), Args({"--shadow-softness", "101"}),
                                   Args({"--shadow-softness", "soft"}), Args({"--samples", "0"})}) {
        const auto [status, text] = ParseFailure(bad + Args({"-o", "x.jpg"}));
        EXPECT_EQ(status, ExitBadInput) << bad.join(' ').toStdString();
        EXPECT_TRUE(text.startsWith(bad[0].section('=', 0, 0))) << text.toStdString();
    }
    EXPECT_EQ(ParseFailure(Args({"-o", "x.png", "--shadow-softness"})).first, ExitUsage);
    EXPECT_EQ(ParseFailure(Args({"--smooth-textures=1", "-o", "x.png"})).first, ExitUsage);
}

TEST(HeadlessBox, LookOptionsApplyOverTheProjectsLooks)
{
    ProjectData data;
    data.Looks.Shadow = 20;
    data.Looks.ShadowSoftness = 90;
    data.Looks.Reflection = 10;
    data.Looks.SmoothTextures = true;
    data.Looks.Samples = 16;

    HeadlessBox box;
    box.OpenProject(OpenedProject{data, QStringLiteral("/projects")});
    EXPECT_EQ(box.Document.Params.Looks, data.Looks);
    // No look option: the project's looks, samples included, stay.
    box.ApplyOptions(ParseRenderArguments(Args({"--width", "30", "-o", "x.png"})));
    EXPECT_EQ(box.Document.Params.Looks, data.Looks);
    EXPECT_EQ(box.Capture().Looks, data.Looks);

    box.ApplyOptions(ParseRenderArguments(Args({"--shadow", "--light", "5", "--samples", "2", "-o", "x.png"})));
    BoxLooks expected = data.Looks;
    expected.Shadow = LookLimits::DefaultShadow;
    expected.Light = 5;
    expected.Samples = 2;
    EXPECT_EQ(box.Document.Params.Looks, expected);

    // A new project starts with every look off; the options alone set them.
    HeadlessBox fresh;
    fresh.NewProject();
    EXPECT_TRUE(fresh.Document.Params.Looks.AllOff());
    fresh.ApplyOptions(ParseRenderArguments(Args({"--reflection", "--smooth-textures", "-o", "x.png"})));
    EXPECT_EQ(fresh.Document.Params.Looks.Reflection, LookLimits::DefaultReflection);
    EXPECT_TRUE(fresh.Document.Params.Looks.SmoothTextures);
    EXPECT_EQ(fresh.Document.Params.Looks.Samples, 1);
}

TEST(HeadlessBox, OpeningAProjectGivesWhatTheWindowsControlsHold)
{
    ProjectData data;
    data.SizeClass = 0;      // Small: the output sliders stop at 100
    data.Form = 5;           // the kind's values are overridden by the stored ones
    data.Fog = 3;
    data.BackgroundColor = 0x00336699;
    data.ImageWidth = 400;
    data.ImageHeight = 80;
    data.Depth = 99;         // beyond the slider: clamped as the window's bar does
    data.Vertical = -150;
    data.Eye = 12;
    data.SideAngle = 12.25f;
    data.FrontBack = QStringLiteral("covers/front.jpg");

    HeadlessBox box;
    box.OpenProject(OpenedProject{data, QStringLiteral("/projects")});
    EXPECT_EQ(box.Document.Position(Slider::ImageWidth), 100);
    EXPECT_EQ(box.Document.Position(Slider::ImageHeight), 80);
    EXPECT_EQ(box.Document.Position(Slider::Depth), 80);
    EXPECT_EQ(box.Document.Position(Slider::Vertical), -150);
    EXPECT_EQ(box.Document.Params.CurrentForm.Name, "CD jewel box");
    EXPECT_EQ(box.Document.Params.FogMode, 3);
    EXPECT_EQ(box.Document.Params.SideAngle, 12.25f);
    EXPECT_FLOAT_EQ(box.Document.Params.BackgroundRed, 0x99 / 255.0f);
    // Kept as stored, read from the project's folder.
    EXPECT_EQ(box.Document.Cover(0).Path, "covers/front.jpg");
    EXPECT_EQ(box.CoverFileOf(0), QDir::toNativeSeparators("/projects/covers/front.jpg"));
    EXPECT_TRUE(box.Document.Cover(1).Path.isEmpty());
    EXPECT_EQ(box.OutputSize(RenderOptions{}), QSize(100, 80));

    // What it captures again is what a second opening reproduces.
    HeadlessBox again;
    again.OpenProject(OpenedProject{box.Capture(), QStringLiteral("/elsewhere")});
    EXPECT_EQ(again.Capture(), box.Capture());
    EXPECT_EQ(again.Capture().FrontBack, "covers/front.jpg");
}

TEST(HeadlessBox, TheKindComesBeforeTheSliderOptions)
{
    HeadlessBox box;
    box.NewProject();
    EXPECT_EQ(box.Document.Position(Slider::Depth), 25); // first kind after "New project"
    EXPECT_EQ(box.Document.Params.BackgroundRed, 1.0f);

    RenderOptions o = ParseRenderArguments(Args({"--depth", "40", "--form", "5", "--side-angle",
                                                 "90", "-o", "a.png"}));
    box.ApplyOptions(o);
    EXPECT_EQ(box.Document.Position(Slider::Depth), 40);      // the option, not the kind's 28
    EXPECT_EQ(box.Document.Position(Slider::Horizontal), -6);      // the kind's
    EXPECT_EQ(box.Document.Position(Slider::Eye), 12);        // the kind's
    EXPECT_EQ(box.Document.Params.SideAngle, 90.0f);     // the option
    EXPECT_EQ(box.Document.Params.TiltAngle, 16.0f);     // the kind's
    EXPECT_EQ(box.Document.Params.Depth, 40.0f);         // recomputed
    EXPECT_FLOAT_EQ(box.Document.Params.HalfHeight, 0.041f);

    o.Size = QSize(200, 100);
    o.Scale = 3;
    EXPECT_EQ(box.OutputSize(o), QSize(600, 300));
    o.Size = QSize(10000, 10);
    o.Scale = 2;
    EXPECT_THROW(box.OutputSize(o), JobError);
}

TEST(Transparency, AlphaComesFromHowFarTheBackgroundShowsThrough)
{
    const QRgb bg = qRgb(255, 255, 255);
    const QRgb other = ContrastColor(bg);
    EXPECT_EQ(other, qRgb(0, 0, 0));
    EXPECT_EQ(ContrastColor(qRgb(10, 200, 128)), qRgb(255, 0, 0));

    QImage normal(4, 1, QImage::Format_RGBA8888), contrast(4, 1, QImage::Format_RGBA8888);
    const QRgb box = qRgb(200, 100, 50);
    // Box, background, a half-covered edge, and a corner the background quad missed.
    normal.setPixel(0, 0, box);
    contrast.setPixel(0, 0, box);
    normal.setPixel(1, 0, bg);
    contrast.setPixel(1, 0, other);
    normal.setPixel(2, 0, qRgb(228, 178, 153)); // half box, half white
    contrast.setPixel(2, 0, qRgb(100, 50, 25)); // half box, half black
    normal.setPixelColor(3, 0, QColor(0, 0, 0, 0));
    contrast.setPixelColor(3, 0, QColor(0, 0, 0, 0));

    const QImage out = CombineTransparent(normal, contrast, bg, other);
    EXPECT_EQ(out.pixelColor(0, 0), QColor(200, 100, 50, 255)); // opaque colour kept exactly
    EXPECT_EQ(out.pixelColor(1, 0).alpha(), 0);
    EXPECT_NEAR(out.pixelColor(2, 0).alpha(), 127, 2);
    EXPECT_NEAR(out.pixelColor(2, 0).red(), 200, 3); // unmixed from the white
    EXPECT_NEAR(out.pixelColor(2, 0).blue(), 50, 3);
    EXPECT_EQ(out.pixelColor(3, 0).alpha(), 0);
}

} // namespace
