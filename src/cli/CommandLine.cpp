#include "cli/CommandLine.h"

#include "cli/Batch.h"
#include "cli/HeadlessBox.h"
#include "cli/HeadlessRender.h"
#include "cli/ImageOutput.h"
#include "cli/OutputGuard.h"
#include "cli/ProjectInfo.h"
#include "cli/Turntable.h"
#include "formats/ProjectError.h"
#include "render/WorkerThreads.h"
#include "services/ProductInfo.h"

#include <QDir>
#include <QFileInfo>

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
    PhaseClock clock(options.Timings);

    HeadlessBox box;
    if (options.Project.isEmpty()) {
        box.NewProject();
        // Without a picture the project's pictures go where the command ran
        // (not into the parent, which the folder of "." would give).
        box.OutputFolder = options.Output.isEmpty() ? WithSeparator(QDir::currentPath())
                                                    : FolderOf(options.Output);
    } else {
        box.OpenProject(ReadProject(options.Project));
    }
    box.ApplyOptions(options);
    RefuseOutputsOverInputs({options.Output, options.SaveProject}, JobInputs(box, options));
    const QSize size = box.OutputSize(options);
    clock.Mark("start");

    if (!options.Output.isEmpty()) {
        PendingCovers covers(box);
        RenderRequest request;
        request.Size = size;
        request.Samples = box.Document.Params.Looks.Samples; // the project's, or --samples
        request.Transparent = options.Transparent;
        GLTeardown teardown; // the GL side is freed while the picture is written
        const QImage picture = RenderBox(box, covers, request, clock, &teardown);
        // The picture is all that is left to wait for: every core compresses it.
        WritePicture(picture, options.Output, options.Format, options.Quality, options.Transparent, options.Dpi,
                     WorkerThreads());
        clock.Mark("encode");
    } else {
        CheckCoverFiles(box);
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

QString UsageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  cubiform                       start the window\n"
        "  cubiform PROJECT.pcf           start the window with the project opened\n"
        "  cubiform render [PROJECT.pcf] [OPTIONS] -o IMAGE\n"
        "  cubiform render [PROJECT.pcf] [OPTIONS] --save-project OUT.pcf\n"
        "  cubiform turntable [PROJECT.pcf] [OPTIONS] -o SPIN.gif | -o NAME-%03d.png\n"
        "  cubiform info PROJECT.pcf      print the project's values as JSON\n"
        "  cubiform batch MANIFEST [-j N] [--fail-fast] [--skip-existing]\n"
        "                 [--report FILE.csv] [--shard K/N]\n"
        "  cubiform --help | --version\n"
        "\n"
        "render draws the box as the window shows it right after opening PROJECT\n"
        "(or after \"New project\" without one), with no display needed.\n"
        "IMAGE is .jpg/.jpeg, .png, .bmp (24-bit) or .tga, by its extension.\n"
        "\n"
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
        "                       .bmp (a .tga has no field for it)\n"
        "\n"
        "turntable turns the side angle once around from the project's, frame k at\n"
        "angle + 360 k / N, with the render options above, into an endlessly looping\n"
        "GIF or numbered pictures (%03d: 000, 001, ...; the folder is made if missing).\n"
        "  --frames N           frames in the turn, 2..720 (default 36)\n"
        "  --fps F              GIF frames a second, 1..50 (default 25); delays are in\n"
        "                       hundredths, rounded so the turn takes 100 N / F of them\n"
        "  --tilt               turn the tilt angle around as well\n"
        "\n"
        "batch draws one picture per row of MANIFEST: CSV with a header row, or JSON\n"
        "lines. Columns: project, front, side, top, output and any render option by\n"
        "its long name (form, size, transparent, ...); paths are from its folder.\n"
        "  -j N                 workers, each on one core (default: one per core)\n"
        "  --fail-fast          stop at the first row that fails\n"
        "  --skip-existing      skip rows whose output is newer than their inputs\n"
        "  --report FILE.csv    write the failed rows (line, output, reason)\n"
        "  --shard K/N          only rows K, K+N, K+2N, ... (K counts from 1)\n"
        "\n"
        "Exit status: 0 done, 1 bad input (one line on standard error), 2 wrong use.\n");
}

bool IsCommandLineRequest(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return false;
    const QString& first = arguments.first();
    return first == QLatin1String("render") || first == QLatin1String("info") ||
           first == QLatin1String("turntable") || first == QLatin1String("batch") || IsHelp(first) ||
           IsVersion(first);
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
        throw UsageError(QStringLiteral("unknown command %1").arg(command));
    } catch (const CommandLineError& e) {
        Print(err, QStringLiteral("cubiform: %1\n").arg(e.Text()));
        if (e.Status() == ExitUsage)
            Print(err, QLatin1Char('\n') + UsageText());
        return e.Status();
    } catch (const std::bad_alloc&) {
        Print(err, QStringLiteral("cubiform: not enough memory\n"));
        return ExitBadInput;
    } catch (const std::exception& e) {
        Print(err, QStringLiteral("cubiform: %1\n").arg(QString::fromLocal8Bit(e.what())));
        return ExitBadInput;
    }
}
