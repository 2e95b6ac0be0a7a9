#include "engine/OptionTable.h"

#include "document/BoxDocument.h"
#include "document/BoxLooks.h"
#include "render/BoxGroup.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

// In the order of GroupArrangement.
QStringList ArrangementCaptions()
{
    return {QStringLiteral("row"), QStringLiteral("fan"), QStringLiteral("stack")};
}

// "20MB", "50MP": as the service's settings are written.
QString Scaled(qint64 n, const char* unit, qint64 factor)
{
    return n % factor == 0 ? QString::number(n / factor) + QLatin1String(unit) : QString::number(n);
}

} // namespace

const RenderOptionEntry* FindRenderOption(const QString& name)
{
    for (const RenderOptionEntry& entry : RenderOptionTable())
        if (name == entry.LongName() || (entry.Short && name == QLatin1String(entry.Short)))
            return &entry;
    return nullptr;
}

QStringList OptionChoices(const RenderOptionEntry& entry)
{
    const QLatin1String name(entry.Name);
    if (name == QLatin1String("form"))
        return FormCaptions();
    if (name == QLatin1String("fog"))
        return FogCaptions();
    if (name == QLatin1String("engine"))
        return {QStringLiteral("raster"), QStringLiteral("raytrace")};
    if (name == QLatin1String("denoise"))
        return {QStringLiteral("off"), QStringLiteral("on")};
    if (name == QLatin1String("arrange"))
        return ArrangementCaptions();
    return {};
}

QString SampleCountWords()
{
    QStringList counts;
    for (int n : LookLimits::SampleCounts)
        counts << QString::number(n);
    const QString last = counts.takeLast();
    return counts.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString RenderOptionEntry::Names() const
{
    return Short ? QStringLiteral("%1, %2").arg(QLatin1String(Short), LongName()) : LongName();
}

std::optional<OptionRange> RenderOptionEntry::ValueRange() const
{
    if (Kind == OptionKind::Choice)
        return OptionRange{0, static_cast<int>(OptionChoices(*this).size()) - 1};
    return Range;
}

QStringList RenderOptionEntry::Keys() const
{
    return JsonKeys ? QString::fromLatin1(JsonKeys).split(QLatin1Char(',')) : QStringList();
}

QString RenderOptionEntry::DefaultWords() const
{
    if (DefaultText)
        return QString::fromUtf8(DefaultText);
    if (!Default)
        return {};
    if (Kind == OptionKind::Bytes)
        return Scaled(*Default, "MB", qint64{1} << 20);
    if (Kind == OptionKind::Pixels)
        return Scaled(*Default, "MP", 1000000);
    return QString::number(*Default);
}

bool RenderOptionEntry::RequestField() const
{
    return Apply && (Commands & ForRender) && Kind != OptionKind::File && Section != OptionSection::Hidden;
}

QString RenderOptionEntry::HelpText() const
{
    QString text = QString::fromUtf8(Help);
    if (const std::optional<OptionRange> r = ValueRange()) {
        text.replace(QLatin1String("{min}"), QString::number(r->Min));
        text.replace(QLatin1String("{max}"), QString::number(r->Max));
    }
    text.replace(QLatin1String("{default}"), DefaultWords());
    if (Bare)
        text.replace(QLatin1String("{bare}"), QString::number(*Bare));
    QStringList quoted;
    for (const QString& caption : OptionChoices(*this))
        quoted << QLatin1Char('"') + caption + QLatin1Char('"');
    text.replace(QLatin1String("{choices}"), quoted.join(QStringLiteral(", ")));
    // The first count is no anti-aliasing at all.
    QString counts = SampleCountWords();
    counts.insert(counts.indexOf(QLatin1Char(',')), QStringLiteral(" (off)"));
    text.replace(QLatin1String("{counts}"), counts);
    return text;
}

BoxLooks LooksWithOptions(BoxLooks looks, const RenderOptions& o)
{
    for (const RenderOptionEntry& entry : RenderOptionTable())
        if (entry.Look)
            if (const std::optional<int>& given = o.Looks.*(entry.Look->Given))
                looks.*(entry.Look->Field) = *given;
    // Smooth textures can only be turned on from the command line.
    looks.SmoothTextures = looks.SmoothTextures || o.Looks.SmoothTextures;
    if (o.SamplesGiven)
        looks.Samples = o.Samples;
    return looks;
}

BoxEngine EngineWithOptions(BoxEngine engine, const RenderOptions& o)
{
    if (o.Engine)
        engine.RayTraced = *o.Engine == RenderEngine::Raytrace;
    if (o.Ray.Passes)
        engine.Passes = *o.Ray.Passes;
    if (o.Ray.Gloss)
        engine.Gloss = *o.Ray.Gloss;
    if (o.Ray.Denoise)
        engine.Denoise = *o.Ray.Denoise;
    if (o.Ray.FNumber)
        engine.FNumber = *o.Ray.FNumber;
    return engine;
}

BoxShape ShapeWithOptions(BoxShape shape, const RenderOptions& o)
{
    if (o.Shape.EdgeRadius)
        shape.EdgeRadius = *o.Shape.EdgeRadius;
    shape.BookPages = shape.BookPages || o.Shape.BookPages;
    return shape;
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
        text.endsWith(QLatin1String(".pcf"), Qt::CaseInsensitive) ||
        text.contains(QLatin1Char('/')) || text.contains(QDir::separator()))
        return false;
    return !QFileInfo::exists(text);
}
