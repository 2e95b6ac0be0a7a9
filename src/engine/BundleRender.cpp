#include "engine/BundleRender.h"

#include "engine/HeadlessRender.h"
#include "engine/ImageOutput.h"
#include "engine/RayTraceBox.h"
#include "engine/RayTraceBundle.h"
#include "engine/RenderSession.h"
#include "concurrency/ParallelWork.h"

#include <iterator>

namespace {

QString Quoted(const QString& text) { return QLatin1Char('"') + text + QLatin1Char('"'); }

// The option of one box a bundle cannot take, if any was given.
QString BoxOptionGiven(const RenderOptions& o)
{
    if (o.Form)
        return QStringLiteral("--form");
    if (o.Sliders.Width)
        return QStringLiteral("--width");
    if (o.Sliders.Height)
        return QStringLiteral("--height");
    if (o.Sliders.Thickness)
        return QStringLiteral("--thickness");
    static const char* const covers[] = {"--front", "--side", "--top", "--back", "--right", "--bottom"};
    for (std::size_t i = 0; i < std::size(covers); ++i)
        if (o.Covers[i])
            return QLatin1String(covers[i]);
    if (o.Shape.EdgeRadius)
        return QStringLiteral("--edge-radius");
    if (o.Shape.BookPages)
        return QStringLiteral("--book-pages");
    return {};
}

} // namespace

void RefuseArrangementWithoutBundle(const RenderOptions& o)
{
    if (o.Bundle.isEmpty() && (o.Arrange || o.Spacing))
        throw UsageError(QStringLiteral("%1 needs --bundle").arg(o.Arrange ? QStringLiteral("--arrange")
                                                                            : QStringLiteral("--spacing")));
}

void CheckBundleOptions(const RenderOptions& o)
{
    if (o.Bundle.isEmpty())
        return;
    const auto count = o.Bundle.size();
    if (count < GroupLimits::MinBoxes || count > GroupLimits::MaxBoxes)
        throw UsageError(QStringLiteral("--bundle takes %1 to %2 projects, not %3")
                             .arg(GroupLimits::MinBoxes)
                             .arg(GroupLimits::MaxBoxes)
                             .arg(count));
    if (!o.Project.isEmpty())
        throw UsageError(QStringLiteral("a bundle's projects all follow --bundle; %1 is one too many")
                             .arg(Quoted(o.Project)));
    if (const QString option = BoxOptionGiven(o); !option.isEmpty())
        throw UsageError(QStringLiteral("%1 does not apply to a bundle: each box takes its kind, size, shape "
                                        "and covers from its own project")
                             .arg(option));
    if (!o.SaveProject.isEmpty())
        throw UsageError(QStringLiteral("--save-project does not apply to a bundle: it is several projects"));
    if (!o.ExportModel.isEmpty())
        throw UsageError(QStringLiteral("--export-model does not apply to a bundle: it writes one box"));
    if (o.Output.isEmpty())
        throw UsageError(QStringLiteral("a bundle needs -o IMAGE"));
    if (o.Spacing && o.Arrange == static_cast<int>(GroupArrangement::Stack))
        throw UsageError(QStringLiteral("--spacing is for a row or a fan; a stack's boxes lie on each other"));
}

std::vector<std::unique_ptr<HeadlessBox>> OpenBundle(const RenderOptions& options)
{
    std::vector<std::unique_ptr<HeadlessBox>> boxes;
    for (const QString& project : options.Bundle) {
        auto box = std::make_unique<HeadlessBox>();
        box->OpenProject(ReadProject(project));
        boxes.push_back(std::move(box));
    }
    boxes.front()->ApplyOptions(options);
    return boxes;
}

std::vector<JobFile> BundleInputs(const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                                   const RenderOptions& options)
{
    std::vector<JobFile> inputs;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        RenderOptions one;
        one.Project = options.Bundle.value(static_cast<qsizetype>(i));
        for (JobFile& input : JobInputs(*boxes[i], one))
            inputs.push_back(std::move(input));
    }
    return inputs;
}

GroupArrangement ArrangementOf(const RenderOptions& options)
{
    return static_cast<GroupArrangement>(options.Arrange.value_or(0));
}

float SpacingOf(const RenderOptions& options)
{
    return options.Spacing.value_or(static_cast<float>(GroupLimits::DefaultSpacing));
}

QImage RenderOpenedBundle(RenderSession& session, const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                          const RenderOptions& options, PhaseClock& clock)
{
    std::vector<HeadlessBox*> drawn;
    for (const auto& box : boxes)
        drawn.push_back(box.get());
    HeadlessBox& first = *boxes.front();
    const RenderRequest request = RenderRequestOf(first, options, first.OutputSize(options));
    return session.RenderBundle(drawn, ArrangementOf(options), SpacingOf(options), request, clock);
}
