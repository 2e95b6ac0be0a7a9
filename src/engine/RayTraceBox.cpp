#include "engine/RayTraceBox.h"

#include "engine/HeadlessRender.h"
#include "formats/ImageCodec.h"
#include "raytrace/RayRender.h"
#include "render/CoverImage.h"

#include <algorithm>
#include <new>

namespace {

static_assert(EngineLimits::DefaultPasses == RayLimits::DefaultPasses && EngineLimits::MinPasses == RayLimits::MinPasses &&
                  EngineLimits::MaxPasses == RayLimits::MaxPasses && EngineLimits::MaxGloss == RayLimits::MaxGloss,
              "the project stores what the ray tracer takes");

} // namespace

RayCovers ReadRayCovers(const HeadlessBox& box)
{
    CheckCoverFiles(box); // missing files and other kinds, as the raster refuses them
    RayCovers covers = PlaceholderCovers();
    for (int i = 0; i < CoverSlotCount; ++i) {
        const QString file = box.CoverFileOf(i);
        if (file.isEmpty())
            continue;
        try {
            RgbaPicture picture;
            if (ReadCoverPicture(file, picture))
                covers.Slots[static_cast<std::size_t>(i)] = std::make_shared<const CoverTexels>(std::move(picture));
        } catch (const ImageError& e) {
            throw BadInput(QString::fromStdString(e.what()));
        } catch (const std::bad_alloc&) {
            throw BadInput(QStringLiteral("%1: not enough memory to read the picture").arg(file));
        }
    }
    return covers;
}

bool RayTraced(const HeadlessBox& box)
{
    return box.Document.Engine().RayTraced;
}

void RefuseRayOptionsOnRaster(const HeadlessBox& box, const RenderOptions& options)
{
    if (!RayTraced(box) && options.Ray.AnyGiven())
        throw UsageError(RayOptionsNeedTheRayTracerText());
}

RayRun RayRunOf(const RenderOptions& options)
{
    RayRun run;
    run.Seed = options.Ray.Seed.value_or(1);
    run.TimeLimit = options.Ray.TimeLimit.value_or(0.0);
    run.Transparent = options.Transparent;
    return run;
}

std::optional<QImage> TraceBoxPicture(HeadlessBox& box, const RayRun& run, QSize size, const RayPassSeen& seen,
                                      const std::atomic<bool>* stop)
{
    RayCovers covers = ReadRayCovers(box);
    for (int i = 0; i < CoverSourceCount; ++i)
        if (!box.CoverFileOf(i).isEmpty()) // the slot now names the file it shows, as the raster's render does
            box.Document.SetCover(i, {box.CoverFileOf(i), box.Document.Cover(i).Folder});

    BoxParameters params = box.Document.Params;
    WrapViewAngles(params);
    return TraceProduct(OneBoxProduct(params, std::move(covers), box.Document.Engine().Gloss),
                        RaySettingsOf(box, run), size, seen, stop);
}

RaySettings RaySettingsOf(const HeadlessBox& box, const RayRun& run)
{
    RaySettings settings;
    settings.Passes = box.Document.Engine().Passes;
    settings.Seed = static_cast<std::uint32_t>(run.Seed);
    settings.Gloss = box.Document.Engine().Gloss;
    settings.Denoise = box.Document.Engine().Denoise;
    settings.FNumber = static_cast<float>(box.Document.Engine().FNumber);
    settings.TimeLimit = run.TimeLimit;
    settings.Transparent = run.Transparent;
    return settings;
}

std::optional<QImage> TraceProduct(RayProduct product, const RaySettings& settings, QSize size,
                                   const RayPassSeen& seen, const std::atomic<bool>* stop)
{
    std::optional<RayRender> render;
    try {
        render.emplace(std::move(product), settings, size);
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1 x %2 pixels: not enough memory for the ray tracer")
                           .arg(size.width())
                           .arg(size.height()));
    } catch (const std::runtime_error& e) {
        throw BadInput(QString::fromStdString(e.what()));
    }
    bool stopped = false;
    render->SetStop(stop);
    render->Run([&](int done, int total, double seconds) {
        stopped = seen && !seen(done, total, seconds, *render);
        return !stopped;
    });
    if (stopped || (stop && stop->load()))
        return std::nullopt;
    try {
        return render->Result();
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1 x %2 pixels: not enough memory for the denoiser (--denoise off does without it)")
                           .arg(size.width())
                           .arg(size.height()));
    }
}

void FitForRayTracing(HeadlessBox& box, const RenderOptions& options, QSize size, PhaseClock& clock)
{
    if (!options.Fit)
        return;
    PendingCovers covers(box);
    RenderBox(box, covers, RenderRequestOf(box, options, size), clock);
}
