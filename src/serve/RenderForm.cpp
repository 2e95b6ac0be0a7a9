#include "serve/RenderForm.h"

#include "engine/OptionValues.h"
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/OptionFields.h"
#include "engine/OptionTable.h"
#include "engine/RayTraceBox.h"
#include "formats/ProjectError.h"
#include "serve/CoverBytes.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QSet>

#include <variant>

namespace {

// A value as sent: a form field's text, or a JSON value.
using Sent = std::variant<QString, bool>;

QString Text(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

bool StartsWithType(std::string_view contentType, std::string_view type)
{
    if (contentType.size() < type.size())
        return false;
    for (std::size_t i = 0; i < type.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(contentType[i])) != type[i])
            return false;
    return contentType.size() == type.size() || contentType[type.size()] == ';' || contentType[type.size()] == ' ';
}

bool IsCoverName(const QString& name)
{
    for (const char* slot : CoverPartNames())
        if (name == QLatin1String(slot))
            return true;
    return false;
}

int SlotOf(const QString& name)
{
    const auto& names = CoverPartNames();
    return static_cast<int>(std::find_if(names.begin(), names.end(), [&](const char* n) { return name == QLatin1String(n); }) -
                            names.begin());
}

struct Arguments {
    QStringList List;
    std::array<QString, 6> CoverIds;
    QSet<QString> Seen;
    std::optional<OutputFormat> Format;
    QString FormatName = QStringLiteral("png");
};

// The render argument a named value stands for, as the command line would
// be given it.
void AddOption(Arguments& args, const QString& name, const Sent& value)
{
    if (args.Seen.contains(name))
        throw ServeError(400, QStringLiteral("%1 is given twice").arg(name));
    args.Seen.insert(name);
    if (name == QLatin1String("format")) {
        const QString* text = std::get_if<QString>(&value);
        args.FormatName = text ? text->trimmed().toLower() : QString();
        args.Format = OutputFormatOf(QStringLiteral("picture.") + args.FormatName);
        if (!args.Format || args.FormatName.isEmpty())
            throw ServeError(422, QStringLiteral("format must be png, jpg, bmp or tga"));
        return;
    }
    if (IsCoverName(name)) {
        const QString* text = std::get_if<QString>(&value);
        const QString id = text ? text->trimmed() : QString();
        if (!id.startsWith(QLatin1String("cover:")) || id.size() == 6)
            throw ServeError(400, QStringLiteral("the %1 cover must be sent as a file part, or as cover:ID for a cover "
                                                 "sent to POST /covers").arg(name));
        args.CoverIds[static_cast<std::size_t>(SlotOf(name))] = id.mid(6);
        return;
    }
    const RenderOptionEntry* entry = name.startsWith(QLatin1Char('-')) ? nullptr : FindRenderOption(QStringLiteral("--") + name);
    // Options that name files on this machine, or only measure, have no place here.
    if (!entry || !entry->RequestField())
        throw ServeError(400, QStringLiteral("unknown option \"%1\"").arg(name));
    // A value reads as a batch manifest's cell does: JSON's true and false
    // as the words, a flag's empty value as off, a look's yes/no as its
    // bare default or 0.
    const QString option = entry->LongName();
    const QString text = std::holds_alternative<bool>(value) ? (std::get<bool>(value) ? QStringLiteral("true") : QStringLiteral("false"))
                                                             : std::get<QString>(value).trimmed();
    switch (entry->Arity) {
    case OptionArity::None: {
        const std::optional<bool> on = FlagValue(text);
        if (!on)
            throw ServeError(422, QStringLiteral("%1 \"%2\": not true or false").arg(name, text));
        if (*on)
            args.List << option;
        return;
    }
    case OptionArity::Optional:
        if (const std::optional<bool> on = SwitchWord(text)) {
            if (*on)
                args.List << option;
            else if (entry->Look)
                args.List << option + QStringLiteral("=0");
            return;
        }
        break;
    case OptionArity::Required:
        break;
    }
    if (!text.isEmpty()) // an empty value is an option not given
        args.List << option + QLatin1Char('=') + text;
}

// The end of the string that starts at `at` (its opening quote).
std::size_t StringEnd(std::string_view json, std::size_t at)
{
    for (std::size_t i = at + 1; i < json.size(); ++i)
        if (json[i] == '\\')
            ++i;
        else if (json[i] == '"')
            return i + 1;
    return json.size();
}

// Qt keeps the last of a key given twice; a request is refused instead, as a
// field given twice is. `json` is one valid object.
void RefuseRepeatedKeys(std::string_view json)
{
    QSet<QString> keys;
    int depth = 0;
    bool keyNext = false;
    for (std::size_t i = 0; i < json.size();) {
        const char c = json[i];
        if (c == '"') {
            const std::size_t end = StringEnd(json, i);
            if (depth == 1 && keyNext) {
                // Read by Qt, so that escapes name the same key as their letters.
                const QByteArray quoted = QByteArray("[") + QByteArray(json.data() + i, static_cast<qsizetype>(end - i)) + "]";
                const QString key = QJsonDocument::fromJson(quoted).array().at(0).toString();
                if (keys.contains(key))
                    throw ServeError(400, QStringLiteral("%1 is given twice").arg(key));
                keys.insert(key);
                keyNext = false;
            }
            i = end;
            continue;
        }
        if (c == '{' || c == '[')
            ++depth;
        else if (c == '}' || c == ']')
            --depth;
        if (depth == 1 && (c == '{' || c == ','))
            keyNext = true;
        ++i;
    }
}

void AddJson(Arguments& args, std::string_view bytes)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        throw ServeError(400, QStringLiteral("the options are not one JSON object (%1)")
                                  .arg(error.error != QJsonParseError::NoError ? error.errorString()
                                                                              : QStringLiteral("another JSON value")));
    RefuseRepeatedKeys(bytes);
    const QJsonObject object = document.object();
    for (auto it = object.begin(); it != object.end(); ++it) {
        const QJsonValue v = it.value();
        switch (v.type()) {
        case QJsonValue::Bool: AddOption(args, it.key(), v.toBool()); break;
        case QJsonValue::String: AddOption(args, it.key(), v.toString()); break;
        case QJsonValue::Double: {
            const double d = v.toDouble();
            const bool whole = d == static_cast<double>(static_cast<qint64>(d)) && std::abs(d) < 1e15;
            AddOption(args, it.key(), whole ? QString::number(static_cast<qint64>(d)) : QString::number(d, 'g', 17));
            break;
        }
        case QJsonValue::Null: break;
        default:
            throw ServeError(422, QStringLiteral("%1 must be a string, a number, true or false").arg(it.key()));
        }
    }
}

} // namespace

