#include "engine/RayTraceBundle.h"

#include "engine/BundleRender.h"
#include "engine/RenderSession.h"

void FitBundleForRayTracing(RenderSession& session, const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                            const RenderOptions& options, PhaseClock& clock)
{
    if (options.Fit)
        RenderOpenedBundle(session, boxes, options, clock);
}

std::optional<QImage> TraceBundlePicture(const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                                         const RenderOptions& options, QSize size, const RayPassSeen& seen,
                                         const std::atomic<bool>* stop)
{
    HeadlessBox& first = *boxes.front();
    RayProduct product;
    product.View = first.Document.Params;
    WrapViewAngles(product.View);
    product.Arrangement = ArrangementOf(options);
    product.Spacing = SpacingOf(options);
    for (const auto& box : boxes) {
        RayBox ray{box->Document.Params, ReadRayCovers(*box),
                   options.Ray.Gloss.value_or(box->Document.Engine().Gloss)};
        product.Boxes.push_back(std::move(ray));
    }
    return TraceProduct(std::move(product), RaySettingsOf(first, RayRunOf(options)), size, seen, stop);
}
