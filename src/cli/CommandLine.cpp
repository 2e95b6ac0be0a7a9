#include "cli/CommandLine.h"

#include "cli/Batch.h"
#include "cli/BundleRender.h"
#include "cli/CommandHelp.h"
#include "cli/HeadlessBox.h"
#include "cli/HeadlessRender.h"
#include "cli/ImageOutput.h"
#include "cli/ModelOutput.h"
#include "cli/OptionTable.h"
#include "cli/OutputGuard.h"
#include "cli/ProjectInfo.h"
#include "cli/RayTraceBox.h"
#include "cli/ShownPath.h"
#include "cli/Turntable.h"
#include "formats/ProjectError.h"
#include "concurrency/ParallelWork.h"
#include "serve/ServeCommand.h"
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

QString WithSeparator(const QString& path)
{
    QString folder = QDir::toNativeSeparators(path);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

// The folder a picture file lands in.
QString FolderOf(const QString& file)
{
    return WithSeparator(QFileInfo(file).absolutePath());
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
    const RenderOptions options = ParseRenderArguments(args);
    RefuseArrangementWithoutBundle(options);
    if (!options.Bundle.isEmpty())
        return RenderBundleCommand(options, err);
    PhaseClock clock(options.Timings);

    HeadlessBox box;
    if (options.Project.isEmpty()) {
        box.NewProject();
        // Without a picture the project's pictures go where the command ran
        // (not into the parent, which the folder of "." would give).
        box.Document.SetOutputFolder(options.Output.isEmpty() ? WithSeparator(QDir::currentPath())
                                                              : FolderOf(options.Output));
    } else {
        box.OpenProject(ReadProject(options.Project));
    }
    box.ApplyOptions(options);
    if (!options.Output.isEmpty())
        RefuseRayOptionsOnRaster(box, options);
    RefuseUnsafeOutputs(JobOf(JobInputs(box, options), {{QStringLiteral("picture"), options.Output},
                                                         {QStringLiteral("project"), options.SaveProject},
                                                         {QStringLiteral("model"), options.ExportModel}}));
    const QSize size = box.OutputSize(options);
    clock.Mark("start");

    if (!options.Output.isEmpty() && RayTraced(box)) {
        FitForRayTracing(box, options, size, clock);
        const RayTraceOutcome traced = RayTraceBox(box, options, size, clock, err);
        if (!traced.Picture)
            return 128 + traced.Signal; // as the shell reports a command a signal ended
        WritePicture(*traced.Picture, options.Output, options.Format, options.Quality, options.Transparent,
                     options.Dpi, WorkerThreads());
        clock.Mark("encode");
    } else if (!options.Output.isEmpty()) {
        PendingCovers covers(box);
        const RenderRequest request = RenderRequestOf(box, options, size);
        GLTeardown teardown; // the GL side is freed while the picture is written
        const QImage picture = RenderBox(box, covers, request, clock, &teardown);
        // The picture is all that is left to wait for: every core compresses it.
        WritePicture(picture, options.Output, options.Format, options.Quality, options.Transparent, options.Dpi,
                     WorkerThreads());
        clock.Mark("encode");
    } else if (!options.ExportModel.isEmpty() && options.Fit) {
        // The fitted view is found by drawing: the model's camera takes it.
        PendingCovers covers(box);
        RenderBox(box, covers, RenderRequestOf(box, options, size), clock);
    } else {
        CheckCoverFiles(box);
    }
    if (!options.ExportModel.isEmpty()) {
        WriteModel(box, options.ExportModel, size);
        clock.Mark("model");
    }

    if (!options.SaveProject.isEmpty()) {
        try {
            if (!SaveProjectFile(options.SaveProject, EncodeProject(box.Capture())))
                throw BadInput(FileInUseText(options.SaveProject));
        } catch (const ProjectError& e) {
            throw BadInput(e.Text());
        }
    }
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

int RunCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err)
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
        if (command == QLatin1String("serve"))
            return RunServe(rest, err);
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
    } catch (const CommandLineError& e) {
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
