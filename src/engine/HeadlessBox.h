#pragma once
// The box document of the command line, set up the way the window is right
// after "New project" or after opening a project, then changed by the
// command's options.
#include "engine/RenderOptions.h"
#include "document/BoxDocument.h"
#include "document/ProjectApply.h"
#include "formats/ProjectOpen.h"
#include "formats/ProjectFile.h"
#include "render/CoverImage.h"
#include "render/CoverPipeline.h"

#include <QSize>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

// The project at `path`, read and checked; JobError for every way it
// fails (missing, malformed, too large for memory).
OpenedProject ReadProject(const QString& path);

class HeadlessBox {
public:
    HeadlessBox();
    HeadlessBox(const HeadlessBox&) = delete;
    HeadlessBox& operator=(const HeadlessBox&) = delete;

    // Holds everything the command changes: the box, the cover paths and
    // the output folder.
    BoxDocument Document;

    // ResetProject, then the size class, box kind and surrounding applied and
    // the background taken from the panel, as "New project" does.
    void NewProject();
    // A new project, then the project opened as the window opens it: cover
    // paths kept as stored, relative ones read from the project's folder.
    void OpenProject(const OpenedProject& project);

    // In this order: box kind, surrounding, background, the eight sliders,
    // the two view angles, the looks, the shape, the engine, then the cover paths.
    void ApplyOptions(const RenderOptions& options);

    // Output pixels: the two output sliders, or --size, times --scale.
    QSize OutputSize(const RenderOptions& options) const;

    ProjectData Capture() const;
    ::CoverPaths CoverPaths() const;
    // The file slot `slot`'s cover is read from (empty: the placeholder).
    QString CoverFileOf(int slot) const;
};

// Reads the cover files named by the slots' paths (empty paths keep the
// placeholder) into their textures' base levels, each on a thread of its
// own (CoverRead); the caller goes on (creating the GL context, say) and
// collects them with Collect. Missing files and other extensions are
// refused at once (in every slot). No GL is needed. Slots not `wanted` are
// not read.
class PendingCovers {
public:
    using Slots = std::array<bool, CoverSourceCount>;
    explicit PendingCovers(const HeadlessBox& box, Slots wanted = AllSlots());
    static Slots AllSlots() { Slots all; all.fill(true); return all; }
    PendingCovers(const PendingCovers&) = delete;
    PendingCovers& operator=(const PendingCovers&) = delete;
    ~PendingCovers(); // stops and waits for reads still running

    // The GL context exists (or will not): a second cover may be read.
    void GLReady();

    // Hands each cover to `ready` (slot, picture, its progress) as soon as
    // it is read, in whatever order they finish, and returns when all are
    // done; until then, `partial` is shown each unfinished cover's progress
    // whenever more of its rows are final. Throws JobError naming
    // the file when one is damaged (the first by slot when several are).
    //
    // A JPEG's rows are made in a ring its progress recycles (RecycleRows):
    // the reader sends them on with PartialUpload, or gathers them. A
    // reader that has begun sending must keep sending: the maker waits for
    // ring places it has not sent.
    void Collect(const std::function<void(std::size_t, DecodedCover&&, BaseLevelProgress&)>& ready,
                 const std::function<void(std::size_t, const BaseLevelProgress&)>& partial = {});

private:
    std::array<QString, CoverSourceCount> paths_;
    CoverNotice notice_;
    CoverTurns turns_{1};
    bool glReady_ = false;
    std::array<std::unique_ptr<CoverRead>, CoverSourceCount> reads_; // last: they end before the rest goes
};

// The same checks without decoding: for a command that writes no picture.
void CheckCoverFiles(const HeadlessBox& box);
