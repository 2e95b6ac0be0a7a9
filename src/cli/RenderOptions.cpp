#include "cli/RenderOptions.h"

#include "cli/OptionReader.h"
#include "cli/ShownPath.h"

#include "document/BoxDocument.h"
#include "document/BoxLooks.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <cmath>
#include <limits>

using namespace SliderLimits;

namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

CommandLineError BadValue(const QString& option, const QString& value, const QString& why)
{
    return BadInput(QStringLiteral("%1 %2: %3").arg(option, Quoted(value), why));
}

int IntegerIn(const QString& option, const QString& value, int minimum, int maximum)
{
    bool ok = false;
    const qlonglong n = value.toLongLong(&ok);
    if (!ok)
        throw BadValue(option, value, QStringLiteral("not a whole number"));
    if (n < minimum || n > maximum)
        throw BadValue(option, value,
                       QStringLiteral("out of range %1..%2").arg(minimum).arg(maximum));
    return static_cast<int>(n);
}

float Angle(const QString& option, const QString& value)
{
    bool ok = false;
    const double d = value.toDouble(&ok);
    if (!ok || !std::isfinite(d) || std::fabs(d) > std::numeric_limits<float>::max())
        throw BadValue(option, value, QStringLiteral("not a finite number of degrees"));
    return static_cast<float>(d);
}

std::uint32_t Colour(const QString& option, const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral("^#([0-9A-Fa-f]{6})$"));
    const QRegularExpressionMatch m = pattern.match(value);
    if (!m.hasMatch())
        throw BadValue(option, value, QStringLiteral("not a colour of the form #RRGGBB"));
    const std::uint32_t rgb = m.captured(1).toUInt(nullptr, 16);
    // The panel holds 0x00BBGGRR.
    return ((rgb >> 16) & 0xFFu) | (rgb & 0xFF00u) | ((rgb & 0xFFu) << 16);
}

QSize OutputSize(const QString& option, const QString& value)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d+)[xX](\\d+)$"));
    const QRegularExpressionMatch m = pattern.match(value);
    if (!m.hasMatch())
        throw BadValue(option, value, QStringLiteral("not a size of the form WIDTHxHEIGHT"));
    const int w = IntegerIn(option, m.captured(1), 1, MaxOutputSide);
    const int h = IntegerIn(option, m.captured(2), 1, MaxOutputSide);
    return {w, h};
}

int Choice(const QString& option, const QString& value, const QStringList& captions)
{
    if (const std::optional<int> index = ChoiceIndex(value, captions))
        return *index;
    throw BadValue(option, value,
                   QStringLiteral("not 0..%1 nor one of: %2")
                       .arg(captions.size() - 1)
                       .arg(captions.join(QStringLiteral(", "))));
}

int SampleCount(const QString& option, const QString& value)
{
    const int n = IntegerIn(option, value, LookLimits::SampleCounts.front(), LookLimits::SampleCounts.back());
    if (!LookLimits::IsSampleCount(n))
        throw BadValue(option, value, QStringLiteral("not 1, 2, 4, 8, 16 or 32"));
    return n;
}

// What may follow an option whose value is optional: anything that starts
// like a number ("--shadow -5" and "--light 50.5" are refused, not taken for
// an option or a project), and a word that names neither an option nor a
// file ("--shadow abc"). "--shadow -o x.png" is the bare look, and so is
// "--shadow box.pcf": a file there, or a name that plainly is a project's.
bool IsLookValue(const QString& text)
{
    static const QRegularExpression numeric(QStringLiteral("^[+-]?\\.?\\d"));
    if (numeric.match(text).hasMatch())
        return true;
    if (text.isEmpty() || text.startsWith(QLatin1Char('-')) ||
        text.endsWith(QLatin1String(".pcf"), Qt::CaseInsensitive) || text.contains(QLatin1Char('/')) ||
        text.contains(QDir::separator()))
        return false;
    return !QFileInfo::exists(text);
}

int Strength(const QString& option, const std::optional<QString>& value, int bare)
{
    if (!value)
        return bare;
    bool ok = false;
    value->toLongLong(&ok);
    if (!ok)
        throw BadValue(option, *value,
                       QStringLiteral("not a whole number %1..%2").arg(LookLimits::MinStrength).arg(LookLimits::MaxStrength));
    return IntegerIn(option, *value, LookLimits::MinStrength, LookLimits::MaxStrength);
}

} // namespace

