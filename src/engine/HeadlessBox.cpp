#include "engine/HeadlessBox.h"

#include "engine/OptionTable.h"
#include "engine/ShownPath.h"
#include "engine/SizeOptions.h"

#include "document/ProjectApply.h"
#include "formats/ProjectError.h"
#include "formats/ImageCodec.h"
#include "formats/PictureKind.h"
#include "concurrency/ParallelWork.h"

#include <QDir>
#include <QFileInfo>

#include <memory>

namespace {

const char* SlotName(int slot)
{
    static const char* const names[CoverSourceCount] = {"front", "side", "top", "back", "right", "bottom"};
    return names[slot];
}

void CheckCoverFile(const QString& path, int slot)
{
    CheckPathLength(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw BadInput(QStringLiteral("%1: the %2 cover image does not exist")
                           .arg(path, QLatin1String(SlotName(slot))));
    if (!info.isFile())
        throw BadInput(QStringLiteral("%1: the %2 cover image is not a file")
                           .arg(path, QLatin1String(SlotName(slot))));
    if (!IsCoverImageFile(path))
        throw BadInput(QStringLiteral("%1: a cover image must be a .jpg, .bmp, .png, .gif or .tga file").arg(path));
}

// The project reader's classic text, after what it means here: a picture
// given where the project goes (--front forgotten), or a file cut short.
// The reader's own texts need no classic one beside them.
QString ProjectFailureText(const QString& path, const ProjectError& e)
{
    using Kind = ProjectError::Kind;
    const bool classic = e.kind() == Kind::InvalidPropertyValue || e.kind() == Kind::StreamRead;
    if (classic || e.kind() == Kind::NotAProject) {
        if (const PictureKind picture = SniffPictureKind(path); picture != PictureKind::Unknown) {
            const QString said = QStringLiteral("a %1 picture, not a project; to put it on the box, use --front %2")
                                     .arg(PictureKindName(picture), path);
            return classic ? QStringLiteral("%1 (%2)").arg(said, e.Text()) : said;
        }
    }
    switch (e.kind()) {
    case Kind::StreamRead:
        return QStringLiteral("%1 (%2)")
            .arg(QFileInfo(path).size() == 0 ? QStringLiteral("the project file is empty")
                                             : QStringLiteral("the project is cut short"),
                 e.Text());
    case Kind::NotAProject: return QStringLiteral("not a Cubiform project");
    case Kind::DamagedAfterClassic: return QStringLiteral("the project is damaged after its classic values");
    default: return e.Text();
    }
}

} // namespace

OpenedProject ReadProject(const QString& path)
{
    CheckPathLength(path);
    try {
        std::optional<OpenedProject> project = ReadProjectFile(path);
        if (!project)
            throw BadInput(QStringLiteral("%1: no such project file").arg(path));
        return std::move(*project);
    } catch (const ProjectError& e) {
        throw BadInput(QStringLiteral("%1: %2").arg(path, ProjectFailureText(path, e)));
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1: not enough memory to read the project").arg(path));
    }
}

HeadlessBox::HeadlessBox() = default;

void HeadlessBox::NewProject()
{
    Document.NewProject();
}

void HeadlessBox::OpenProject(const OpenedProject& project)
{
    NewProject();
    OpenProjectInto(project, Document);
}

void HeadlessBox::ApplyOptions(const RenderOptions& o)
{
    // The kind first: it moves depth, offsets, turn, eye and the angles,
    // which the options below may then set.
    if (o.Form)
        Document.SetForm(*o.Form);
    if (o.Fog)
        Document.SetFog(*o.Fog);
    if (o.Background)
        Document.SetBackground(*o.Background);
    const SliderOptions& s = o.Sliders;
    const std::pair<const std::optional<int>&, Slider> sliders[] = {
        {s.Width, Slider::Width}, {s.Height, Slider::Height},     {s.Thickness, Slider::Thickness},
        {s.Depth, Slider::Depth}, {s.Vertical, Slider::Vertical}, {s.Horizontal, Slider::Horizontal},
        {s.Turn, Slider::Turn},   {s.Eye, Slider::Eye}};
    for (const auto& [value, slider] : sliders)
        if (value)
            Document.SetPosition(slider, *value);
    if (o.SideAngle)
        Document.Params.SideAngle = *o.SideAngle;
    if (o.TiltAngle)
        Document.Params.TiltAngle = *o.TiltAngle;
    Document.Recompute();
    Document.SetLooks(LooksWithOptions(Document.Params.Looks, o));
    Document.SetShape(ShapeWithOptions(Document.Params.Shape, o));
    ApplySizeOptions(Document, o);
    Document.SetEngine(EngineWithOptions(Document.Engine(), o));
    for (int i = 0; i < CoverSourceCount; ++i)
        if (const std::optional<QString>& cover = o.Covers[i])
            Document.SetCover(i, {QDir::toNativeSeparators(QFileInfo(*cover).absoluteFilePath()), QString()});
}

QSize HeadlessBox::OutputSize(const RenderOptions& o) const
{
    const QSize base = o.Size ? *o.Size
                              : QSize(Document.Position(Slider::ImageWidth), Document.Position(Slider::ImageHeight));
    const qint64 w = qint64{base.width()} * o.Scale;
    const qint64 h = qint64{base.height()} * o.Scale;
    if (w > MaxOutputSide || h > MaxOutputSide)
        throw BadInput(QStringLiteral("--scale %1: %2 x %3 pixels is larger than %4 x %4")
                           .arg(o.Scale)
                           .arg(w)
                           .arg(h)
                           .arg(MaxOutputSide));
    return {static_cast<int>(w), static_cast<int>(h)};
}

::CoverPaths HeadlessBox::CoverPaths() const
{
    return CoverPathsOf(Document);
}

QString HeadlessBox::CoverFileOf(int slot) const
{
    return CoverFile(Document.Cover(slot).Path, Document.Cover(slot).Folder);
}

ProjectData HeadlessBox::Capture() const
{
    return CaptureProject(Document, CoverPaths(), Document.OutputFolder());
}

void CheckCoverFiles(const HeadlessBox& box)
{
    for (int i = 0; i < CoverSourceCount; ++i) {
        const QString path = box.CoverFileOf(i);
        if (!path.isEmpty())
            CheckCoverFile(path, i);
    }
}

PendingCovers::PendingCovers(const HeadlessBox& box, Slots wanted)
{
    CheckCoverFiles(box);
    for (std::size_t i = 0; i < paths_.size(); ++i)
        if (wanted[i])
            paths_[i] = box.CoverFileOf(static_cast<int>(i));
    // Large covers take most of a render's time and need no GL. No
    // thumbnails: nothing shows them here.
    // A worker given one core reads its covers itself, each whole.
    const bool here = WorkerThreads() == 1;
    // The first cover's scaling thread starts while this thread makes the
    // GL, when no thread can start: it is started now.
    if (!here)
        KeepSpareThreads(1);
    for (std::size_t i = 0; i < paths_.size(); ++i) {
        if (paths_[i].isEmpty())
            continue;
        CoverRead::Request request;
        request.FileName = paths_[i];
        request.OnThisThread = here;
        // Rows the GL has taken are not read again: a few megabytes of
        // rows, reused, instead of a fresh buffer the size of the level.
        request.RingBytes = here ? 0 : std::size_t{4} << 20;
        CoverRead::Notices notices;
        notices.Rows = [this] { notice_.Notify(); };
        notices.Done = [this] { notice_.Notify(); };
        // Two at a time: each keeps two threads busy already, and a third
        // only makes more rows than the GL takes at once, which then need
        // places of their own (measured slower). Only one until the GL is
        // there (GLReady): the GL is made sooner and takes the rows sooner.
        reads_[i] = std::make_unique<CoverRead>(std::move(request), std::move(notices), here ? nullptr : &turns_);
    }
}

void PendingCovers::GLReady()
{
    if (!glReady_) {
        glReady_ = true;
        turns_.Add();
    }
}

PendingCovers::~PendingCovers()
{
    // Collect may have ended early (an error): readers still running stop
    // instead of making rows nobody will take any more.
    for (const std::unique_ptr<CoverRead>& read : reads_)
        if (read)
            read->Cancel();
    for (std::unique_ptr<CoverRead>& read : reads_)
        read.reset();
}

void PendingCovers::Collect(const std::function<void(std::size_t, DecodedCover&&, BaseLevelProgress&)>& ready,
                            const std::function<void(std::size_t, const BaseLevelProgress&)>& partial)
{
    std::array<std::optional<JobError>, CoverSourceCount> failures;
    std::array<bool, CoverSourceCount> taken{};
    const auto take = [&](std::size_t i) {
        const QString& path = paths_[i];
        taken[i] = true;
        try {
            std::optional<DecodedCover> cover = reads_[i]->Take();
            if (!cover)
                failures[i] = BadInput(QStringLiteral("%1: the picture cannot be read").arg(path));
            else
                ready(i, std::move(*cover), reads_[i]->Progress());
        } catch (const ImageError& e) {
            failures[i] = BadInput(QString::fromStdString(e.what()));
        } catch (const std::bad_alloc&) {
            failures[i] = BadInput(QStringLiteral("%1: not enough memory to read the picture").arg(path));
        }
    };
    for (;;) {
        // Read before looking: a notice from now on ends the wait below.
        const unsigned long seen = notice_.Count();
        bool running = false;
        for (std::size_t i = 0; i < reads_.size(); ++i) {
            if (!reads_[i] || taken[i])
                continue;
            if (reads_[i]->Done()) {
                take(i);
                continue;
            }
            if (partial)
                partial(i, reads_[i]->Progress());
            running = true;
        }
        if (!running)
            break;
        notice_.WaitPast(seen);
    }
    for (auto& failure : failures)
        if (failure)
            throw *failure;
}
