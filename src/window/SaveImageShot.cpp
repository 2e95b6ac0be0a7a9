#include "window/SaveImageShot.h"

#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/ImageOutput.h"
#include "engine/OutputGuard.h"
#include "engine/PhaseClock.h"
#include "engine/ProgressText.h"
#include "engine/RayTraceBox.h"
#include "raytrace/RayRender.h"
#include "concurrency/ParallelWork.h"

#include <cstring>
#include <new>
#include <utility>

namespace {

void Prepare(HeadlessBox& box, const ShotOrder& order)
{
    box.Document = order.Document;
    box.Document.OnChanged = nullptr; // the window's, which must not hear of this copy
    BoxLooks looks = box.Document.Params.Looks;
    looks.Samples = order.Samples;
    box.Document.SetLooks(looks);
}

// The seconds between two previews: each costs a pass's worth of a core
// on a large picture, and the eye wants no more.
constexpr double PreviewEvery = 0.25;

void TraceShot(HeadlessBox& box, const ShotOrder& order, const std::atomic<bool>& stop,
               const std::function<void(const QString&)>& note, const ShotPreview& preview)
{
    note(QStringLiteral("Ray tracing %1 x %2 pixels...").arg(order.Size.width()).arg(order.Size.height()));
    RayRun run; // the command line's default seed, no time limit
    run.Transparent = order.Transparent;
    double shown = -PreviewEvery;
    const std::optional<QImage> picture = TraceBoxPicture(
        box, run, order.Size,
        [&](int done, int total, double seconds, const RayRender& render) {
            note(QStringLiteral("Ray tracing: ") + RayProgressLine(done, total, seconds).section(QLatin1Char(']'), 1).trimmed());
            if (preview && done < total && seconds - shown >= PreviewEvery) {
                shown = seconds;
                preview(render.Picture());
            }
            return !stop.load();
        },
        &stop);
    if (!picture || stop.load())
        throw ShotStopped{};
    if (preview)
        preview(*picture);
    note(QStringLiteral("Writing the picture..."));
    WritePicture(*picture, order.Path, order.Format, order.Quality, order.Transparent, std::nullopt,
                 WorkerThreads(), [&stop](const QString&) {
                     if (stop.load())
                         throw ShotStopped{};
                 });
}

} // namespace

void RefuseShotOverInputs(const ShotOrder& order)
{
    RefuseUnsafeOutputs(JobOf(DocumentInputs(order.Document, order.ProjectFile), {{QStringLiteral("picture"), order.Path}}));
}

void MakeShot(const ShotOrder& order, const std::atomic<bool>& stop,
              const std::function<void(const QString& note)>& note, const ShotPreview& preview)
{
    const auto check = [&stop] {
        if (stop.load())
            throw ShotStopped{};
    };
    check();
    HeadlessBox box;
    Prepare(box, order);
    RefuseShotOverInputs(order);
    note(QStringLiteral("Reading the covers..."));

    PhaseClock clock; // not timed: its marks are the steps
    clock.OnMark = [&](const char* phase) {
        check();
        if (std::strcmp(phase, "covers") == 0)
            note(QStringLiteral("Drawing %1 x %2 pixels...").arg(order.Size.width()).arg(order.Size.height()));
    };
    if (RayTraced(box)) {
        TraceShot(box, order, stop, note, preview);
        return;
    }
    RenderRequest request;
    request.Size = order.Size;
    request.Samples = box.Document.Params.Looks.Samples;
    request.Transparent = order.Transparent;
    QImage picture;
    {
        PendingCovers covers(box);
        picture = RenderBox(box, covers, request, clock);
    }
    check();
    note(QStringLiteral("Writing the picture..."));
    WritePicture(picture, order.Path, order.Format, order.Quality, order.Transparent, std::nullopt,
                 WorkerThreads(), [&check](const QString&) { check(); });
}

ShotJob::ShotJob(ShotOrder order, QObject* parent)
    : QObject(parent), stop_(std::make_shared<std::atomic<bool>>(false))
{
    // The job outlives its work (the destructor waits), so the work may
    // post to it; what is still posted when it goes is dropped.
    work_ = std::make_unique<RunAside>([this, stop = stop_, order = std::move(order)] {
        const auto post = [this](std::function<void()> call) {
            QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
        };
        bool written = false;
        QString problem;
        try {
            MakeShot(
                order, *stop, [&](const QString& text) { post([this, text] { Q_EMIT Note(text); }); },
                [&](const QImage& picture) { post([this, picture] { Q_EMIT Preview(picture); }); });
            written = true;
        } catch (const ShotStopped&) {
        } catch (const JobError& e) {
            problem = e.Text();
        } catch (const std::bad_alloc&) {
            problem = QStringLiteral("Can not allocate enough video memory. Try again with a smaller image.");
        } catch (const std::exception& e) {
            problem = QString::fromUtf8(e.what());
        }
        post([this, written, problem] { Done(written, problem); });
    });
}

ShotJob::~ShotJob()
{
    stop_->store(true);
    work_.reset();
}

void ShotJob::Stop()
{
    stop_->store(true);
    if (!running_)
        deleteLater();
}

void ShotJob::Done(bool written, const QString& problem)
{
    running_ = false;
    const bool stopped = stop_->load();
    Q_EMIT Finished(written, problem);
    if (stopped)
        deleteLater(); // nobody waits for it any more
}