std::optional<int> ChoiceIndex(const QString& value, const QStringList& captions)
{
    bool isNumber = false;
    const int n = value.toInt(&isNumber);
    if (isNumber)
        return n >= 0 && n < captions.size() ? std::optional<int>(n) : std::nullopt;
    for (int i = 0; i < captions.size(); ++i)
        if (captions[i].compare(value, Qt::CaseInsensitive) == 0)
            return i;
    return std::nullopt;
}

int RenderOptionValuesAt(const QStringList& arguments, qsizetype index)
{
    const QString& arg = arguments[index];
    if (!arg.startsWith(QLatin1Char('-')) || arg.size() < 2 || arg.contains(QLatin1Char('=')))
        return 0;
    if (arg == QLatin1String("--transparent") || arg == QLatin1String("--timings") ||
        arg == QLatin1String("--smooth-textures"))
        return 0;
    const bool hasNext = index + 1 < arguments.size();
    if (arg == QLatin1String("--shadow") || arg == QLatin1String("--reflection") || arg == QLatin1String("--light"))
        return hasNext && IsLookValue(arguments[index + 1]) ? 1 : 0;
    return hasNext ? 1 : 0;
}

QString DpiFormatText()
{
    return QStringLiteral("--dpi is for .jpg, .png and .bmp pictures (a .tga file has no resolution field)");
}

std::optional<OutputFormat> OutputFormatOf(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return std::nullopt;
    const QString ext = fileName.mid(dot).toLower();
    if (ext == QLatin1String(".jpg") || ext == QLatin1String(".jpeg"))
        return OutputFormat::Jpeg;
    if (ext == QLatin1String(".png"))
        return OutputFormat::Png;
    if (ext == QLatin1String(".bmp"))
        return OutputFormat::Bmp;
    if (ext == QLatin1String(".tga"))
        return OutputFormat::Tga;
    return std::nullopt;
}