UploadedCover ReadUploadedCover(const FormPart& part, const QString& slot, const FormLimits& limits)
{
    const QString fileName = Text(part.FileName).toLower();
    const bool declaredTga = fileName.endsWith(QLatin1String(".tga")) || StartsWithType(part.ContentType, "image/x-tga") ||
                             StartsWithType(part.ContentType, "image/x-targa") || StartsWithType(part.ContentType, "image/tga");
    // As a cover file with no bytes is told on the command line and in the window.
    if (part.Content.empty())
        throw ServeError(422, QStringLiteral("the %1 cover is an empty file").arg(slot));
    const CoverHeader header = ReadCoverHeader(part.Content, declaredTga);
    if (header.Kind == PictureKind::Unknown)
        throw ServeError(415, QStringLiteral("the %1 cover is no JPEG, PNG, GIF, BMP or Targa (.tga) picture").arg(slot));
    if (!header.SizeKnown || header.Width <= 0 || header.Height <= 0)
        throw ServeError(422, QStringLiteral("the %1 cover is a damaged %2 picture").arg(slot, PictureKindName(header.Kind)));
    if (header.Width * header.Height > limits.MaxPixels)
        throw ServeError(413, QStringLiteral("the %1 cover has %2 x %3 pixels; at most %4 are taken")
                                  .arg(slot).arg(header.Width).arg(header.Height).arg(limits.MaxPixels));
    const auto side = [](std::int64_t n) { return static_cast<int>(std::min<std::int64_t>(n, 1 << 30)); };
    return {part.Content, header.Kind, QSize(side(header.Width), side(header.Height))};
}

