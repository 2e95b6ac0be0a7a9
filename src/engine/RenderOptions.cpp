#include "engine/RenderOptions.h"
#include "engine/SizeOptions.h"

#include "engine/BundleRender.h"
#include "engine/OptionReader.h"
#include "engine/OptionTable.h"
#include "engine/ShownPath.h"
#include "formats/PictureKind.h"


namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// A model is binary glTF (the output guard keeps it apart from the other outputs).
void CheckModelName(const RenderOptions& o)
{
    if (!o.ExportModel.isEmpty() && !o.ExportModel.endsWith(QLatin1String(".glb"), Qt::CaseInsensitive))
        throw BadInput(QStringLiteral("%1: not a model type this program writes (use .glb)").arg(o.ExportModel));
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
    const bool hasNext = index + 1 < arguments.size();
    // An option the table does not know is taken to have a value, as the
    // command it belongs to may.
    const RenderOptionEntry* entry = FindRenderOption(arg);
    if (entry && entry->Arity == OptionArity::None)
        return 0;
    if (entry && entry->Arity == OptionArity::Optional)
        return hasNext && IsLookValue(arguments[index + 1]) ? 1 : 0;
    return hasNext ? 1 : 0;
}

QString RayOptionsNeedTheRayTracerText()
{
    return QStringLiteral("--passes, --time-limit, --seed, --gloss, --denoise and --aperture need the ray tracer (--engine raytrace, "
                          "or a project that uses it)");
}

QString DpiFormatText()
{
    return QStringLiteral("--dpi is for .jpg, .png and .bmp pictures (a .tga file has no resolution field)");
}

std::optional<OutputFormat> OutputFormatOf(const QString& fileName)
{
    switch (PictureKindOfName(fileName)) {
    case PictureKind::Jpeg: return OutputFormat::Jpeg;
    case PictureKind::Png: return OutputFormat::Png;
    case PictureKind::Bmp: return OutputFormat::Bmp;
    case PictureKind::Tga: return OutputFormat::Tga;
    case PictureKind::Gif: // a turntable writes GIFs; a single picture never does
    case PictureKind::Unknown: break;
    }
    return std::nullopt;
}

RenderOptions ParseRenderArguments(const QStringList& arguments)
{
    RenderOptions o;
    bool projectGiven = false;
    OptionsSeen seen;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        OptionReader option(arguments, i);
        const QString arg = option.Name();
        if (const RenderOptionEntry* entry = FindRenderOption(arg)) {
            // A bundle's projects may come in several groups; any other
            // option given twice leaves unclear which one was meant.
            if (QLatin1String(entry->Name) != QLatin1String("bundle"))
                seen.Add(QLatin1String(entry->Name), arg);
            std::optional<QString> value;
            switch (entry->Arity) {
            case OptionArity::None:
                option.NoValue();
                break;
            case OptionArity::Required:
                value = option.Value();
                break;
            case OptionArity::Optional:
                value = option.ValueIf(IsLookValue);
                break;
            }
            entry->Apply(o, *entry, arg, value);
            // A bundle's projects follow each other up to the next option.
            if (QLatin1String(entry->Name) == QLatin1String("bundle"))
                while (i + 1 < arguments.size() && !arguments[i + 1].startsWith(QLatin1Char('-')))
                    entry->Apply(o, *entry, arg, arguments[++i]);
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

    for (const QString* path : {&o.Project, &o.Output, &o.SaveProject, &o.ExportModel})
        CheckPathLength(*path);
    for (const QString& path : o.Bundle)
        CheckPathLength(path);
    CheckBundleOptions(o);
    CheckSizeOptions(o);
    for (const std::optional<QString>& cover : o.Covers)
        if (cover)
            CheckPathLength(*cover);
    if (o.Output.isEmpty() && o.SaveProject.isEmpty() && o.ExportModel.isEmpty())
        throw UsageError(
            QStringLiteral("render needs -o IMAGE, --save-project OUT.pcf, --export-model BOX.glb or more of them"));
    CheckModelName(o);
    if (o.Engine == RenderEngine::Raster && o.Ray.AnyGiven())
        throw UsageError(RayOptionsNeedTheRayTracerText());
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
