#include "engine/RowJob.h"

#include "engine/BundleRender.h"
#include "engine/HeadlessBox.h"
#include "engine/ImageOutput.h"
#include "engine/OutputGuard.h"
#include "engine/RayTraceBox.h"
#include "engine/RayTraceBundle.h"
#include "engine/RenderSession.h"
#include "formats/ProjectError.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace {

std::optional<QImage> DrawBundleRow(const RenderOptions& options, RenderSession& session, const RowSkip& skip)
{
    const std::vector<std::unique_ptr<HeadlessBox>> boxes = OpenBundle(options);
    RefuseRayOptionsOnRaster(*boxes.front(), options);
    const QSize size = boxes.front()->OutputSize(options);
    const std::vector<JobFile> inputs = BundleInputs(boxes, options);
    RefuseUnsafeOutputs(JobOf(inputs, {{QStringLiteral("picture"), options.Output}}));
    if (skip && skip(inputs))
        return std::nullopt;
    PhaseClock clock;
    if (RayTraced(*boxes.front())) {
        FitBundleForRayTracing(session, boxes, options, clock);
        return TraceBundlePicture(boxes, options, size, {});
    }
    return RenderOpenedBundle(session, boxes, options, clock);
}

} // namespace

std::optional<QImage> DrawRow(const RenderOptions& options, RenderSession& session, const RowSkip& skip)
{
    if (!options.Bundle.isEmpty())
        return DrawBundleRow(options, session, skip);
    HeadlessBox box;
    if (options.Project.isEmpty()) {
        box.NewProject();
        box.Document.SetOutputFolder(QDir::toNativeSeparators(QFileInfo(options.Output).absolutePath()) +
                                     QDir::separator());
    } else {
        box.OpenProject(ReadProject(options.Project));
    }
    box.ApplyOptions(options);
    RefuseRayOptionsOnRaster(box, options);
    const QSize size = box.OutputSize(options);
    const std::vector<JobFile> inputs = JobInputs(box, options);
    RefuseUnsafeOutputs(JobOf(inputs, {{QStringLiteral("picture"), options.Output}}));
    if (skip && skip(inputs))
        return std::nullopt;

    const RenderRequest request = RenderRequestOf(box, options, size);
    PhaseClock clock;
    if (RayTraced(box)) {
        if (request.Fit)
            session.Render(box, request, clock); // the fit is the raster's; the box keeps the fitted view
        // A row is stopped as a whole (the rows being drawn finish), as the raster's are.
        return TraceBoxPicture(box, RayRunOf(options), size, {});
    }
    return session.Render(box, request, clock);
}

void WriteRow(const QImage& picture, const RenderOptions& options,
              const std::function<void(const QString& written)>& written)
{
    QDir().mkpath(QFileInfo(options.Output).absolutePath());
    WritePicture(picture, options.Output, options.Format, options.Quality, options.Transparent, options.Dpi, 1,
                 written);
}
