#include "cli/CommandHelp.h"

#include "engine/CommandOptions.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace {

// One text per part: the whole usage and each command's help are put
// together from the same pieces.
QString WindowLines()
{
    return QStringLiteral("  cubiform                       start the window\n"
                          "  cubiform PROJECT.pcf           start the window with the project opened\n");
}

QString RenderLines()
{
    return QStringLiteral("  cubiform render [PROJECT.pcf] [OPTIONS] -o IMAGE\n"
                          "  cubiform render [PROJECT.pcf] [OPTIONS] --save-project OUT.pcf\n"
                          "  cubiform render [PROJECT.pcf] [OPTIONS] --export-model BOX.glb\n"
                          "  cubiform render --bundle A.pcf B.pcf [...] [OPTIONS] -o IMAGE\n");
}

QString TurntableLines()
{
    return QStringLiteral("  cubiform turntable [PROJECT.pcf] [OPTIONS] -o SPIN.gif | SPIN.mp4 | SPIN.webm | NAME-%03d.png\n");
}

QString InfoLines() { return QStringLiteral("  cubiform info PROJECT.pcf      print the project's values as JSON\n"); }

QString BatchLines()
{
    return QStringLiteral("  cubiform batch MANIFEST [-j N] [--fail-fast] [--skip-existing]\n"
                          "                 [--report FILE.csv] [--shard K/N]\n");
}

QString ServeLines()
{
    return QStringLiteral("  cubiform serve [--bind ADDRESS] [--port N] [--token-file FILE] [LIMITS]\n");
}

QString RenderIntro()
{
    return QStringLiteral("render draws the box as the window shows it right after opening PROJECT\n"
                          "(or after \"New project\" without one), with no display needed.\n"
                          "IMAGE is .jpg/.jpeg, .png, .bmp (24-bit) or .tga, by its extension.\n"
                          "A bundle draws 2 to 6 projects' boxes in one picture: the group turns as\n"
                          "one about its centre with the first project's view, looks, background,\n"
                          "output size and engine (use --fit to frame it); the box options are\n"
                          "refused. Ray traced, the boxes shadow each other on one floor.\n");
}

// Where the usage puts an option's words when the table does not say.
constexpr int HelpColumn = 23;

QString PaddedTo(QString line, int column)
{
    const qsizetype lineStart = line.lastIndexOf(QLatin1Char('\n')) + 1;
    const qsizetype width = line.size() - lineStart;
    line += QString(std::max<qsizetype>(column - width, 1), QLatin1Char(' '));
    return line;
}

QString SectionHeading(OptionSection section)
{
    switch (section) {
    case OptionSection::Box:
        return QStringLiteral("Options, applied after the project in this order:\n");
    case OptionSection::Looks:
        return QStringLiteral("Looks (0 or absent: the classic picture; a project keeps its own unless set):\n");
    case OptionSection::Shape:
        return QStringLiteral("Shape (absent: the project's; all off is the classic box):\n");
    case OptionSection::Output:
        return QStringLiteral("Output:\n");
    case OptionSection::Hidden:
        break;
    }
    return {};
}

// A table's options as usage lines: an option starts a line or, with its
// UsageColumn, continues the one before; render's come under headings.
QString OptionLines(const std::vector<RenderOptionEntry>& table, bool headings)
{
    QString text;
    QString line;
    std::optional<OptionSection> section;
    const auto endLine = [&] {
        if (!line.isEmpty())
            text += line + QLatin1Char('\n');
        line.clear();
    };
    for (const RenderOptionEntry& entry : table) {
        if (entry.Section == OptionSection::Hidden)
            continue;
        if (headings && entry.Section != section) {
            endLine();
            text += SectionHeading(entry.Section);
            section = entry.Section;
        }
        QString synopsis = entry.Names();
        if (entry.ValueName)
            synopsis += QLatin1Char(' ') + QLatin1String(entry.ValueName);
        if (entry.UsageColumn == 0) {
            endLine();
            line = QStringLiteral("  ") + synopsis;
        } else {
            line = PaddedTo(line, entry.UsageColumn) + synopsis;
        }
        const QString help = entry.HelpText();
        if (help.isEmpty())
            continue;
        line = PaddedTo(line, entry.HelpColumn ? entry.HelpColumn : HelpColumn);
        line += QString(help).replace(QLatin1Char('\n'), QLatin1Char('\n') + QString(HelpColumn, QLatin1Char(' ')));
    }
    endLine();
    return text;
}

