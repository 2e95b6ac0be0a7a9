#include "engine/OptionSchemaJson.h"

#include "engine/CommandOptions.h"

#include "document/BoxLooks.h"

#include <QJsonObject>

namespace {

QString TypeName(OptionKind kind)
{
    switch (kind) {
    case OptionKind::Flag: return QStringLiteral("flag");
    case OptionKind::Integer:
    case OptionKind::Strength:
    case OptionKind::SampleCount: return QStringLiteral("integer");
    case OptionKind::Choice: return QStringLiteral("choice");
    case OptionKind::Colour: return QStringLiteral("colour");
    case OptionKind::Angle:
    case OptionKind::Number: return QStringLiteral("number");
    case OptionKind::Size: return QStringLiteral("size");
    case OptionKind::File: return QStringLiteral("file");
    case OptionKind::Text: return QStringLiteral("text");
    case OptionKind::Bytes: return QStringLiteral("bytes");
    case OptionKind::Pixels: return QStringLiteral("pixels");
    }
    return {};
}

QJsonValue DefaultOf(const RenderOptionEntry& entry)
{
    if (entry.DefaultText)
        return QString::fromUtf8(entry.DefaultText);
    if (entry.Default)
        return *entry.Default;
    return QJsonValue::Null;
}

QJsonArray ChoicesOf(const RenderOptionEntry& entry)
{
    QJsonArray choices;
    if (entry.Kind == OptionKind::SampleCount)
        for (int n : LookLimits::SampleCounts)
            choices.append(n);
    for (const QString& caption : OptionChoices(entry))
        choices.append(caption);
    return choices;
}

QJsonObject OptionJson(const RenderOptionEntry& entry)
{
    QJsonArray commands;
    for (OptionCommand command : OptionCommands())
        if (entry.Commands & command)
            commands.append(CommandWord(command));
    QJsonObject o{{QStringLiteral("name"), QLatin1String(entry.Name)},
                  {QStringLiteral("commands"), commands},
                  {QStringLiteral("type"), TypeName(entry.Kind)},
                  {QStringLiteral("default"), DefaultOf(entry)},
                  {QStringLiteral("unit"), entry.Unit ? QJsonValue(QLatin1String(entry.Unit)) : QJsonValue()},
                  {QStringLiteral("help"), entry.HelpText().replace(QLatin1Char('\n'), QLatin1Char(' '))},
                  {QStringLiteral("choices"), ChoicesOf(entry)},
                  {QStringLiteral("serviceField"), entry.RequestField()},
                  {QStringLiteral("manifestColumn"), entry.ManifestColumn}};
    if (entry.Short)
        o.insert(QStringLiteral("short"), QLatin1String(entry.Short));
    if (const std::optional<OptionRange> r = entry.ValueRange()) {
        o.insert(QStringLiteral("min"), r->Min);
        o.insert(QStringLiteral("max"), r->Max);
    }
    if (entry.Bare)
        o.insert(QStringLiteral("bare"), *entry.Bare);
    return o;
}

} // namespace

QJsonArray OptionSchemaJson()
{
    QJsonArray options;
    for (OptionCommand command : OptionCommands())
        for (const RenderOptionEntry& entry : OwnOptionTable(command))
            if (entry.Section != OptionSection::Hidden) // for measuring and tests only
                options.append(OptionJson(entry));
    return options;
}
