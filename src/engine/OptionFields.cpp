#include "engine/OptionFields.h"

#include "engine/HeadlessBox.h"

#include "document/BoxDocument.h"
#include "document/BoxLooks.h"

#include <QJsonArray>

#include <cstring>

namespace {

// How the window's control for an option shows it.
enum class Shown {
    Value,   // the value itself
    Tenths,  // a tenth of it, rounded as the window's labels round
    BoxSize, // the box's measure: the slider's position times the kind's scale
};

struct WindowControl {
    const char* Name;
    const char* Caption;
    const char* Unit = ""; // of the value as sent
    Shown How = Shown::Value;
    Slider Size = Slider::Width; // for BoxSize
    std::optional<OptionRange> Bar = std::nullopt; // a control's span where any number is taken
};

// The window's words for its controls; the view angles, which it sets by
// dragging, get a bar over one turn round and from below to above.
const std::vector<WindowControl>& WindowControls()
{
    static const std::vector<WindowControl> controls = {
        {"form", "Form"},
        {"fog", "Surrounding"},
        {"background", "Background"},
        {"width", "Width", "", Shown::BoxSize, Slider::Width},
        {"height", "Height", "", Shown::BoxSize, Slider::Height},
        {"thickness", "Thickness", "", Shown::BoxSize, Slider::Thickness},
        {"depth", "Depth"},
        {"vertical", "Vertical"},
        {"horizontal", "Horizontal"},
        {"turn", "Turn", "0.1\u00B0", Shown::Tenths},
        {"eye", "Eye angle", "\u00B0"},
        {"side-angle", "Side angle", "\u00B0", Shown::Value, Slider::Width, OptionRange{-180, 180}},
        {"tilt-angle", "Tilt angle", "\u00B0", Shown::Value, Slider::Width, OptionRange{-90, 90}},
        {"shadow", "Shadow"},
        {"shadow-softness", "Softness"},
        {"reflection", "Reflection"},
        {"light", "Light"},
        {"smooth-textures", "Smooth textures"},
        {"samples", "Samples"},
        {"edge-radius", "Edge radius"},
        {"book-pages", "Book pages"},
    };
    return controls;
}

const WindowControl* ControlOf(const RenderOptionEntry& entry)
{
    for (const WindowControl& c : WindowControls())
        if (std::strcmp(c.Name, entry.Name) == 0)
            return &c;
    return nullptr;
}

QString TypeOf(OptionKind kind)
{
    switch (kind) {
    case OptionKind::Flag: return QStringLiteral("flag");
    case OptionKind::Integer:
    case OptionKind::Strength: return QStringLiteral("integer");
    case OptionKind::SampleCount: return QStringLiteral("samples");
    case OptionKind::Choice: return QStringLiteral("choice");
    case OptionKind::Colour: return QStringLiteral("colour");
    case OptionKind::Size: return QStringLiteral("size");
    case OptionKind::Text:
    case OptionKind::File: return QStringLiteral("word"); // neither is a request's field
    case OptionKind::Angle:
    case OptionKind::Number:
    case OptionKind::Bytes:
    case OptionKind::Pixels: break;
    }
    return QStringLiteral("number");
}

// What a request naming no option gets: a new project's value where the
// project holds it, else the table's default.
QJsonValue DefaultOf(const RenderOptionEntry& entry, const ProjectData& fresh)
{
    if (entry.Info) {
        const QJsonArray values = entry.Info(fresh);
        if (entry.Kind == OptionKind::Size)
            return QStringLiteral("%1x%2").arg(values.at(0).toInt()).arg(values.at(1).toInt());
        if (entry.Kind == OptionKind::Choice && values.at(0).isString())
            return static_cast<int>(OptionChoices(entry).indexOf(values.at(0).toString()));
        return values.at(0);
    }
    if (entry.Default)
        return *entry.Default;
    if (entry.Kind == OptionKind::Flag)
        return false;
    return QJsonValue();
}

// The window's label for each position of a size slider, for each box kind:
// the kind scales the measure, and the label rounds a single-precision
// value, which no simple formula on the page would repeat exactly.
QJsonArray SizesByForm(Slider slider)
{
    QJsonArray forms;
    BoxDocument document;
    document.ResetProject();
    const SliderRange range = document.Range(slider);
    for (int form = 0; form < FormCount; ++form) {
        document.SetForm(form);
        QJsonArray shown;
        for (int position = range.Minimum; position <= range.Maximum; ++position) {
            document.SetPosition(slider, position);
            shown.append(document.ValueText(slider).toInt());
        }
        forms.append(shown);
    }
    return forms;
}

QJsonObject ShownOf(const WindowControl& control)
{
    switch (control.How) {
    case Shown::Value: break;
    case Shown::Tenths:
        return {{QStringLiteral("scale"), 0.1}, {QStringLiteral("unit"), QStringLiteral("\u00B0")}};
    case Shown::BoxSize: return {{QStringLiteral("byForm"), SizesByForm(control.Size)}};
    }
    return {};
}

// An option without words of its own shares the next one's usage line.
QString HelpOf(const RenderOptionEntry& entry)
{
    const auto& table = RenderOptionTable();
    for (auto it = table.begin() + (&entry - table.data()); it != table.end(); ++it)
        if (*it->Help)
            return it->HelpText().replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QString();
}

QJsonObject FieldOf(const RenderOptionEntry& entry, const ProjectData& fresh, int maxOutputSide)
{
    QJsonObject field{{QStringLiteral("name"), QLatin1String(entry.Name)},
                      {QStringLiteral("type"), TypeOf(entry.Kind)},
                      {QStringLiteral("help"), HelpOf(entry)}};
    if (std::optional<OptionRange> r = entry.ValueRange()) {
        if (entry.Kind == OptionKind::Size && maxOutputSide < r->Max) {
            // The help line names this service's bound, not the command line's.
            const QString help = field.value(QStringLiteral("help")).toString();
            field.insert(QStringLiteral("help"), QString(help).replace(QStringLiteral("..%1").arg(r->Max),
                                                                       QStringLiteral("..%1").arg(maxOutputSide)));
            r->Max = maxOutputSide;
        }
        field.insert(QStringLiteral("min"), r->Min);
        field.insert(QStringLiteral("max"), r->Max);
    }
    if (const QJsonValue d = DefaultOf(entry, fresh); !d.isNull())
        field.insert(QStringLiteral("default"), d);
    if (entry.Bare)
        field.insert(QStringLiteral("bare"), *entry.Bare);
    if (const QStringList choices = OptionChoices(entry); !choices.isEmpty())
        field.insert(QStringLiteral("choices"), QJsonArray::fromStringList(choices));
    if (entry.Kind == OptionKind::SampleCount) {
        QJsonArray values, captions;
        for (int n : LookLimits::SampleCounts) {
            values.append(n);
            const bool off = n == LookLimits::SampleCounts.front();
            captions.append(off ? QStringLiteral("%1 (off)").arg(n) : QString::number(n));
        }
        field.insert(QStringLiteral("values"), values);
        field.insert(QStringLiteral("choices"), captions);
    }
    if (const WindowControl* control = ControlOf(entry)) {
        field.insert(QStringLiteral("label"), QString::fromUtf8(control->Caption));
        if (*control->Unit)
            field.insert(QStringLiteral("unit"), QString::fromUtf8(control->Unit));
        if (control->Bar)
            field.insert(QStringLiteral("bar"), QJsonObject{{QStringLiteral("min"), control->Bar->Min},
                                                            {QStringLiteral("max"), control->Bar->Max}});
        if (const QJsonObject shown = ShownOf(*control); !shown.isEmpty())
            field.insert(QStringLiteral("shown"), shown);
    }
    return field;
}

} // namespace

const QStringList& RequestFormats()
{
    static const QStringList formats = {QStringLiteral("png"), QStringLiteral("jpg"), QStringLiteral("bmp"),
                                        QStringLiteral("tga")};
    return formats;
}

QJsonObject RequestOptionsJson(int maxOutputSide)
{
    HeadlessBox box;
    box.NewProject();
    const ProjectData fresh = box.Capture();
    QJsonArray options;
    for (const RenderOptionEntry& entry : RenderOptionTable())
        if (entry.RequestField())
            options.append(FieldOf(entry, fresh, maxOutputSide));
    options.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("format")},
                               {QStringLiteral("type"), QStringLiteral("word")},
                               {QStringLiteral("help"), QStringLiteral("the picture's format")},
                               {QStringLiteral("default"), RequestFormats().front()},
                               {QStringLiteral("choices"), QJsonArray::fromStringList(RequestFormats())}});
    return {{QStringLiteral("options"), options}};
}
