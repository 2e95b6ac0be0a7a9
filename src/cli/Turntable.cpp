#include "cli/Turntable.h"

#include "engine/BundleRender.h"
#include "engine/CommandOptions.h"
#include "engine/HeadlessBox.h"
#include "engine/ImageOutput.h"
#include "engine/OptionValues.h"
#include "engine/OutputGuard.h"
#include "engine/RayTraceBox.h"
#include "engine/RenderSession.h"
#include "cli/StopOnSignals.h"
#include "cli/TurntableFrames.h"
#include "formats/AtomicFile.h"
#include "formats/GifAnimation.h"
#include "formats/ImageCodec.h"
#include "formats/ProjectError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <utility>
#include <unistd.h>
#include <vector>

namespace {

bool IsGif(const QString& name) { return name.endsWith(QLatin1String(".gif"), Qt::CaseInsensitive); }

// "frame 12/36" rewritten in place on a terminal; nothing elsewhere.
class Progress {
public:
    explicit Progress(std::FILE* stream) : stream_(stream), shown_(isatty(fileno(stream)) == 1) {}
    ~Progress()
    {
        if (shown_ && written_)
            std::fputc('\n', stream_); // an error line then starts on its own line
    }
    void Frame(int done, int total)
    {
        if (!shown_)
            return;
        std::fprintf(stream_, "\rframe %d/%d", done, total);
        std::fflush(stream_);
        written_ = true;
    }
    void Stopped(const QString& why)
    {
        if (shown_ && written_)
            std::fputc('\n', stream_);
        written_ = false;
        std::fprintf(stream_, "%s\n", why.toLocal8Bit().constData());
        std::fflush(stream_);
    }

private:
    std::FILE* stream_;
    bool shown_;
    bool written_ = false;
};

} // namespace

QString FrameNamePattern::NameOf(int frame) const
{
    return Before + QStringLiteral("%1").arg(frame, Width, 10, QLatin1Char('0')) + After;
}

std::optional<FrameNamePattern> ParseFrameNamePattern(const QString& name)
{
    if (!name.contains(QLatin1Char('%')))
        return std::nullopt;
    const auto refuse = [&] {
        // Put together, not by arg(): the text itself holds % signs.
        return UsageError(name + QStringLiteral(": numbered pictures need exactly one %d or %0Nd (N 1..9) in "
                                                "the file name, as in spin-%03d.png; write %% for a percent sign"));
    };
    FrameNamePattern pattern;
    bool found = false;
    QString* part = &pattern.Before;
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name[i];
        if (c != QLatin1Char('%')) {
            *part += c;
            continue;
        }
        const QString rest = name.mid(i + 1, 3);
        if (rest.startsWith(QLatin1Char('%'))) {
            *part += QLatin1Char('%');
            ++i;
        } else if (!found && rest.startsWith(QLatin1Char('d'))) {
            found = true;
            part = &pattern.After;
            ++i;
        } else if (!found && rest.size() == 3 && rest[0] == QLatin1Char('0') && rest[1] >= QLatin1Char('1') &&
                   rest[1] <= QLatin1Char('9') && rest[2] == QLatin1Char('d')) {
            found = true;
            pattern.Width = rest[1].digitValue();
            part = &pattern.After;
            i += 3;
        } else {
            throw refuse();
        }
    }
    if (!found || pattern.After.contains(QLatin1Char('/')) || pattern.After.contains(QDir::separator()))
        throw refuse();
    return pattern;
}

