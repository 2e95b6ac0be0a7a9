#include "cli/CommandLine.h"

#include "cli/Batch.h"
#include "cli/CommandHelp.h"
#include "cli/ProjectInfo.h"
#include "cli/RayTraceProgress.h"
#include "cli/Turntable.h"
#include "engine/HeadlessBox.h"
#include "engine/OptionTable.h"
#include "engine/ShownPath.h"
#include "engine/PictureJob.h"
#include "formats/ProjectError.h"
#include "services/ProductInfo.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

bool IsHelp(const QString& a)
{
    return a == QLatin1String("--help") || a == QLatin1String("-h");
}

bool IsVersion(const QString& a) { return a == QLatin1String("--version"); }

// A word that plainly names a project file, there or not.
bool LooksLikeProjectPath(const QString& word)
{
    return word.endsWith(QLatin1String(".pcf"), Qt::CaseInsensitive) || word.contains(QLatin1Char('/')) ||
           word.contains(QDir::separator());
}

// The render option written as `word` ("-o", "--size=40x30"), or nullptr.
const RenderOptionEntry* RenderOptionWritten(const QString& word)
{
    const qsizetype eq = word.indexOf(QLatin1Char('='));
    return FindRenderOption(word.startsWith(QLatin1String("--")) && eq > 0 ? word.left(eq) : word);
}

int Info(const QStringList& args, std::FILE* out)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1Char('-')))
        throw UsageError(QStringLiteral("info needs exactly one project file"));
    const ProjectData data = ReadProject(args[0]).Data;
    const QByteArray json = ProjectInfoJson(data);
    std::fwrite(json.constData(), 1, static_cast<std::size_t>(json.size()), out);
    std::fflush(out);
    return 0;
}

int Render(const QStringList& args, std::FILE* err)
{
    RenderOptions options = ParseRenderArguments(args);
    options.Note = [err](const QString& text) {
        std::fprintf(err, "cubiform: note: %s\n", text.toLocal8Bit().constData());
    };
    PhaseClock clock(options.Timings);
    int signal = 0;
    const bool done = RunPictureJob(options, clock, [&](int passes, const TraceSteps& trace) {
        RayTraceOutcome traced = TraceWithProgress(passes, trace, clock, err);
        signal = traced.Signal;
        return std::move(traced.Picture);
    });
    if (!done)
        return 128 + signal; // as the shell reports a command a signal ended
    for (const QString& line : clock.Lines())
        Print(err, QStringLiteral("timing: ") + line + QLatin1Char('\n'));
    return 0;
}

} // namespace

bool IsCommandLineRequest(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return false;
    const QString& first = arguments.first();
    if (IsCommandName(first) || IsHelp(first) || IsVersion(first))
        return true;
    // A long option without a command is a typo, not a project to open; so
    // is a render option ("-o"), which the window would take for a project.
    if (first.startsWith(QLatin1String("--")) || RenderOptionWritten(first))
        return true;
    // The window takes a project (which it reports when it is missing) and
    // its toolkit's own "-option"s; any other word is a mistyped command.
    if (first.isEmpty() || first.startsWith(QLatin1Char('-')) || LooksLikeProjectPath(first))
        return false;
    return !QFileInfo::exists(first);
}

int RunCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err,
                   const std::map<QString, CommandRun>& others)
{
    const QString command = arguments.value(0);
    const QStringList rest = arguments.mid(1);
    try {
        if (IsHelp(command)) {
            Print(out, UsageText());
            return 0;
        }
        if (IsCommandName(command) && std::any_of(rest.begin(), rest.end(), IsHelp)) {
            Print(out, CommandHelp(command));
            return 0;
        }
        if (IsVersion(command)) {
            Print(out, QStringLiteral("Cubiform Classic %1\n").arg(QLatin1String(ProductInfo::Version)));
            return 0;
        }
        if (command == QLatin1String("info"))
            return Info(rest, out);
        if (command == QLatin1String("render"))
            return Render(rest, err);
        if (command == QLatin1String("turntable"))
            return RunTurntable(rest, err);
        if (command == QLatin1String("batch"))
            return RunBatch(rest, err);
        if (const auto other = others.find(command); other != others.end())
            return other->second(rest, err);
        if (RenderOptionWritten(command)) {
            const QString written =
                RenderOptionValuesAt(arguments, 0) == 1 ? command + QLatin1Char(' ') + arguments[1] : command;
            throw UsageError(QStringLiteral("%1 needs a command: cubiform render ... %2")
                                 .arg(command.section(QLatin1Char('='), 0, 0), written));
        }
        if (command.startsWith(QLatin1Char('-')))
            throw UsageError(QStringLiteral("unknown option %1").arg(command));
        const QString nearest = NearestCommand(command);
        throw UsageError(QStringLiteral("unknown command \"%1\"").arg(ShownPath(command)) +
                         (nearest.isEmpty() ? QString() : QStringLiteral(" (did you mean \"%1\"?)").arg(nearest)));
    } catch (const JobError& e) {
        Print(err, QStringLiteral("cubiform: %1\n").arg(e.Text()));
        if (e.Status() == ExitUsage)
            Print(err, TryHelpText());
        return e.Status();
    } catch (const std::bad_alloc&) {
        Print(err, QStringLiteral("cubiform: not enough memory\n"));
        return ExitBadInput;
    } catch (const std::exception& e) {
        Print(err, QStringLiteral("cubiform: %1\n").arg(QString::fromLocal8Bit(e.what())));
        return ExitBadInput;
    }
}
