#include "cli/CommandHelp.h"

#include <algorithm>
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
                          "  cubiform render [PROJECT.pcf] [OPTIONS] --save-project OUT.pcf\n");
}

QString TurntableLines()
{
    return QStringLiteral("  cubiform turntable [PROJECT.pcf] [OPTIONS] -o SPIN.gif | -o NAME-%03d.png\n");
}

QString InfoLines() { return QStringLiteral("  cubiform info PROJECT.pcf      print the project's values as JSON\n"); }

QString BatchLines()
{
    return QStringLiteral("  cubiform batch MANIFEST [-j N] [--fail-fast] [--skip-existing]\n"
                          "                 [--report FILE.csv] [--shard K/N]\n");
}

QString RenderIntro()
{
    return QStringLiteral("render draws the box as the window shows it right after opening PROJECT\n"
                          "(or after \"New project\" without one), with no display needed.\n"
                          "IMAGE is .jpg/.jpeg, .png, .bmp (24-bit) or .tga, by its extension.\n");
}

QString RenderOptionsText()
{
    return QStringLiteral(
        "Options, applied after the project in this order:\n"
        "  --form N|NAME        box kind 0..9 or its caption (moves depth, offsets,\n"
        "                       turn, eye and both angles to the kind's values)\n"
        "  --fog N|NAME         0..3: \"Clear view\", \"Natural view\", \"dimmed light\", \"Dark\"\n"
        "  --background #RRGGBB background colour\n"
        "  --width N            box width 1..100      --height N     box height 1..100\n"
        "  --thickness N        box thickness 1..100  --depth N      distance 2..80\n"
        "  --vertical N         offset -300..300      --horizontal N offset -300..300\n"
        "  --turn N             tenths of a degree -1800..1800\n"
        "  --eye N              eye angle 0..60\n"
        "  --side-angle DEG     --tilt-angle DEG      view angles in degrees\n"
        "  --front FILE         --side FILE           --top FILE   cover images\n"
        "                       (.jpg, .bmp, .png, .gif, .tga; alpha is ignored)\n"
        "Looks (0 or absent: the classic picture; a project keeps its own unless set):\n"
        "  --shadow [S]         ground shadow 0..100 (alone: 60)\n"
        "  --shadow-softness N  0 (hard)..100 (soft), default 50\n"
        "  --reflection [S]     floor reflection 0..100 (alone: 30)\n"
        "  --light [S]          directional light 0..100 (alone: 50)\n"
        "  --smooth-textures    filtered covers: no shimmer on large artwork\n"
        "Output:\n"
        "  -o, --output IMAGE   the picture to write\n"
        "  --save-project FILE  write the project with the options applied\n"
        "  --size WxH           output pixels, 1..16384 each (default: the project's)\n"
        "  --scale N            multiply the output size, 1..16; the picture stays the same\n"
        "  --samples N          anti-aliasing: 1 (off), 2, 4, 8, 16 or 32 (default: the project's)\n"
        "  --quality N          JPEG quality 10..100 (default 70)\n"
        "  --transparent        .png/.tga: background gets alpha 0\n"
        "  --dpi N              print resolution 1..10000 recorded in a .jpg, .png or\n"
        "                       .bmp (a .tga has no field for it)\n");
}

QString TurntableText()
{
    return QStringLiteral(
        "turntable turns the side angle once around from the project's, frame k at\n"
        "angle + 360 k / N, with the render options above, into an endlessly looping\n"
        "GIF or numbered pictures (%03d: 000, 001, ...; the folder is made if missing).\n"
        "  --frames N           frames in the turn, 2..720 (default 36)\n"
        "  --fps F              GIF frames a second, 1..50 (default 25); delays are in\n"
        "                       hundredths, rounded so the turn takes 100 N / F of them\n"
        "  --tilt               turn the tilt angle around as well\n");
}

QString BatchText()
{
    return QStringLiteral(
        "batch draws one picture per row of MANIFEST: CSV with a header row, or JSON\n"
        "lines. Columns: project, front, side, top, output and any render option by\n"
        "its long name (form, size, transparent, ...); paths are from its folder.\n"
        "  -j N                 workers, each on one core (default: one per core)\n"
        "  --fail-fast          stop at the first row that fails\n"
        "  --skip-existing      skip rows drawn before from the same inputs and options\n"
        "  --report FILE.csv    write the failed rows (line, output, reason)\n"
        "  --shard K/N          only rows K, K+N, K+2N, ... (K counts from 1)\n");
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
           BatchLines() + QStringLiteral("  cubiform --help | --version\n") + Newline + RenderIntro() + Newline +
           RenderOptionsText() + Newline + TurntableText() + Newline + BatchText() + Newline + ExitText();
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
    return {};
}

QStringList CommandNames()
{
    return {QStringLiteral("render"), QStringLiteral("turntable"), QStringLiteral("info"), QStringLiteral("batch")};
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
