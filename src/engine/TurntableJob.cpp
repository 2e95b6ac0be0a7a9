#include "engine/TurntableJob.h"

#include "engine/BundleRender.h"
#include "engine/HeadlessBox.h"
#include "engine/ImageOutput.h"
#include "engine/OptionValues.h"
#include "engine/OutputGuard.h"
#include "engine/RayTraceBox.h"
#include "engine/RenderSession.h"
#include "engine/TurntableFrames.h"
#include "formats/AtomicFile.h"
#include "formats/GifAnimation.h"
#include "formats/ImageCodec.h"
#include "formats/ProjectError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <utility>
#include <vector>

QString FrameNamePattern::NameOf(int frame) const
{
    return Before + QStringLiteral("%1").arg(frame, Width, 10, QLatin1Char('0')) + After;
}

float TurntableAngle(float start, int frame, int frames)
{
    double angle = static_cast<double>(start) + 360.0 * frame / frames;
    if (angle >= 360.0)
        angle -= 360.0;
    return static_cast<float>(angle);
}

int RunTurntableJob(const TurntableOptions& t, const TurntableHooks& hooks)
{
    const RenderOptions& options = t.Render;
    const auto stop = [&] { return hooks.Stop && hooks.Stop(); };

    HeadlessBox box;
    if (options.Project.isEmpty())
        box.NewProject();
    else
        box.OpenProject(ReadProject(options.Project));
    box.ApplyOptions(options);
    RefuseRayOptionsOnRaster(box, options);
    const bool rayTraced = RayTraced(box);
    JobFiles job;
    job.Inputs = JobInputs(box, options);
    if (t.Frames)
        for (int k = 0; k < t.FrameCount; ++k)
            job.Writes(t.Frames->NameOf(k), QStringLiteral("frame"));
    else
        job.Writes(t.Output, QStringLiteral("animation"));
    RefuseUnsafeOutputs(job);
    RenderRequest request = RenderRequestOf(box, options, box.OutputSize(options));

    // Frame 0 is what render shows: an angle of 360 or more shows as 0 there.
    const BoxParameters start = box.Document.Params;
    const float side = start.SideAngle >= 360.0f ? 0.0f : start.SideAngle;
    const float tilt = start.TiltAngle >= 360.0f ? 0.0f : start.TiltAngle;
    // One framing for the whole turn: fitted once, over every frame's
    // angles together, so the box never leaves the picture and never
    // breathes from frame to frame.
    if (request.Fit) {
        FitRequest& fit = *request.Fit;
        for (int k = 0; k < t.FrameCount; ++k)
            fit.Angles.emplace_back(TurntableAngle(side, k, t.FrameCount),
                                    t.Tilt ? TurntableAngle(tilt, k, t.FrameCount) : tilt);
    }

    // Numbered pictures are written into a hidden folder beside them and
    // moved in place only when every frame is done: a failed run leaves no
    // part of a turn behind.
    MadeFolders made;
    std::optional<QTemporaryDir> staging;
    StagingLock stagingLock; // let go before the folder is removed
    QString targetFolder;
    if (t.Frames) {
        targetFolder = QFileInfo(t.Frames->NameOf(0)).absolutePath();
        made.Make(targetFolder);
        ClearAbandonedStaging(targetFolder);
        staging.emplace(
            targetFolder + QStringLiteral("/.turntable-%1-XXXXXX").arg(QCoreApplication::applicationPid()));
        if (!staging->isValid())
            throw BadInput(QStringLiteral("%1: cannot be written (%2)")
                               .arg(QDir::toNativeSeparators(targetFolder), staging->errorString()));
        stagingLock = StagingLock(staging->path());
    } else if (!QFileInfo(QFileInfo(t.Output).absolutePath()).isDir()) {
        throw BadInput(QStringLiteral("%1: the folder does not exist").arg(t.Output)); // before any frame
    }

    std::optional<GifAnimation> gif;
    std::optional<VideoAnimation> video;
    try {
        if (t.Video)
            video.emplace(request.Size.width(), request.Size.height(), t.Fps, t.VideoQuality, *t.Video, t.Output);
        else if (!t.Frames)
            gif.emplace(request.Size.width(), request.Size.height(), t.Output);
    } catch (const ImageError& e) {
        throw BadInput(QString::fromStdString(e.what()));
    }
    const std::vector<int> delays = GifFrameDelays(t.FrameCount, t.Fps);
    QStringList names;
    if (t.Frames) {
        for (int k = 0; k < t.FrameCount; ++k)
            names << QFileInfo(t.Frames->NameOf(k)).fileName();
        CheckFramesReplaceable(targetFolder, names); // before the work, not after
    }

    RenderSession session; // one context for the whole turn
    for (int k = 0; k < t.FrameCount; ++k) {
        // The staging folder and the folders made for it go with their
        // owners; nothing of the turn is left.
        if (stop())
            return k;
        box.Document.Params.SideAngle = TurntableAngle(side, k, t.FrameCount);
        if (t.Tilt)
            box.Document.Params.TiltAngle = TurntableAngle(tilt, k, t.FrameCount);
        PhaseClock clock;
        QImage picture;
        if (rayTraced) {
            if (request.Fit)
                session.Render(box, request, clock); // the raster's fit, over every frame's angles
            // Every frame with the same seed: a turn is made again byte for byte.
            std::optional<QImage> traced = TraceBoxPicture(
                box, RayRunOf(options), request.Size, [&](int, int, double, const RayRender&) { return !stop(); });
            if (!traced)
                return k;
            picture = std::move(*traced);
        } else {
            picture = session.Render(box, request, clock);
        }
        request.Fit.reset(); // the box's view holds the framing from now on
        if (gif || video) {
            try {
                if (video)
                    video->AddFrame(RgbaRows::Of(picture));
                else
                    gif->AddFrame(RgbaRows::Of(picture), delays[static_cast<std::size_t>(k)]);
            } catch (const ImageError& e) {
                throw BadInput(QString::fromStdString(e.what()));
            } catch (const std::bad_alloc&) {
                throw BadInput(QStringLiteral("%1: not enough memory to write the animation").arg(t.Output));
            }
        } else {
            WritePicture(picture, staging->filePath(names[k]), options.Format, options.Quality,
                         options.Transparent, options.Dpi);
        }
        if (hooks.FrameDone)
            hooks.FrameDone(k + 1, t.FrameCount);
    }

    if (gif || video) {
        try {
            WriteFileAtomically(t.Output, video ? video->Finish() : gif->Finish());
        } catch (const ImageError& e) {
            throw BadInput(QString::fromStdString(e.what()));
        }
        return t.FrameCount;
    }
    PutFramesInPlace(*staging, targetFolder, names, made);
    return t.FrameCount;
}
