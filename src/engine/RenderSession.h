#pragma once
// Many box shots from one GL context: the context is kept (resized when the
// size changes; more samples are drawn in buffers of their own), and a cover
// file already decoded into a texture is not read again. One session belongs to one thread; several sessions on several
// threads render side by side, each in its own context.
#include "engine/HeadlessBox.h"
#include "engine/HeadlessRender.h"
#include "engine/PhaseClock.h"
#include "render/BoxGroup.h"
#include "render/BoxRenderer.h"
#include "render/SceneDriver.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class HeadlessContext;
class GLTexture;

class RenderSession {
public:
    RenderSession();
    ~RenderSession();
    RenderSession(const RenderSession&) = delete;
    RenderSession& operator=(const RenderSession&) = delete;

    // The box as RenderBox draws it: the same pixels. A new size or sample
    // count reuses the context. A cover whose file
    // (path, size, modification time) is unchanged since it was read is not
    // read again. Throws JobError exactly as RenderBox does; the
    // session stays usable after any failure.
    QImage Render(HeadlessBox& box, const RenderRequest& request, PhaseClock& clock);

    // The one-shot render: every cover in `covers` (begun before, so that
    // reading overlaps the context's creation) is taken as read anew. With a
    // teardown, the GL side is handed to it right after the last read-back.
    QImage Render(HeadlessBox& box, PendingCovers& covers, const RenderRequest& request,
                  PhaseClock& clock, GLTeardown* teardown);

    // A bundle (BoxGroup.h): every box's covers read as Render reads them,
    // drawn in one picture with the view, looks, background, fog and fit of
    // the first box's document, which keeps the fitted view as Render's box
    // does. Throws JobError as Render does.
    QImage RenderBundle(const std::vector<HeadlessBox*>& boxes, GroupArrangement arrangement, float spacing,
                        const RenderRequest& request, PhaseClock& clock);

    // Texture bytes kept for covers the last render did not use; the least
    // recently used go first. 0 keeps only the last render's covers.
    void SetCoverCacheBytes(std::int64_t bytes) { cacheBytes_ = bytes; }
    // Cover files (absolute paths) no later render will ask for: dropped
    // as soon as the render that used them is done, whatever room is left.
    void SetUsedOnce(std::function<bool(const QString& file)> usedOnce) { usedOnce_ = std::move(usedOnce); }

    int CoversRead() const { return coversRead_; }
    int ContextsMade() const { return contextsMade_; }

private:
    struct CoverKey {
        QString File;
        std::int64_t Size = -1;
        std::int64_t Modified = 0; // nanoseconds
        bool operator==(const CoverKey&) const = default;
    };
    using SlotKeys = std::array<std::optional<CoverKey>, CoverSourceCount>;
    struct CachedCover {
        CoverKey Key;
        std::unique_ptr<GLTexture> Texture;
        std::int64_t Bytes = 0;
        std::uint64_t LastUse = 0;
    };

    static SlotKeys KeysOf(const HeadlessBox& box);
    CachedCover* Find(const CoverKey& key);
    QImage Run(HeadlessBox& box, PendingCovers& covers, const SlotKeys& keys,
               const PendingCovers::Slots& reading, const RenderRequest& request, PhaseClock& clock,
               GLTeardown* teardown);
    // Run's steps: the covers being read go to their textures (and the
    // cache); the slots' textures of a box; the requested picture of
    // `params`, whose fitted view `document` takes as well.
    void CollectCovers(PendingCovers& pending, const SlotKeys& keys,
                       const PendingCovers::Slots& reading, bool drawing);
    SlotTextures TexturesOf(HeadlessBox& box, const SlotKeys& keys, const SlotTextures& placeholders);
    QImage DrawRequested(BoxParameters params, BoxParameters& document, const SlotTextures& textures,
                         const RenderRequest& request, PhaseClock& clock, GLTeardown* teardown);
    // Which of the box's covers the cache does not hold yet (a file in two
    // slots once).
    PendingCovers::Slots SlotsToRead(const SlotKeys& keys);
    // True when a new context was made (its shaders not yet compiled).
    bool PrepareContext(const RenderRequest& request);
    // One frame of `params` (wrapping its angles as the window does) read back.
    QImage DrawPicture(const BoxParameters& params, const SlotTextures& textures, int samples, PhaseClock* clock);
    void Evict();
    void DropContext();
    void HandOver(GLTeardown& teardown);

    std::unique_ptr<HeadlessContext> context_;
    BoxRenderer renderer_;
    SceneDriver driver_;
    std::array<std::unique_ptr<GLTexture>, ClassicSlotCount> placeholders_; // the classic slots

    std::vector<CachedCover> covers_;
    std::uint64_t renders_ = 0;
    std::int64_t cacheBytes_ = std::int64_t{256} << 20;
    std::function<bool(const QString&)> usedOnce_;
    int coversRead_ = 0;
    int contextsMade_ = 0;
};
