#include "engine/OptionDocs.h"

#include "engine/CommandOptions.h"
#include "engine/JobError.h"

#include "document/BoxLooks.h"

#include <QRegularExpression>

namespace {

// The options that share one paragraph: those without words of their own
// go with the next one (--front, --side, --top).
std::vector<std::vector<const RenderOptionEntry*>> Paragraphs(OptionCommand command)
{
    std::vector<std::vector<const RenderOptionEntry*>> paragraphs;
    std::vector<const RenderOptionEntry*> pending;
    for (const RenderOptionEntry& entry : OwnOptionTable(command)) {
        if (entry.Section == OptionSection::Hidden)
            continue;
        pending.push_back(&entry);
        if (QByteArray(entry.Help).isEmpty())
            continue;
        paragraphs.push_back(pending);
        pending.clear();
    }
    return paragraphs;
}

QString OneLine(const RenderOptionEntry& entry) { return entry.HelpText().replace(QLatin1Char('\n'), QLatin1Char(' ')); }

QString Roff(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\e")).replace(QLatin1Char('-'), QLatin1String("\\-"));
    return text;
}

// "-o IMAGE, --output IMAGE" as alternating bold names and italic values.
QString ManHead(const std::vector<const RenderOptionEntry*>& paragraph)
{
    QStringList parts;
    bool values = false;
    for (const RenderOptionEntry* entry : paragraph) {
        QStringList names;
        if (entry->Short)
            names << QLatin1String(entry->Short);
        names << entry->LongName();
        QString value;
        if (entry->ValueName) {
            values = true;
            value = Roff(QLatin1String(entry->ValueName));
            if (entry->Arity == OptionArity::Optional)
                value = QStringLiteral("\\fR[\\fP%1\\fR]\\fP").arg(value.mid(1, value.size() - 2));
            value.prepend(QLatin1Char(' '));
        }
        for (const QString& name : names)
            parts << Roff(name) << value;
    }
    if (!values)
        return QStringLiteral(".B ") + parts[0];
    QString head = QStringLiteral(".BI");
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const bool last = i + 2 >= parts.size();
        head += QLatin1Char(' ') + parts[i] + QStringLiteral(" \"") + parts[i + 1] +
                (last ? QString() : QStringLiteral("\\fR, ")) + QLatin1Char('"');
    }
    return head;
}

QString Sentence(QString text)
{
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    if (!text.endsWith(QLatin1Char('.')))
        text += QLatin1Char('.');
    text = Roff(text);
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QLatin1String("\\&"));
    return text;
}

QString Cell(QString text) { return text.replace(QLatin1Char('|'), QLatin1String("\\|")); }

QString Values(const RenderOptionEntry& entry)
{
    QString values;
    if (entry.Kind == OptionKind::SampleCount) {
        QStringList counts;
        for (int n : LookLimits::SampleCounts)
            counts << QString::number(n);
        values = counts.join(QStringLiteral(", "));
    } else if (entry.Kind == OptionKind::Choice) {
        values = OptionChoices(entry).join(QStringLiteral(", "));
    } else if (const std::optional<OptionRange> r = entry.ValueRange()) {
        values = QStringLiteral("%1..%2").arg(r->Min).arg(r->Max);
    }
    if (entry.Unit)
        values += (values.isEmpty() ? QString() : QStringLiteral(" ")) + QLatin1String(entry.Unit);
    return values;
}

QString MarkdownTable(OptionCommand command)
{
    QString table = QStringLiteral("| Option | Values | Default | What it does |\n|---|---|---|---|\n");
    for (const auto& paragraph : Paragraphs(command)) {
        const QString help = OneLine(*paragraph.back());
        for (const RenderOptionEntry* entry : paragraph) {
            QStringList names;
            const QString value = entry->ValueName ? QLatin1Char(' ') + QLatin1String(entry->ValueName) : QString();
            if (entry->Short)
                names << QLatin1Char('`') + QLatin1String(entry->Short) + value + QLatin1Char('`');
            names << QLatin1Char('`') + entry->LongName() + value + QLatin1Char('`');
            QString byDefault = entry->DefaultWords();
            if (entry->Bare)
                byDefault = QStringLiteral("alone: %1").arg(*entry->Bare);
            table += QStringLiteral("| %1 | %2 | %3 | %4 |\n")
                         .arg(Cell(names.join(QStringLiteral(", "))), Cell(Values(*entry)), Cell(byDefault), Cell(help));
        }
    }
    return table;
}