namespace {

ProjectData ReadUploadedProject(std::string_view bytes)
{
    ProjectData data;
    try {
        data = DecodeProject(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    } catch (const ProjectError& e) {
        switch (e.kind()) {
        case ProjectError::Kind::NotAProject: throw ServeError(422, QStringLiteral("the project is not a Cubiform project"));
        case ProjectError::Kind::DamagedAfterClassic:
            throw ServeError(422, QStringLiteral("the project is damaged after its classic values"));
        default: throw ServeError(422, QStringLiteral("the project is damaged: %1").arg(e.Text()));
        }
    }
    for (const QString* path : {&data.FrontBack, &data.LeftRight, &data.TopBottom, &data.Back, &data.Right, &data.Bottom})
        if (!path->isEmpty())
            throw ServeError(422, QStringLiteral("the project names a cover file (%1); send its covers as parts and "
                                                 "a project that names none").arg(*path));
    return data;
}

} // namespace

const std::array<const char*, 6>& CoverPartNames()
{
    static const std::array<const char*, 6> names = {"front", "side", "top", "back", "right", "bottom"};
    return names;
}

RenderForm ReadRenderForm(std::string_view contentType, std::string_view body, const std::vector<FormPart>& parts,
                          const FormLimits& limits)
{
    RenderForm form;
    Arguments args;
    if (StartsWithType(contentType, "multipart/form-data")) {
        bool jsonSeen = false;
        for (const FormPart& part : parts) {
            const QString name = Text(part.Name);
            const bool json = name == QLatin1String("options") || StartsWithType(part.ContentType, "application/json");
            // A cover's field (no file name) may name one sent before.
            const bool coverId = part.FileName.empty() && part.Content.substr(0, 6) == "cover:";
            if (IsCoverName(name) && !coverId) {
                const int slot = SlotOf(name);
                if (form.Covers[static_cast<std::size_t>(slot)])
                    throw ServeError(400, QStringLiteral("the %1 cover is sent twice").arg(name));
                form.Covers[static_cast<std::size_t>(slot)] = ReadUploadedCover(part, name, limits);
            } else if (name == QLatin1String("project")) {
                if (form.Project)
                    throw ServeError(400, QStringLiteral("the project is sent twice"));
                form.Project = ReadUploadedProject(part.Content);
            } else if (json) {
                if (jsonSeen)
                    throw ServeError(400, QStringLiteral("the JSON options are sent twice"));
                jsonSeen = true;
                AddJson(args, part.Content);
            } else if (!part.FileName.empty()) {
                throw ServeError(400, QStringLiteral("a file part named \"%1\" (covers are front, side, top, back, right "
                                                     "and bottom; options are fields)").arg(name));
            } else {
                AddOption(args, name, Text(part.Content));
            }
        }
    } else if (StartsWithType(contentType, "application/json")) {
        AddJson(args, body);
    } else if (!(contentType.empty() && body.empty())) {
        throw ServeError(415, QStringLiteral("send multipart/form-data (covers and fields) or application/json (options)"));
    }

    for (std::size_t slot = 0; slot < form.Covers.size(); ++slot)
        if (form.Covers[slot] && !args.CoverIds[slot].isEmpty())
            throw ServeError(400, QStringLiteral("the %1 cover is sent twice").arg(QLatin1String(CoverPartNames()[slot])));
    form.CoverIds = args.CoverIds;

    const QString output = QStringLiteral("picture.") + args.FormatName;
    try {
        form.Options = ParseRenderArguments(args.List + QStringList{QStringLiteral("-o"), output});
        HeadlessBox box;
        if (form.Project)
            box.OpenProject({*form.Project, QString()});
        else
            box.NewProject();
        box.ApplyOptions(form.Options);
        form.OutputSize = box.OutputSize(form.Options);
        form.Samples = RenderRequestOf(box, form.Options, form.OutputSize).Samples;
        // The workers draw with the raster; a ray-traced picture takes
        // minutes, not a request's seconds, so it is refused, never swapped.
        if (RayTraced(box))
            throw ServeError(422, QStringLiteral("the service draws with the raster only; engine raytrace (asked for "
                                                 "here or stored in the project) is for cubiform render"));
    } catch (const JobError& e) {
        throw ServeError(422, e.Text());
    }
    if (form.OutputSize.width() > limits.MaxOutput || form.OutputSize.height() > limits.MaxOutput)
        throw ServeError(422, QStringLiteral("a picture of %1 x %2 pixels; at most %3 x %3 are drawn here")
                                  .arg(form.OutputSize.width()).arg(form.OutputSize.height()).arg(limits.MaxOutput));
    switch (form.Options.Format) {
    case OutputFormat::Jpeg: form.MimeType = "image/jpeg"; break;
    case OutputFormat::Png: form.MimeType = "image/png"; break;
    case OutputFormat::Bmp: form.MimeType = "image/bmp"; break;
    case OutputFormat::Tga: form.MimeType = "image/x-tga"; break;
    }
    return form;
}