RenderOptions ParseRenderArguments(const QStringList& arguments)
{
    RenderOptions o;
    bool projectGiven = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        OptionReader option(arguments, i);
        const QString arg = option.Name();
        const auto next = [&] { return option.Value(); };
        const auto optionalValue = [&] { return option.ValueIf(IsLookValue); };
        const auto flag = [&] { option.NoValue(); };

        if (arg == QLatin1String("-o") || arg == QLatin1String("--output")) {
            o.Output = next();
            if (o.Output.isEmpty())
                throw UsageError(QStringLiteral("%1 needs a file name").arg(arg));
        } else if (arg == QLatin1String("--save-project")) {
            o.SaveProject = next();
            if (o.SaveProject.isEmpty())
                throw UsageError(QStringLiteral("%1 needs a file name").arg(arg));
        } else if (arg == QLatin1String("--front")) {
            o.Covers[0] = next();
        } else if (arg == QLatin1String("--side")) {
            o.Covers[1] = next();
        } else if (arg == QLatin1String("--top")) {
            o.Covers[2] = next();
        } else if (arg == QLatin1String("--form")) {
            o.Form = Choice(arg, next(), FormCaptions());
        } else if (arg == QLatin1String("--fog")) {
            o.Fog = Choice(arg, next(), FogCaptions());
        } else if (arg == QLatin1String("--background")) {
            o.Background = Colour(arg, next());
        } else if (arg == QLatin1String("--width")) {
            o.Sliders.Width = IntegerIn(arg, next(), SizeMin, SizeMax);
        } else if (arg == QLatin1String("--height")) {
            o.Sliders.Height = IntegerIn(arg, next(), SizeMin, SizeMax);
        } else if (arg == QLatin1String("--thickness")) {
            o.Sliders.Thickness = IntegerIn(arg, next(), SizeMin, SizeMax);
        } else if (arg == QLatin1String("--depth")) {
            o.Sliders.Depth = IntegerIn(arg, next(), DepthMin, DepthMax);
        } else if (arg == QLatin1String("--vertical")) {
            o.Sliders.Vertical = IntegerIn(arg, next(), OffsetMin, OffsetMax);
        } else if (arg == QLatin1String("--horizontal")) {
            o.Sliders.Horizontal = IntegerIn(arg, next(), OffsetMin, OffsetMax);
        } else if (arg == QLatin1String("--turn")) {
            o.Sliders.Turn = IntegerIn(arg, next(), TurnMin, TurnMax);
        } else if (arg == QLatin1String("--eye")) {
            o.Sliders.Eye = IntegerIn(arg, next(), EyeMin, EyeMax);
        } else if (arg == QLatin1String("--side-angle")) {
            o.SideAngle = Angle(arg, next());
        } else if (arg == QLatin1String("--tilt-angle")) {
            o.TiltAngle = Angle(arg, next());
        } else if (arg == QLatin1String("--size")) {
            o.Size = OutputSize(arg, next());
        } else if (arg == QLatin1String("--scale")) {
            o.Scale = IntegerIn(arg, next(), 1, MaxScale);
        } else if (arg == QLatin1String("--samples")) {
            o.Samples = SampleCount(arg, next());
            o.SamplesGiven = true;
        } else if (arg == QLatin1String("--shadow")) {
            o.Looks.Shadow = Strength(arg, optionalValue(), LookLimits::DefaultShadow);
        } else if (arg == QLatin1String("--shadow-softness")) {
            o.Looks.ShadowSoftness = Strength(arg, next(), LookLimits::DefaultSoftness);
        } else if (arg == QLatin1String("--reflection")) {
            o.Looks.Reflection = Strength(arg, optionalValue(), LookLimits::DefaultReflection);
        } else if (arg == QLatin1String("--light")) {
            o.Looks.Light = Strength(arg, optionalValue(), LookLimits::DefaultLight);
        } else if (arg == QLatin1String("--smooth-textures")) {
            flag();
            o.Looks.SmoothTextures = true;
        } else if (arg == QLatin1String("--quality")) {
            o.Quality = IntegerIn(arg, next(), MinJpegQuality, MaxJpegQuality);
            o.QualityGiven = true;
        } else if (arg == QLatin1String("--dpi")) {
            o.Dpi = IntegerIn(arg, next(), MinDpi, MaxDpi);
        } else if (arg == QLatin1String("--transparent")) {
            flag();
            o.Transparent = true;
        } else if (arg == QLatin1String("--timings")) {
            flag();
            o.Timings = true;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            throw UsageError(QStringLiteral("unknown option %1").arg(arg));
        } else if (!projectGiven) {
            o.Project = arg;
            projectGiven = true;
            if (o.Project.isEmpty())
                throw UsageError(QStringLiteral("the project file name is empty"));
        } else {
            throw UsageError(QStringLiteral("only one project can be rendered at a time; %1 is one too many")
                                 .arg(Quoted(arg)));
        }
    }

    for (const QString* path : {&o.Project, &o.Output, &o.SaveProject})
        CheckPathLength(*path);
    for (const std::optional<QString>& cover : o.Covers)
        if (cover)
            CheckPathLength(*cover);
    if (o.Output.isEmpty() && o.SaveProject.isEmpty())
        throw UsageError(QStringLiteral("render needs -o IMAGE, --save-project OUT.pcf or both"));
    if (!o.Output.isEmpty()) {
        const std::optional<OutputFormat> format = OutputFormatOf(o.Output);
        if (!format)
            throw BadInput(QStringLiteral("%1: not a picture type this program writes (use .jpg, "
                                          ".jpeg, .png, .bmp or .tga)")
                               .arg(o.Output));
        o.Format = *format;
        if (o.QualityGiven && o.Format != OutputFormat::Jpeg)
            throw UsageError(QStringLiteral("--quality is for JPEG pictures (.jpg, .jpeg) only"));
        if (o.Transparent && o.Format != OutputFormat::Png && o.Format != OutputFormat::Tga)
            throw UsageError(QStringLiteral("--transparent needs a .png or .tga picture"));
        if (o.Dpi && o.Format == OutputFormat::Tga)
            throw UsageError(DpiFormatText());
    } else if (o.Dpi) {
        throw UsageError(QStringLiteral("--dpi needs -o IMAGE"));
    } else if (o.QualityGiven || o.Transparent) {
        throw UsageError(QStringLiteral("%1 needs -o IMAGE")
                             .arg(o.QualityGiven ? QStringLiteral("--quality")
                                                 : QStringLiteral("--transparent")));
    }
    return o;
}
