#include "cli/Turntable.h"

#include "engine/BundleRender.h"
#include "engine/CommandOptions.h"
#include "engine/OptionValues.h"
#include "cli/StopOnSignals.h"

#include <QDir>

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
        throw UsageError(QStringLiteral("turntable needs -o ANIMATION.gif, -o VIDEO.mp4 or .webm, or -o NAME-%03d.png"));
    t.Frames = ParseFrameNamePattern(t.Output);
    if (!t.Frames)
        t.Video = VideoKindOf(t.Output);
    if (!t.Frames && !t.Video && !IsGif(t.Output))
        throw UsageError(t.Output + QStringLiteral(": turntable writes a .gif, an .mp4 or .webm video, or "
                                                   "numbered pictures named with %03d (spin-%03d.png)"));
    // Harmless with numbered pictures (a script may pass it for both): said, not refused.
    t.FpsIgnored = t.Frames && fpsGiven;
    // The shared options are checked as render checks them, against the
    // first frame's name (a GIF's frames are checked as PNG pictures).
    // A video's --quality is its own, in JPEG's range; the frames are checked as PNG pictures.
    if (const qsizetype at = shared.indexOf(QStringLiteral("--quality")); t.Video && at >= 0 && at + 1 < shared.size()) {
        const std::optional<OptionRange> r = FindRenderOption(QStringLiteral("--quality"))->ValueRange();
        t.VideoQuality = IntegerIn(shared[at], shared[at + 1], r->Min, r->Max);
        shared.remove(at, 2);
    }
    const QString firstName = t.Frames ? t.Frames->NameOf(0) : QStringLiteral("frame.png");
    t.Render = ParseRenderArguments(shared + QStringList{QStringLiteral("-o"), firstName});
    RefuseArrangementWithoutBundle(t.Render);
    if (!t.Render.SaveProject.isEmpty())
        throw UsageError(QStringLiteral("--save-project is for render; turntable writes no project"));
    if (!t.Render.ExportModel.isEmpty())
        throw UsageError(QStringLiteral("--export-model is for render; turntable writes no model"));
    if (!t.Frames && t.Render.Transparent)
        throw UsageError(QStringLiteral("--transparent needs numbered .png or .tga pictures, not a %1")
                             .arg(t.Video ? QStringLiteral("video") : QStringLiteral(".gif")));
    return t;
}

int RunTurntable(const QStringList& arguments, std::FILE* err)
{
    TurntableOptions t = ParseTurntableArguments(arguments);
    t.Render.Note = [err](const QString& text) {
        std::fprintf(err, "cubiform: note: %s\n", text.toLocal8Bit().constData());
    };
    if (t.FpsIgnored)
        std::fprintf(err, "cubiform: note: --fps is ignored; numbered pictures have no timing\n");
    const StopOnSignals stopping;
    Progress progress(err);
    const int drawn = RunTurntableJob(
        t, {[&](int done, int total) { progress.Frame(done, total); }, [] { return StopOnSignals::Caught() != 0; }});
    if (drawn == t.FrameCount)
        return 0;
    const int signal = StopOnSignals::Caught();
    progress.Stopped(QStringLiteral("stopped after %1 at frame %2 of %3; nothing was written")
                         .arg(StopOnSignals::Name(signal))
                         .arg(drawn)
                         .arg(t.FrameCount));
    return 128 + signal;
}
