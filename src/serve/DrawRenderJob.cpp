#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/ImageOutput.h"
#include "engine/ModelOutput.h"
#include "engine/RenderSession.h"
#include "concurrency/ParallelWork.h"
#include "serve/RenderForm.h"
#include "serve/RenderService.h"
#include "serve/ServeError.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

// Covers live under names of the service's choosing; an answer speaks of slots.
QString WithSlotNames(QString text, const RenderJob& job)
{
    for (std::size_t slot = 0; slot < job.Covers.size(); ++slot)
        if (job.Covers[slot])
            text.replace(job.Covers[slot]->Path(), QStringLiteral("the %1 cover").arg(QLatin1String(CoverPartNames()[slot])));
    return text;
}

} // namespace

RenderAnswer DrawRenderJob(RenderSession& session, const RenderJob& job)
{
    const auto start = std::chrono::steady_clock::now();
    RenderAnswer answer;
    try {
        HeadlessBox box;
        if (job.Project)
            box.OpenProject({*job.Project, QString()});
        else
            box.NewProject();
        box.ApplyOptions(job.Options);
        const RenderOptions& o = job.Options;
        const QSize size = box.OutputSize(o);
        const RenderRequest request = RenderRequestOf(box, o, size);
        PhaseClock clock;
        if (job.Model) {
            // As "render --export-model": a fitted view is found by drawing.
            if (o.Fit)
                session.Render(box, request, clock);
            answer.Body = ModelBytes(box, size, QStringLiteral("the model"));
        } else {
            const QImage picture = session.Render(box, request, clock);
            // A large PNG is cut into as many parts as "cubiform render" cuts it
            // into (one per core), for its bytes; this worker still makes them all.
            const int parts = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
            answer.Body = EncodePicture(picture, o.Format, o.Quality, o.Transparent, o.Dpi, parts, QStringLiteral("the picture"));
        }
    } catch (const JobError& e) {
        answer.Status = 422;
        answer.Body = ErrorJson(WithSlotNames(e.Text(), job));
    } catch (const std::bad_alloc&) {
        answer.Status = 503;
        answer.Body = ErrorJson(QStringLiteral("not enough memory for this picture now"));
    } catch (const std::exception& e) {
        answer.Status = 500;
        answer.Body = ErrorJson(WithSlotNames(QString::fromLocal8Bit(e.what()), job));
    }
    answer.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return answer;
}

void WarmUpRenderSession(RenderSession& session)
{
    HeadlessBox box;
    box.NewProject();
    RenderRequest request;
    request.Size = QSize(16, 16);
    PhaseClock clock;
    session.Render(box, request, clock);
}