TurntableOptions ParseTurntableArguments(const QStringList& arguments)
{
    TurntableOptions t;
    bool fpsGiven = false;
    QStringList shared; // render's to read and check
    std::vector<const RenderOptionEntry*> own = Entries(OwnOptionTable(ForTurntable));
    own.push_back(FindRenderOption(QStringLiteral("--output"))); // the animation, not a picture
    const auto take = [&](const RenderOptionEntry& entry, const QString& arg, const std::optional<QString>& v) {
        const QLatin1String name(entry.Name);
        const std::optional<OptionRange> r = entry.ValueRange();
        if (name == QLatin1String("output")) {
            t.Output = NamedFile(arg, *v);
        } else if (name == QLatin1String("frames")) {
            t.FrameCount = IntegerIn(arg, *v, r->Min, r->Max);
        } else if (name == QLatin1String("fps")) {
            NumberIn(arg, *v, static_cast<float>(r->Min), static_cast<float>(r->Max));
            t.Fps = v->toDouble(); // checked; kept to the written digits
            fpsGiven = true;
        } else if (name == QLatin1String("tilt")) {
            t.Tilt = true;
        }
    };
    ReadOptions(arguments, own, take, [&](qsizetype& i) {
        if (arguments[i] == QLatin1String("--bundle"))
            throw UsageError(QStringLiteral("--bundle is for render and batch; a turntable turns one box"));
        // A render option, with its value when it takes one.
        shared << arguments[i];
        if (RenderOptionValuesAt(arguments, i) == 1)
            shared << arguments[++i];
    });
    if (t.Output.isEmpty())
        throw UsageError(QStringLiteral("turntable needs -o ANIMATION.gif or -o NAME-%03d.png"));
    t.Frames = ParseFrameNamePattern(t.Output);
    if (!t.Frames && !IsGif(t.Output))
        throw UsageError(t.Output + QStringLiteral(": turntable writes a .gif, or numbered pictures named "
                                                   "with %03d (spin-%03d.png)"));
    // Harmless with numbered pictures (a script may pass it for both): said, not refused.
    t.FpsIgnored = t.Frames && fpsGiven;
    // The shared options are checked as render checks them, against the
    // first frame's name (a GIF's frames are checked as PNG pictures).
    const QString firstName = t.Frames ? t.Frames->NameOf(0) : QStringLiteral("frame.png");
    t.Render = ParseRenderArguments(shared + QStringList{QStringLiteral("-o"), firstName});
    RefuseArrangementWithoutBundle(t.Render);
    if (!t.Render.SaveProject.isEmpty())
        throw UsageError(QStringLiteral("--save-project is for render; turntable writes no project"));
    if (!t.Render.ExportModel.isEmpty())
        throw UsageError(QStringLiteral("--export-model is for render; turntable writes no model"));
    if (!t.Frames && t.Render.Transparent)
        throw UsageError(QStringLiteral("--transparent needs numbered .png or .tga pictures, not a .gif"));
    return t;
}

float TurntableAngle(float start, int frame, int frames)
{
    double angle = static_cast<double>(start) + 360.0 * frame / frames;
    if (angle >= 360.0)
        angle -= 360.0;
    return static_cast<float>(angle);
}

int RunTurntable(const QStringList& arguments, std::FILE* err)
{
    const TurntableOptions t = ParseTurntableArguments(arguments);
    const RenderOptions& options = t.Render;
    if (t.FpsIgnored)
        std::fprintf(err, "cubiform: note: --fps is ignored; numbered pictures have no timing\n");

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
    if (!t.Frames)
        try {
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
    const StopOnSignals stopping;
    {
        Progress progress(err);
        for (int k = 0; k < t.FrameCount; ++k) {
            if (const int signal = StopOnSignals::Caught()) {
                // The staging folder and the folders made for it go with
                // their owners; nothing of the turn is left.
                progress.Stopped(QStringLiteral("stopped after %1 at frame %2 of %3; nothing was written")
                                     .arg(StopOnSignals::Name(signal))
                                     .arg(k)
                                     .arg(t.FrameCount));
                return 128 + signal;
            }
            box.Document.Params.SideAngle = TurntableAngle(side, k, t.FrameCount);
            if (t.Tilt)
                box.Document.Params.TiltAngle = TurntableAngle(tilt, k, t.FrameCount);
            PhaseClock clock;
            QImage picture;
            if (rayTraced) {
                if (request.Fit)
                    session.Render(box, request, clock); // the raster's fit, over every frame's angles
                // Every frame with the same seed: a turn is made again byte for byte.
                std::optional<QImage> traced = TraceBoxPicture(box, RayRunOf(options), request.Size,
                                                               [](int, int, double, const RayRender&) {
                                                                   return StopOnSignals::Caught() == 0;
                                                               });
                if (!traced) {
                    --k; // the loop's next round says where it stopped
                    continue;
                }
                picture = std::move(*traced);
            } else {
                picture = session.Render(box, request, clock);
            }
            request.Fit.reset(); // the box's view holds the framing from now on
            if (gif) {
                try {
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
            progress.Frame(k + 1, t.FrameCount);
        }
    }

    if (gif) {
        try {
            WriteFileAtomically(t.Output, gif->Finish());
        } catch (const ImageError& e) {
            throw BadInput(QString::fromStdString(e.what()));
        }
        return 0;
    }
    PutFramesInPlace(*staging, targetFolder, names, made);
    return 0;
}