QString RenderOptionsText() { return OptionLines(RenderOptionTable(), true); }

QString TurntableText()
{
    return QStringLiteral(
               "turntable turns the side angle once around from the project's, frame k at\n"
               "angle + 360 k / N, with the render options above, into an endlessly looping\n"
               "GIF, a video (.mp4: H.264, .webm: VP9; --quality 10..100, default 70) or\n"
               "numbered pictures (%03d: 000, 001, ...; the folder is made if missing).\n") +
           OptionLines(OwnOptionTable(ForTurntable), false);
}

QString BatchText()
{
    return QStringLiteral(
               "batch draws one picture per row of MANIFEST: CSV with a header row, or JSON\n"
               "lines. Columns: project, front, side, top, output and any render option by\n"
               "its long name (form, size, transparent, ...); paths are from its folder.\n") +
           OptionLines(OwnOptionTable(ForBatch), false);
}

QString ServeText()
{
    return QStringLiteral(
               "serve answers POST /render (covers as multipart file parts front, side, top,\n"
               "back, right, bottom; render options by their long names as fields or one JSON\n"
               "object; format png, jpg, bmp or tga) with the picture render would write,\n"
               "POST /model (the same) with the model --export-model would write,\n"
               "GET /healthz and GET /metrics, until SIGTERM or SIGINT (it then finishes the\n"
               "requests in flight and exits 0).\n") +
           OptionLines(OwnOptionTable(ForServe), false);
}

QString ExitText()
{
    return QStringLiteral("Exit status: 0 done, 1 bad input (one line on standard error), 2 wrong use.\n");
}

const QString Newline = QStringLiteral("\n");

int EditDistance(const QString& a, const QString& b)
{
    std::vector<int> row(static_cast<std::size_t>(b.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = static_cast<int>(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        int diagonal = row[0];
        row[0] = static_cast<int>(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const auto at = static_cast<std::size_t>(j);
            const int substitute = diagonal + (a[i - 1].toLower() == b[j - 1] ? 0 : 1);
            diagonal = row[at];
            row[at] = std::min({row[at] + 1, row[at - 1] + 1, substitute});
        }
    }
    return row.back();
}

} // namespace

QString UsageText()
{
    return QStringLiteral("Usage:\n") + WindowLines() + RenderLines() + TurntableLines() + InfoLines() +
           BatchLines() + ServeLines() + QStringLiteral("  cubiform --help | --version\n") + Newline + RenderIntro() +
           Newline + RenderOptionsText() + Newline + TurntableText() + Newline + BatchText() + Newline + ServeText() +
           Newline + ExitText();
}

QString CommandHelp(const QString& command)
{
    const QString usage = QStringLiteral("Usage:\n");
    if (command == QLatin1String("render"))
        return usage + RenderLines() + Newline + RenderIntro() + Newline + RenderOptionsText() + Newline + ExitText();
    if (command == QLatin1String("turntable"))
        return usage + TurntableLines() + Newline + RenderOptionsText() + Newline + TurntableText() + Newline +
               ExitText();
    if (command == QLatin1String("info"))
        return usage + InfoLines() + Newline + ExitText();
    if (command == QLatin1String("batch"))
        return usage + BatchLines() + Newline + BatchText() + Newline + ExitText();
    if (command == QLatin1String("serve"))
        return usage + ServeLines() + Newline + ServeText() + Newline + ExitText();
    return {};
}

QStringList CommandNames()
{
    return {QStringLiteral("render"), QStringLiteral("turntable"), QStringLiteral("info"), QStringLiteral("batch"),
            QStringLiteral("serve")};
}

bool IsCommandName(const QString& word) { return CommandNames().contains(word); }

QString NearestCommand(const QString& word)
{
    QString nearest;
    int best = 0;
    for (const QString& name : CommandNames()) {
        const int d = EditDistance(word, name);
        if (nearest.isEmpty() || d < best) {
            nearest = name;
            best = d;
        }
    }
    // Two edits at most, and not the whole word: "rendr", "trntable", "bat",
    // but not "x" for "info".
    return best <= 2 && best < word.size() ? nearest : QString();
}

QString TryHelpText() { return QStringLiteral("Try 'cubiform --help'.\n"); }
