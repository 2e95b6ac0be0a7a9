#include "cli/RayTraceBox.h"

#include "cli/BatchProgress.h"
#include "cli/HeadlessRender.h"
#include "cli/StopOnSignals.h"
#include "formats/ImageCodec.h"
#include "raytrace/RayRender.h"
#include "render/CoverImage.h"

#include <unistd.h>

#include <algorithm>
#include <new>

namespace {

constexpr int BarWidth = 24;

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

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

QString RayProgressLine(int done, int total, double seconds, double timeLimit)
{
    const int filled = total > 0 ? std::min(done, total) * BarWidth / total : BarWidth;
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('-')) +
                   QLatin1Char(']') + QStringLiteral(" pass %1/%2").arg(done).arg(total);
    if (done > 0 && done < total && seconds > 0) {
        double left = seconds / done * (total - done);
        // The run stops once the limit is crossed, whatever passes are left.
        if (timeLimit > 0)
            left = std::clamp(timeLimit - seconds, 0.0, left);
        text += QStringLiteral("  %1 left").arg(DurationText(left));
    }
    return text;
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
    return render->Picture();
}

void FitForRayTracing(HeadlessBox& box, const RenderOptions& options, QSize size, PhaseClock& clock)
{
    if (!options.Fit)
        return;
    PendingCovers covers(box);
    RenderBox(box, covers, RenderRequestOf(box, options, size), clock);
}

RayTraceOutcome TraceWithProgress(int passes, const std::function<std::optional<QImage>(const RayPassSeen&)>& trace,
                                  PhaseClock& clock, std::FILE* err)
{
    const bool terminal = isatty(fileno(err)) == 1;
    const StopOnSignals stopping;
    RayTraceOutcome outcome;
    outcome.Picture = trace([&](int done, int total, double seconds, const RayRender& render) {
        outcome.Passes = done;
        if (terminal)
            Print(err, QStringLiteral("\r\033[K") + RayProgressLine(done, total, seconds, render.TimeLimit()));
        return StopOnSignals::Caught() == 0;
    });
    if (terminal)
        Print(err, QStringLiteral("\r\033[K"));
    clock.Mark("trace");
    if (const int signal = StopOnSignals::Caught()) {
        Print(err, QStringLiteral("stopped after %1 at pass %2 of %3; nothing was written\n")
                       .arg(StopOnSignals::Name(signal))
                       .arg(outcome.Passes)
                       .arg(passes));
        outcome.Picture.reset();
        outcome.Signal = signal;
    }
    return outcome;
}

RayTraceOutcome RayTraceBox(HeadlessBox& box, const RenderOptions& options, QSize size, PhaseClock& clock,
                            std::FILE* err)
{
    return TraceWithProgress(
        box.Document.Engine().Passes,
        [&](const RayPassSeen& seen) { return TraceBoxPicture(box, RayRunOf(options), size, seen); }, clock, err);
}
