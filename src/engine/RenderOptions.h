#pragma once
// The arguments of "cubiform render", read and checked before any file is
// touched: every value against the range of the control it stands for.
#include "engine/JobError.h"

#include "document/RealSize.h"

#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

// Picture formats by the output's extension.
enum class OutputFormat { Jpeg, Png, Bmp, Tga };

// The slider positions a render may set, in the order they are applied.
struct SliderOptions {
    std::optional<int> Width;      // widthBar
    std::optional<int> Height;     // heightBar
    std::optional<int> Thickness;  // thicknessBar
    std::optional<int> Depth;      // depthBar
    std::optional<int> Vertical;   // verticalBar
    std::optional<int> Horizontal; // horizontalBar
    std::optional<int> Turn;       // turnBar
    std::optional<int> Eye;        // eyeAngleBox
};

// The looks a render may set over the project's; a bare --shadow,
// --reflection or --light takes the LookLimits default. The option table
// names the BoxLooks field each of them sets.
struct LookOptions {
    std::optional<int> Shadow;
    std::optional<int> ShadowSoftness;
    std::optional<int> Reflection;
    std::optional<int> Light;
    std::optional<int> LensMm; // 0: back to the classic field
    bool SmoothTextures = false; // only turns them on
};

// The shape a render may set over the project's; --book-pages only turns
// the book on, as --smooth-textures does.
struct ShapeOptions {
    std::optional<float> EdgeRadius;
    bool BookPages = false;
};

// How the picture is made: the raster of the window, or the ray tracer.
enum class RenderEngine { Raster, Raytrace };

// The ray tracer's options; each needs the ray tracer (--engine raytrace,
// or a project that uses it) when a picture is drawn. Passes, gloss, the
// denoiser and the aperture are stored in the project; the seed and the time limit are
// the run's.
struct RayTraceOptions {
    std::optional<int> Passes;
    std::optional<double> TimeLimit; // seconds
    std::optional<int> Seed;
    std::optional<int> Gloss;
    std::optional<bool> Denoise;
    std::optional<double> FNumber; // 0: no depth of field

    bool AnyGiven() const { return Passes || TimeLimit || Seed || Gloss || Denoise || FNumber; }
};
inline constexpr int MaxTimeLimit = 86400;

// The box's real size, or a book's from its print values (SizeOptions.h);
// each keeps the words it was given in for the messages.
struct RealSizeOptions {
    std::optional<ParsedSides> BoxSize;
    QString BoxSizeText;
    std::optional<ParsedSides> Trim;
    QString TrimText;
    std::optional<int> Pages;
    std::optional<double> Caliper; // micrometres a leaf

    bool AnyGiven() const { return BoxSize || Trim || Pages || Caliper; }
};

inline constexpr int DefaultJpegQuality = 70;
// The window's "Save image as" offers 10..100; the same range here means a
// command-line picture can always be made again from the window.
inline constexpr int MinJpegQuality = 10;
inline constexpr int MaxJpegQuality = 100;
inline constexpr int MaxOutputSide = 16384;
// --dpi: the print resolution recorded in the picture.
inline constexpr int MinDpi = 1;
inline constexpr int MaxDpi = 10000;
inline constexpr int MaxScale = 16;

struct RenderOptions {
    QString Project;           // empty: start from "New project"
    QString Output;            // -o IMAGE; empty: no picture
    OutputFormat Format = OutputFormat::Png;
    QString SaveProject;       // --save-project OUT.pcf
    QString ExportModel;       // --export-model BOX.glb; empty: no model
    // --front, --side, --top, then --back, --right, --bottom (CoverSourceCount).
    std::optional<QString> Covers[6];
    std::optional<int> Form;   // formBox index
    std::optional<int> Fog;    // surroundingBox index
    std::optional<std::uint32_t> Background; // 0x00BBGGRR
    SliderOptions Sliders;
    std::optional<float> SideAngle;
    std::optional<float> TiltAngle;
    std::optional<QSize> Size;
    int Scale = 1;
    LookOptions Looks;
    ShapeOptions Shape;
    int Samples = 1;           // one of LookLimits::SampleCounts
    bool SamplesGiven = false; // else the project's samples stay
    int Quality = DefaultJpegQuality;
    bool QualityGiven = false;
    bool Transparent = false;
    std::optional<int> Dpi; // --dpi N; none: the file records what it always did
    std::optional<int> Fit; // --fit [MARGIN]: percent of the picture; none: the view as given
    // --bundle A.pcf B.pcf ...: several projects in one picture (BoxGroup.h),
    // placed by --arrange (a GroupArrangement) with --spacing between them.
    QStringList Bundle;
    std::optional<int> Arrange;
    std::optional<float> Spacing;
    bool Timings = false; // phase times on standard error (not in the usage)
    // --engine over the project's engine; none: the project's (a new
    // project's is the raster).
    std::optional<RenderEngine> Engine;
    RayTraceOptions Ray;
    RealSizeOptions Real;
    // Told what the options did beyond the picture: a size the sliders hold
    // only nearly, a book's spine. The command line shows it on standard error.
    std::function<void(const QString& text)> Note;
};

// Throws JobError: ExitUsage for an unknown option, a missing value
// or a combination that makes no sense; ExitBadInput for a value that is
// malformed or outside its range.
RenderOptions ParseRenderArguments(const QStringList& arguments);

// Why --passes and the like are refused for a raster picture.
QString RayOptionsNeedTheRayTracerText();

// Why --dpi and a .tga picture do not go together: the format has no field for it.
QString DpiFormatText();

// How many of the arguments after arguments[index] (an option, perhaps with
// "=value") belong to it when ParseRenderArguments reads them: 0 or 1. For
// commands that pass their other arguments on to the render options.
int RenderOptionValuesAt(const QStringList& arguments, qsizetype index);

// The format an output name asks for, by its extension in any letter case.
std::optional<OutputFormat> OutputFormatOf(const QString& fileName);

// "N" or the caption (any letter case) of one of the items; nothing otherwise.
std::optional<int> ChoiceIndex(const QString& value, const QStringList& captions);