QString ManList(OptionCommand command)
{
    QString list;
    for (const auto& paragraph : Paragraphs(command))
        list += QStringLiteral(".TP\n") + ManHead(paragraph) + QLatin1Char('\n') + Sentence(OneLine(*paragraph.back())) +
                QLatin1Char('\n');
    return list;
}

} // namespace

QString OptionList(OptionCommand command, DocStyle style)
{
    return style == DocStyle::ManPage ? ManList(command) : MarkdownTable(command);
}

QString WithOptionLists(const QString& text, DocStyle style)
{
    const bool man = style == DocStyle::ManPage;
    const QRegularExpression begin(man ? QStringLiteral("^\\.\\\\\" options:(\\S*)$")
                                       : QStringLiteral("^<!-- options:(\\S*) -->$"));
    const QString end = man ? QStringLiteral(".\\\" /options") : QStringLiteral("<!-- /options -->");
    QStringList out;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out << lines[i];
        const QRegularExpressionMatch m = begin.match(lines[i]);
        if (!m.hasMatch())
            continue;
        std::optional<OptionCommand> command;
        for (OptionCommand c : OptionCommands())
            if (CommandWord(c) == m.captured(1))
                command = c;
        if (!command)
            throw BadInput(QStringLiteral("line %1: no command's options are called \"%2\"").arg(i + 1).arg(m.captured(1)));
        const qsizetype close = lines.indexOf(end, i + 1);
        if (close < 0)
            throw BadInput(QStringLiteral("line %1: the options of %2 are never closed by %3")
                               .arg(i + 1)
                               .arg(m.captured(1), end));
        QString list = OptionList(*command, style);
        list.chop(1); // the line break the split takes away
        out << (man ? list : QLatin1Char('\n') + list + QLatin1Char('\n')) << end;
        i = close;
    }
    return out.join(QLatin1Char('\n'));
}

const std::vector<CommandSummary>& CommandSummaries()
{
    static const std::vector<CommandSummary> commands = {
        {"render", "renders a project file into an image file"},
        {"info", "prints what a project file holds"},
        {"turntable", "turns the box once around into an animated GIF or numbered pictures"},
        {"batch", "draws one picture per row of a CSV or JSON lines list, on every core"},
        {"serve", "answers the same pictures over HTTP, with a page to make them in a browser"},
    };
    return commands;
}

QString WithCommandList(const QString& text, DocStyle style)
{
    const bool man = style == DocStyle::ManPage;
    const QString begin = man ? QStringLiteral(".\\\" commands") : QStringLiteral("<!-- commands -->");
    const QString end = man ? QStringLiteral(".\\\" /commands") : QStringLiteral("<!-- /commands -->");
    QStringList out;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out << lines[i];
        if (lines[i].trimmed() != begin)
            continue;
        const qsizetype close = lines.indexOf(QRegularExpression(QStringLiteral("^\\s*") + QRegularExpression::escape(end) + QStringLiteral("$")), i + 1);
        if (close < 0)
            throw BadInput(QStringLiteral("line %1: the list of commands is never closed by %2").arg(i + 1).arg(end));
        const QString indent = lines[i].left(lines[i].indexOf(begin));
        for (const CommandSummary& command : CommandSummaries())
            out << (man ? QStringLiteral(".TP\n.B %1\n%2").arg(QLatin1String(command.Name), Roff(QString::fromUtf8(command.Line)))
                        : indent + QStringLiteral("<tr><th><code>cubiform %1</code></th><td>%2</td></tr>")
                                       .arg(QLatin1String(command.Name), QString::fromUtf8(command.Line).toHtmlEscaped()));
        out << lines[close];
        i = close;
    }
    return out.join(QLatin1Char('\n'));
}
