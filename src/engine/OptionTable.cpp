#include "engine/OptionTable.h"

#include "engine/OptionValues.h"
#include "engine/SizeOptions.h"

#include "document/BoxDocument.h"
#include "document/BoxLooks.h"
#include "formats/ProjectFile.h"
#include "raytrace/RayRender.h"
#include "render/BoxGroup.h"
#include "render/ViewFit.h"

#include <algorithm>

using namespace SliderLimits;

namespace {

using Value = std::optional<QString>;

int Integer(const RenderOptionEntry& s, const QString& arg, const Value& v)
{
    const OptionRange r = *s.ValueRange();
    return IntegerIn(arg, *v, r.Min, r.Max);
}

void ApplyLook(RenderOptions& o, const RenderOptionEntry& s, const QString& arg, const Value& v)
{
    o.Looks.*(s.Look->Given) = v ? Strength(arg, *v) : *s.Bare;
}

QString HexColour(std::int32_t bgr)
{
    const auto v = static_cast<std::uint32_t>(bgr);
    return QStringLiteral("#%1%2%3")
        .arg(v & 0xFFu, 2, 16, QLatin1Char('0'))
        .arg((v >> 8) & 0xFFu, 2, 16, QLatin1Char('0'))
        .arg((v >> 16) & 0xFFu, 2, 16, QLatin1Char('0'))
        .toUpper();
}

// Layout of the usage: where a line's second and third options stand.
constexpr int Beside = 45, BesideHelp = 60;

using S = RenderOptionEntry;
using A = OptionArity;
using K = OptionKind;
using Sec = OptionSection;
using J = InfoBlock;
constexpr auto NoInfo = nullptr;
constexpr std::nullopt_t None = std::nullopt;

std::vector<RenderOptionEntry> MakeTable()
{
    return {
        // name, short, arity, kind, value, range, default, bare, section, help, usage column, help
        // column,
        // info block, info keys, info values, manifest column, apply; then, where
        // they are not the usual: look field, unit, default in words, commands
        {"form", nullptr, A::Required, K::Choice, "N|NAME", None, None, None, Sec::Box,
         "box kind {min}..{max} or its caption (moves depth, offsets,\nturn, eye and both angles "
         "to the kind's values)",
         0, 0, J::Top, "form", [](const ProjectData& d) { return QJsonArray{d.Form}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Form = Choice(a, *v, OptionChoices(s));
         }},
        {"fog", nullptr, A::Required, K::Choice, "N|NAME", None, None, None, Sec::Box,
         "{min}..{max}: {choices}", 0, 0, J::Top, "fog",
         [](const ProjectData& d) { return QJsonArray{d.Fog}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Fog = Choice(a, *v, OptionChoices(s));
         }},
        {"background", nullptr, A::Required, K::Colour, "#RRGGBB", None, None, None, Sec::Box,
         "background colour", 0, 0, J::Top, "background",
         [](const ProjectData& d) { return QJsonArray{HexColour(d.BackgroundColor)}; }, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.Background = Colour(a, *v);
         }},
        {"width", nullptr, A::Required, K::Integer, "N", OptionRange{SizeMin, SizeMax}, None, None,
         Sec::Box, "box width {min}..{max}", 0, 0, J::Top, "boxWidth",
         [](const ProjectData& d) { return QJsonArray{d.Breed}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Width = Integer(s, a, v);
         }},
        {"height", nullptr, A::Required, K::Integer, "N", OptionRange{SizeMin, SizeMax}, None, None,
         Sec::Box, "box height {min}..{max}", Beside, BesideHelp, J::Top, "boxHeight",
         [](const ProjectData& d) { return QJsonArray{d.Height}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Height = Integer(s, a, v);
         }},
        {"thickness", nullptr, A::Required, K::Integer, "N", OptionRange{SizeMin, SizeMax}, None,
         None, Sec::Box, "box thickness {min}..{max}", 0, 0, J::Top, "boxThickness",
         [](const ProjectData& d) { return QJsonArray{d.Thick}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Thickness = Integer(s, a, v);
         }},
        {"depth", nullptr, A::Required, K::Integer, "N", OptionRange{DepthMin, DepthMax}, None,
         None, Sec::Box, "distance {min}..{max}", Beside, BesideHelp, J::Top, "depth",
         [](const ProjectData& d) { return QJsonArray{d.Depth}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Depth = Integer(s, a, v);
         }},
        {"vertical", nullptr, A::Required, K::Integer, "N", OptionRange{OffsetMin, OffsetMax}, None,
         None, Sec::Box, "offset {min}..{max}", 0, 0, J::Top, "vertical",
         [](const ProjectData& d) { return QJsonArray{d.Vertical}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Vertical = Integer(s, a, v);
         }},
        {"horizontal", nullptr, A::Required, K::Integer, "N", OptionRange{OffsetMin, OffsetMax},
         None, None, Sec::Box, "offset {min}..{max}", Beside, BesideHelp, J::Top, "horizontal",
         [](const ProjectData& d) { return QJsonArray{d.Horizontal}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Horizontal = Integer(s, a, v);
         }},
        {"turn", nullptr, A::Required, K::Integer, "N", OptionRange{TurnMin, TurnMax}, None, None,
         Sec::Box, "tenths of a degree {min}..{max}", 0, 0, J::Top, "turn",
         [](const ProjectData& d) { return QJsonArray{d.Turn}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Turn = Integer(s, a, v);
         }, None, "tenths of a degree"},
        {"eye", nullptr, A::Required, K::Integer, "N", OptionRange{EyeMin, EyeMax}, None, None,
         Sec::Box, "eye angle {min}..{max}", 0, 0, J::Top, "eye",
         [](const ProjectData& d) { return QJsonArray{d.Eye}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Sliders.Eye = Integer(s, a, v);
         }},
        // Not finite (a damaged file) has no JSON number: null.
        {"side-angle", nullptr, A::Required, K::Angle, "DEG", None, None, None, Sec::Box, "", 0, 0,
         J::Top, "sideAngle",
         [](const ProjectData& d) { return QJsonArray{static_cast<double>(d.SideAngle)}; }, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.SideAngle = Angle(a, *v);
         }, None, "degrees"},
        {"tilt-angle", nullptr, A::Required, K::Angle, "DEG", None, None, None, Sec::Box,
         "view angles in degrees", 23, Beside, J::Top, "tiltAngle",
         [](const ProjectData& d) { return QJsonArray{static_cast<double>(d.TiltAngle)}; }, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.TiltAngle = Angle(a, *v);
         }, None, "degrees"},
        // Not a project value: it moves the view of this picture only.
        {"fit", nullptr, A::Optional, K::Integer, "[MARGIN]",
         OptionRange{FitLimits::MinMargin, FitLimits::MaxMargin}, None, FitLimits::DefaultMargin,
         Sec::Box,
         "move the view (depth, offsets; not the angles) so that\nthe box fits with a margin "
         "of {min}..{max} % (alone: {bare})",
         0, 0, J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Fit = v ? FitMargin(a, *v) : *s.Bare;
         }, None, "percent"},
        {"front", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Box, "", 0, 0,
         J::Top, "front", [](const ProjectData& d) { return QJsonArray{d.FrontBack}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value& v) { o.Covers[0] = *v; }},
        {"side", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Box, "", 23, 0,
         J::Top, "side", [](const ProjectData& d) { return QJsonArray{d.LeftRight}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value& v) { o.Covers[1] = *v; }},
        {"top", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Box,
         "cover images\n(.jpg, .bmp, .png, .gif, .tga; alpha over white)", Beside, 58, J::Top,
         "top", [](const ProjectData& d) { return QJsonArray{d.TopBottom}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value& v) { o.Covers[2] = *v; }},

        {"shadow", nullptr, A::Optional, K::Strength, "[S]",
         OptionRange{LookLimits::MinStrength, LookLimits::MaxStrength}, None,
         LookLimits::DefaultShadow, Sec::Looks, "ground shadow {min}..{max} (alone: {bare})", 0, 0,
         J::Looks, "shadow", [](const ProjectData& d) { return QJsonArray{d.Looks.Shadow}; }, true,
         ApplyLook, LookField{&LookOptions::Shadow, &BoxLooks::Shadow}},
        {"shadow-softness", nullptr, A::Required, K::Strength, "N",
         OptionRange{LookLimits::MinStrength, LookLimits::MaxStrength}, LookLimits::DefaultSoftness,
         None, Sec::Looks, "{min} (hard)..{max} (soft), default {default}", 0, 0, J::Looks,
         "shadowSoftness", [](const ProjectData& d) { return QJsonArray{d.Looks.ShadowSoftness}; },
         true, ApplyLook, LookField{&LookOptions::ShadowSoftness, &BoxLooks::ShadowSoftness}},
        {"reflection", nullptr, A::Optional, K::Strength, "[S]",
         OptionRange{LookLimits::MinStrength, LookLimits::MaxStrength}, None,
         LookLimits::DefaultReflection, Sec::Looks, "floor reflection {min}..{max} (alone: {bare})",
         0, 0, J::Looks, "reflection",
         [](const ProjectData& d) { return QJsonArray{d.Looks.Reflection}; }, true, ApplyLook,
         LookField{&LookOptions::Reflection, &BoxLooks::Reflection}},
        {"light", nullptr, A::Optional, K::Strength, "[S]",
         OptionRange{LookLimits::MinStrength, LookLimits::MaxStrength}, None,
         LookLimits::DefaultLight, Sec::Looks, "directional light {min}..{max} (alone: {bare})", 0,
         0, J::Looks, "light", [](const ProjectData& d) { return QJsonArray{d.Looks.Light}; }, true,
         ApplyLook, LookField{&LookOptions::Light, &BoxLooks::Light}},
        {"lens", nullptr, A::Required, K::Integer, "MM", OptionRange{LookLimits::MinLensMm, LookLimits::MaxLensMm},
         None, None, Sec::Looks,
         "focal length of a full-frame camera, {min}..{max} mm: the product keeps its\n"
         "size, the perspective flattens as it grows; 0: the classic field (about 29 mm)",
         0, 0, J::Looks, "lens", [](const ProjectData& d) { return QJsonArray{d.Looks.LensMm}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Looks.LensMm = v == QLatin1String("0") ? LookLimits::ClassicLens : Integer(s, a, v);
         },
         LookField{&LookOptions::LensMm, &BoxLooks::LensMm}, "millimetres"},
        {"smooth-textures", nullptr, A::None, K::Flag, nullptr, None, None, None, Sec::Looks,
         "filtered covers: no shimmer on large artwork", 0, 0, J::Looks, "smoothTextures",
         [](const ProjectData& d) { return QJsonArray{d.Looks.SmoothTextures}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value&) {
             o.Looks.SmoothTextures = true;
         }},

        {"edge-radius", nullptr, A::Required, K::Number, "R",
         OptionRange{static_cast<int>(ShapeLimits::MinEdgeRadius), static_cast<int>(ShapeLimits::MaxEdgeRadius)},
         None, None, Sec::Shape, "rounded edges {min}..{max} (the size labels' units; at most\nthe thinnest half side)",
         0, 0, J::Shape, "edgeRadius", [](const ProjectData& d) { return QJsonArray{static_cast<double>(d.Shape.EdgeRadius)}; },
         true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             const OptionRange r = *s.ValueRange();
             o.Shape.EdgeRadius = NumberIn(a, *v, static_cast<float>(r.Min), static_cast<float>(r.Max));
         }},
        {"book-pages", nullptr, A::None, K::Flag, nullptr, None, None, None, Sec::Shape,
         "the book kinds with page block, boards and spine", 0, 0, J::Shape, "bookPages",
         [](const ProjectData& d) { return QJsonArray{d.Shape.BookPages}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value&) { o.Shape.BookPages = true; }},
        {"back", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Shape, "", 0, 0,
         J::Shape, "back", [](const ProjectData& d) { return QJsonArray{d.Back}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value& v) { o.Covers[3] = *v; }},
        {"right", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Shape, "", 23, 0,
         J::Shape, "right", [](const ProjectData& d) { return QJsonArray{d.Right}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value& v) { o.Covers[4] = *v; }},
        {"bottom", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Shape,
         "own pictures of those sides\n(absent: the front's, side's, top's)", Beside, 58, J::Shape,
         "bottom", [](const ProjectData& d) { return QJsonArray{d.Bottom}; }, true,
         [](RenderOptions& o, const S&, const QString&, const Value& v) { o.Covers[5] = *v; }},
        // Several projects in one picture; ParseRenderArguments takes the
        // paths that follow the first as well.
        {"bundle", nullptr, A::Required, K::File, "A.pcf B.pcf...", None, None, None, Sec::Shape,
         "2 to 6 projects in one picture, each box with its own\nkind, size, shape and covers; "
         "the first gives the view,\nlooks, background, output size and engine",
         0, 0, J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) { o.Bundle << NamedFile(a, *v); },
         None, nullptr, nullptr, ForRender},
        {"arrange", nullptr, A::Required, K::Choice, "row|fan|stack", None, None, None, Sec::Shape,
         "a bundle side by side (default), fanned towards\nthe middle or stacked; by number {min}..{max}", 0, 0, J::None, nullptr,
         NoInfo, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Arrange = Choice(a, *v, OptionChoices(s));
         }, None, nullptr, nullptr, ForRender},
        {"spacing", nullptr, A::Required, K::Number, "S",
         OptionRange{GroupLimits::MinSpacing, GroupLimits::MaxSpacing}, GroupLimits::DefaultSpacing, None,
         Sec::Shape, "gap between a row's or fan's boxes {min}..{max} (the size\nlabels' units; default {default})",
         0, 0, J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             const OptionRange r = *s.ValueRange();
             o.Spacing = NumberIn(a, *v, static_cast<float>(r.Min), static_cast<float>(r.Max));
         }, None, nullptr, nullptr, ForRender},

        {"output", "-o", A::Required, K::File, "IMAGE", None, None, None, Sec::Output,
         "the picture to write", 0, 0, J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.Output = NamedFile(a, *v);
         }},
        {"save-project", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Output,
         "write the project with the options applied", 0, 0, J::None, nullptr, NoInfo, false,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.SaveProject = NamedFile(a, *v);
         }, None, nullptr, nullptr, ForRender},
        {"export-model", nullptr, A::Required, K::File, "FILE", None, None, None, Sec::Output,
         "write the box, its pictures and the view's camera as\nbinary glTF (.glb), in metres", 0, 0, J::None,
         nullptr, NoInfo, false,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.ExportModel = NamedFile(a, *v);
         }, None, nullptr, nullptr, ForRender},
        {"size", nullptr, A::Required, K::Size, "WxH", OptionRange{1, MaxOutputSide}, None, None,
         Sec::Output, "output pixels, {min}..{max} each (default: the project's)", 0, 0, J::Top,
         "imageWidth,imageHeight",
         [](const ProjectData& d) {
             return QJsonArray{d.ImageWidth, d.ImageHeight};
         },
         true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             const OptionRange r = *s.ValueRange();
             o.Size = OutputSize(a, *v, r.Min, r.Max);
         }, None, "pixels"},
        {"scale", nullptr, A::Required, K::Integer, "N", OptionRange{1, MaxScale}, 1, None,
         Sec::Output, "multiply the output size, {min}..{max}; the picture stays the same", 0, 0,
         J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Scale = Integer(s, a, v);
         }},
        {"samples", nullptr, A::Required, K::SampleCount, "N",
         OptionRange{LookLimits::SampleCounts.front(), LookLimits::SampleCounts.back()}, None, None,
         Sec::Output, "anti-aliasing: {counts} (default: the project's)", 0, 0, J::Looks, "samples",
         [](const ProjectData& d) { return QJsonArray{d.Looks.Samples}; }, true,
         [](RenderOptions& o, const S&, const QString& a, const Value& v) {
             o.Samples = SampleCount(a, *v);
             o.SamplesGiven = true;
         }},
        {"quality", nullptr, A::Required, K::Integer, "N",
         OptionRange{MinJpegQuality, MaxJpegQuality}, DefaultJpegQuality, None, Sec::Output,
         "JPEG quality {min}..{max} (default {default})", 0, 0, J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Quality = Integer(s, a, v);
             o.QualityGiven = true;
         }},
        {"transparent", nullptr, A::None, K::Flag, nullptr, None, None, None, Sec::Output,
         ".png/.tga: background gets alpha 0", 0, 0, J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S&, const QString&, const Value&) { o.Transparent = true; }},
        // The engine, its passes, the gloss and the denoiser are stored in the project;
        // the seed and the time limit belong to the run.
        {"engine", nullptr, A::Required, K::Choice, "NAME", None, None, None, Sec::Output,
         "{min}|raster (the window's picture) or {max}|raytrace (soft\nlight, shadows and gloss; slower); "
         "default: the project's",
         0, 0, J::Engine, "engine",
         [](const ProjectData& d) { return QJsonArray{d.Engine.RayTraced ? QStringLiteral("raytrace") : QStringLiteral("raster")}; },
         true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Engine = Choice(a, *v, OptionChoices(s)) == 1 ? RenderEngine::Raytrace : RenderEngine::Raster;
         }},
        {"passes", nullptr, A::Required, K::Integer, "N", OptionRange{RayLimits::MinPasses, RayLimits::MaxPasses},
         RayLimits::DefaultPasses, None, Sec::Output,
         "ray tracer: paths per pixel {min}..{max} (default: the\nproject's, else {default})", 0, 0, J::Engine, "passes",
         [](const ProjectData& d) { return QJsonArray{d.Engine.Passes}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) { o.Ray.Passes = Integer(s, a, v); }},
        {"time-limit", nullptr, A::Required, K::Number, "S", OptionRange{0, MaxTimeLimit}, None, None, Sec::Output,
         "ray tracer: stop after the pass that crosses S seconds,\n{min}..{max} (0: no limit)", 0, 0, J::None, nullptr, NoInfo, false,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             const OptionRange r = *s.ValueRange();
             o.Ray.TimeLimit = NumberIn(a, *v, static_cast<float>(r.Min), static_cast<float>(r.Max));
         }, None, "seconds"},
        {"seed", nullptr, A::Required, K::Integer, "N", OptionRange{0, 1000000000}, 1, None, Sec::Output,
         "ray tracer: another sequence of paths, {min}..{max} (default {default})", 0, 0, J::None, nullptr,
         NoInfo, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) { o.Ray.Seed = Integer(s, a, v); }},
        {"gloss", nullptr, A::Required, K::Integer, "G", OptionRange{0, RayLimits::MaxGloss}, 0, None,
         Sec::Output, "ray tracer: clear coat on the covers, {min} (none)..{max} (sharp)\n(default: the project's)",
         0, 0, J::Engine, "gloss", [](const ProjectData& d) { return QJsonArray{d.Engine.Gloss}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) { o.Ray.Gloss = Integer(s, a, v); }},
        {"denoise", nullptr, A::Required, K::Choice, "on|off", None, None, None, Sec::Output,
         "ray tracer: {max}|on filters the grain away, keeping the edges\nand the print; {min}|off: the passes' mean "
         "(default: the\nproject's, else on)",
         0, 0, J::Engine, "denoise",
         [](const ProjectData& d) { return QJsonArray{d.Engine.Denoise ? QStringLiteral("on") : QStringLiteral("off")}; },
         true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Ray.Denoise = Choice(a, *v, OptionChoices(s)) == 1;
         }},
        {"aperture", nullptr, A::Required, K::Number, "F",
         OptionRange{static_cast<int>(EngineLimits::MinFNumber), static_cast<int>(EngineLimits::MaxFNumber)}, None,
         None, Sec::Output,
         "ray tracer: depth of field, the lens open at f/F ({min}..{max}),\nfocused on the front; 0 (the default): all sharp",
         0, 0, J::Engine, "aperture", [](const ProjectData& d) { return QJsonArray{d.Engine.FNumber}; }, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             // 0 closes the lens; any other opens it no wider than f/1.
             bool number = false;
             const double closed = v->toDouble(&number);
             const float f = number && closed == 0 ? 0.0f
                                                   : NumberIn(a, *v, static_cast<float>(s.ValueRange()->Min),
                                                              static_cast<float>(s.ValueRange()->Max));
             o.Ray.FNumber = std::round(static_cast<double>(f) * 10) / 10; // kept in tenths
         }, None, "f-number"},
        {"dpi", nullptr, A::Required, K::Integer, "N", OptionRange{MinDpi, MaxDpi}, None, None,
         Sec::Output,
         "print resolution {min}..{max} recorded in a .jpg, .png or\n.bmp (a .tga has no field for "
         "it)",
         0, 0, J::None, nullptr, NoInfo, true,
         [](RenderOptions& o, const S& s, const QString& a, const Value& v) {
             o.Dpi = Integer(s, a, v);
         }, None, "dots per inch"},
        // Phase times on standard error: for measuring, not in the usage.
        {"timings", nullptr, A::None, K::Flag, nullptr, None, None, None, Sec::Hidden,
         "phase times on standard error", 0, 0, J::None, nullptr, NoInfo, false,
         [](RenderOptions& o, const S&, const QString&, const Value&) { o.Timings = true; }},
    };
}

} // namespace

const std::vector<RenderOptionEntry>& RenderOptionTable()
{
    static const std::vector<RenderOptionEntry> table = [] {
        std::vector<RenderOptionEntry> t = MakeTable();
        // The real sizes follow the sliders they set.
        const auto eye = std::find_if(t.begin(), t.end(), [](const RenderOptionEntry& e) {
            return QLatin1String(e.Name) == QLatin1String("eye");
        });
        const std::vector<RenderOptionEntry> sizes = SizeOptionEntries();
        t.insert(eye + 1, sizes.begin(), sizes.end());
        return t;
    }();
    return table;
}

