#include "engine/PictureJob.h"

#include "concurrency/ParallelWork.h"
#include "engine/BundleRender.h"
#include "engine/HeadlessRender.h"
#include "engine/ImageOutput.h"
#include "engine/ModelOutput.h"
#include "engine/OutputGuard.h"
#include "engine/RayTraceBundle.h"
#include "engine/RenderSession.h"
#include "formats/ProjectError.h"

#include <QDir>
#include <QFileInfo>

namespace {

QString WithSeparator(const QString& path)
{
    QString folder = QDir::toNativeSeparators(path);
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

// The folder a picture file lands in.
QString FolderOf(const QString& file) { return WithSeparator(QFileInfo(file).absolutePath()); }

std::optional<QImage> Traced(const TraceRun& run, int passes, const TraceSteps& trace)
{
    return run ? run(passes, trace) : trace({});
}

void Write(const QImage& picture, const RenderOptions& options, PhaseClock& clock)
{
    // The picture is all that is left to wait for: every core compresses it.
    WritePicture(picture, options.Output, options.Format, options.Quality, options.Transparent, options.Dpi,
                 WorkerThreads());
    clock.Mark("encode");
}

bool RunBundleJob(const RenderOptions& options, PhaseClock& clock, const TraceRun& run)
{
    const std::vector<std::unique_ptr<HeadlessBox>> boxes = OpenBundle(options);
    HeadlessBox& first = *boxes.front();
    RefuseRayOptionsOnRaster(first, options);
    RefuseUnsafeOutputs(JobOf(BundleInputs(boxes, options), {{QStringLiteral("picture"), options.Output}}));
    const QSize size = first.OutputSize(options); // a size too large is refused before anything is read
    clock.Mark("start");
    QImage picture;
    if (RayTraced(first)) {
        {
            RenderSession fitting; // its context and textures go before the trace
            FitBundleForRayTracing(fitting, boxes, options, clock);
        }
        std::optional<QImage> traced = Traced(run, first.Document.Engine().Passes, [&](const RayPassSeen& seen) {
            return TraceBundlePicture(boxes, options, size, seen);
        });
        if (!traced)
            return false;
        picture = std::move(*traced);
    } else {
        RenderSession session;
        picture = RenderOpenedBundle(session, boxes, options, clock);
    }
    Write(picture, options, clock);
    return true;
}

} // namespace

bool RunPictureJob(const RenderOptions& options, PhaseClock& clock, const TraceRun& run)
{
    RefuseArrangementWithoutBundle(options);
    if (!options.Bundle.isEmpty())
        return RunBundleJob(options, clock, run);

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
        const std::optional<QImage> traced = Traced(run, box.Document.Engine().Passes, [&](const RayPassSeen& seen) {
            return TraceBoxPicture(box, RayRunOf(options), size, seen);
        });
        if (!traced)
            return false;
        Write(*traced, options, clock);
    } else if (!options.Output.isEmpty()) {
        PendingCovers covers(box);
        const RenderRequest request = RenderRequestOf(box, options, size);
        GLTeardown teardown; // the GL side is freed while the picture is written
        Write(RenderBox(box, covers, request, clock, &teardown), options, clock);
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
    return true;
}
