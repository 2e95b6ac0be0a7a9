#include "engine/RenderSession.h"

#include "engine/PictureLimits.h"

#include "render/BaseLevel.h"
#include "render/FrameMeasure.h"
#include "render/HeadlessContext.h"
#include "render/PartialUpload.h"
#include "render/Supersample.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <utility>

namespace {

QString MemoryText()
{
    return QStringLiteral("Can not allocate enough video memory. Try again with a smaller image.");
}

QRgb BackgroundOf(const BoxParameters& p)
{
    const auto byte = [](float v) { return static_cast<int>(std::lround(v * 255.0f)); };
    return qRgb(byte(p.BackgroundRed), byte(p.BackgroundGreen), byte(p.BackgroundBlue));
}

} // namespace

RenderSession::RenderSession() = default;

RenderSession::~RenderSession() { DropContext(); }

RenderSession::SlotKeys RenderSession::KeysOf(const HeadlessBox& box)
{
    SlotKeys keys;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        const QString file = box.CoverFileOf(static_cast<int>(i));
        if (file.isEmpty())
            continue;
        CoverKey key;
        key.File = QFileInfo(file).absoluteFilePath();
        // Nanoseconds, unlike QFileInfo: a cover rewritten within the same
        // millisecond at the same size is still seen as changed.
        const std::filesystem::path path(file.toStdString());
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        key.Size = error ? -1 : static_cast<std::int64_t>(size);
        const auto modified = std::filesystem::last_write_time(path, error);
        key.Modified = error ? 0 : static_cast<std::int64_t>(modified.time_since_epoch().count());
        keys[i] = std::move(key);
    }
    return keys;
}

RenderSession::CachedCover* RenderSession::Find(const CoverKey& key)
{
    for (CachedCover& cover : covers_)
        if (cover.Key == key)
            return &cover;
    return nullptr;
}

QImage RenderSession::Render(HeadlessBox& box, const RenderRequest& request, PhaseClock& clock)
{
    CheckCoverFiles(box); // the same refusals, before anything is read
    const SlotKeys keys = KeysOf(box);
    const PendingCovers::Slots reading = SlotsToRead(keys);
    PendingCovers covers(box, reading);
    return Run(box, covers, keys, reading, request, clock, nullptr);
}

PendingCovers::Slots RenderSession::SlotsToRead(const SlotKeys& keys)
{
    PendingCovers::Slots reading{};
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i] || (context_ && Find(*keys[i])))
            continue;
        // A file in two slots is read once.
        bool earlier = false;
        for (std::size_t j = 0; j < i; ++j)
            earlier = earlier || (reading[j] && keys[j] == keys[i]);
        reading[i] = !earlier;
    }
    return reading;
}

QImage RenderSession::Render(HeadlessBox& box, PendingCovers& covers, const RenderRequest& request,
                             PhaseClock& clock, GLTeardown* teardown)
{
    const SlotKeys keys = KeysOf(box);
    PendingCovers::Slots reading{};
    for (std::size_t i = 0; i < keys.size(); ++i)
        reading[i] = keys[i].has_value();
    return Run(box, covers, keys, reading, request, clock, teardown);
}

bool RenderSession::PrepareContext(const RenderRequest& request)
{
    const QSize size = request.Size;
    if (context_) {
        context_->MakeCurrent();
        if (context_->Width() != size.width() || context_->Height() != size.height())
            context_->Resize(size.width(), size.height()); // keeps the old buffers when refused
        return false;
    }
    // More samples than one are drawn in buffers of their own (RenderWithSamples).
    context_ = std::make_unique<HeadlessContext>(size.width(), size.height());
    ++contextsMade_;
    GLint maxSide = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
    SetTextureSizeLimit(maxSide); // for covers read from now on
    // A slot without a picture shows its placeholder, as after "New project".
    for (int i = 0; i < ClassicSlotCount; ++i) {
        QImage placeholder(PlaceholderSize(i), QImage::Format_RGB888);
        placeholder.fill(QColor(PlaceholderColor(i)));
        auto texture = std::make_unique<GLTexture>();
        texture->Upload(PictureOfImage(placeholder));
        placeholders_[static_cast<std::size_t>(i)] = std::move(texture);
    }
    return true;
}

QImage RenderSession::Run(HeadlessBox& box, PendingCovers& pending, const SlotKeys& keys,
                          const PendingCovers::Slots& reading, const RenderRequest& request,
                          PhaseClock& clock, GLTeardown* teardown)
{
    ++renders_;
    const struct AfterRender {
        RenderSession& session;
        ~AfterRender() { session.Evict(); }
    } afterRender{*this};

    const QSize size = request.Size;
    std::optional<JobError> contextFailure;
    bool fresh = false;
    if (qint64{size.width()} * size.height() * request.Samples > MaxRasterSamples)
        contextFailure = BadInput(QStringLiteral("%1 x %2 pixels with %3 sample(s): %4")
                                      .arg(size.width())
                                      .arg(size.height())
                                      .arg(request.Samples)
                                      .arg(MemoryText()));
    else
        try {
            fresh = PrepareContext(request);
        } catch (const HeadlessContextError& e) {
            contextFailure = BadInput(QStringLiteral("no usable OpenGL: %1").arg(QString::fromStdString(e.what())));
        }
    const bool drawing = !contextFailure;
    const DrawFlags flags; // active, not suspended
    // A side without its own picture shows its pair's: no placeholder there.
    const SlotTextures placeholders = {placeholders_[0].get(), placeholders_[1].get(), placeholders_[2].get(),
                                       nullptr, nullptr, nullptr};
    if (drawing) {
        renderer_.InitGL(driver_, box.Document.Params); // also this box's fog mode
        if (fresh) {
            // The driver compiles its shaders for this scene on the first
            // draw; drawing once with the placeholders, into a corner too
            // small to cost anything, does that while the covers are still
            // being read. The real frame sets the whole view and clears it
            // all again.
            driver_.SetViewport(SystemGL(), 8, 8);
            renderer_.DrawFrame(box.Document.Params, placeholders, flags);
            SystemGL().Finish();
        }
        driver_.SetViewport(SystemGL(), size.width(), size.height());
    }
    pending.GLReady();
    clock.Mark("context");

    // A cover's rows go to its texture as they are made, while later rows
    // are still being read; each cover is done as soon as it is read, while
    // the others may still be reading. A damaged cover is the user's to fix
    // first, whatever the GL says.
    CollectCovers(pending, keys, reading, drawing);
    if (contextFailure)
        throw *contextFailure;

    SlotTextures textures = TexturesOf(box, keys, placeholders);
    return DrawRequested(box.Document.Params, box.Document.Params, textures, request, clock, teardown);
}

void RenderSession::CollectCovers(PendingCovers& pending, const SlotKeys& keys,
                                  const PendingCovers::Slots& reading, bool drawing)
{
    std::array<std::unique_ptr<GLTexture>, CoverSourceCount> incoming;
    std::array<std::optional<PartialUpload>, CoverSourceCount> parts;
    if (drawing)
        for (std::size_t i = 0; i < incoming.size(); ++i)
            if (reading[i]) {
                incoming[i] = std::make_unique<GLTexture>();
                parts[i].emplace(*incoming[i], true);
            }
    pending.Collect(
        [&](std::size_t slot, DecodedCover&& cover, BaseLevelProgress& progress) {
            ++coversRead_;
            if (!drawing || !keys[slot])
                return;
            GLTexture& texture = *incoming[slot];
            if (parts[slot]->Taken()) {
                parts[slot]->Finish(progress);
            } else {
                if (progress.Pixels() == cover.Picture->Pixels.get())
                    progress.Gather(); // the rows the ring holds, back in the picture
                texture.Upload(*cover.Picture);
                // The texture holds the picture now; nothing reads the buffer again.
                cover.Picture->FreePixels();
            }
            const std::int64_t bytes = std::int64_t{cover.Picture->Width} * cover.Picture->Height * 4;
            CachedCover* cached = Find(*keys[slot]);
            if (!cached)
                cached = &covers_.emplace_back();
            cached->Key = *keys[slot];
            cached->Texture = std::move(incoming[slot]);
            cached->Bytes = bytes;
            cached->LastUse = renders_;
        },
        [&](std::size_t slot, const BaseLevelProgress& progress) {
            if (drawing && parts[slot])
                parts[slot]->Follow(progress);
        });
}

SlotTextures RenderSession::TexturesOf(HeadlessBox& box, const SlotKeys& keys, const SlotTextures& placeholders)
{
    SlotTextures textures = placeholders;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!keys[i])
            continue;
        CachedCover* cached = Find(*keys[i]);
        if (!cached) // read in another slot moments ago? then it is there
            continue;
        cached->LastUse = renders_;
        textures[i] = cached->Texture.get();
        // The slot now names the file it shows, as when a cover is loaded.
        box.Document.SetCover(static_cast<int>(i), {box.CoverFileOf(static_cast<int>(i)), box.Document.Cover(static_cast<int>(i)).Folder});
    }
    return textures;
}

QImage RenderSession::DrawRequested(BoxParameters params, BoxParameters& document, const SlotTextures& textures,
                                    const RenderRequest& request, PhaseClock& clock, GLTeardown* teardown)
{
    const QSize size = request.Size;
    ApplyTextureLook(params.Looks, textures); // smooth textures make their levels once
    if (clock.Enabled())
        SystemGL().Finish();
    clock.Mark("covers"); // read, scaled and uploaded

    // The window shows an angle of 360 or more wrapped, and so does the
    // picture; the box's own values (saved, printed) stay as given.
    WrapViewAngles(params);
    if (request.Fit) {
        const FitOutcome fit = FitDrawnView(renderer_, textures, params, *request.Fit,
                                            {size, QSize(context_->Width(), context_->Height())});
        if (!fit.Found)
            throw BadInput(QStringLiteral("--fit: nothing of the box is in view to fit"));
        for (BoxParameters* p : {&params, &document}) {
            p->Depth = fit.View.Depth;
            p->VerticalOffset = fit.View.VerticalOffset;
            p->HorizontalOffset = fit.View.HorizontalOffset;
            p->BackgroundFillsView = true;
        }
        clock.Mark("fit");
    }
    const QImage picture = DrawPicture(params, textures, request.Samples, &clock);
    if (!request.Transparent) {
        if (teardown)
            HandOver(*teardown);
        return picture;
    }

    // A second frame in front of a far-off background tells box from background.
    const QRgb background = BackgroundOf(params);
    const QRgb contrast = ContrastColor(background);
    BoxParameters second = params;
    second.BackgroundRed = static_cast<float>(qRed(contrast) / 255.0);
    second.BackgroundGreen = static_cast<float>(qGreen(contrast) / 255.0);
    second.BackgroundBlue = static_cast<float>(qBlue(contrast) / 255.0);
    const QImage other = DrawPicture(second, textures, request.Samples, nullptr);
    if (teardown)
        HandOver(*teardown);
    QImage combined = CombineTransparent(picture, other, background, contrast);
    clock.Mark("transparent");
    return combined;
}

QImage RenderSession::DrawPicture(const BoxParameters& params, const SlotTextures& textures, int samples,
                                  PhaseClock* clock)
{
    const DrawFlags flags;
    const SamplePlan plan = PlanSamples(samples, context_->Limits().MaxSamples);
    if (plan.Single())
        renderer_.DrawFrame(params, textures, flags);
    if (clock) {
        if (clock->Enabled())
            SystemGL().Finish();
        clock->Mark("draw");
    }
    const QSize size(context_->Width(), context_->Height());
    QImage picture;
    try {
        if (plan.Single()) {
            picture = context_->ReadImage();
        } else {
            picture = RenderWithSamples(SystemGL(), size, plan, [&] { renderer_.DrawFrame(params, textures, flags); });
        }
    } catch (const SampleError&) {
        throw BadInput(QStringLiteral("%1 x %2 pixels with %3 sample(s): %4")
                           .arg(size.width())
                           .arg(size.height())
                           .arg(samples)
                           .arg(MemoryText()));
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1 x %2 pixels: %3").arg(size.width()).arg(size.height()).arg(MemoryText()));
    }
    if (clock)
        clock->Mark("read back");
    return picture;
}

void RenderSession::Evict()
{
    if (usedOnce_) // the context is current: their textures go with them
        std::erase_if(covers_, [&](const CachedCover& cover) { return usedOnce_(cover.Key.File); });
    std::int64_t kept = 0;
    for (const CachedCover& cover : covers_)
        if (cover.LastUse != renders_)
            kept += cover.Bytes;
    while (kept > cacheBytes_) {
        auto oldest = covers_.end();
        for (auto it = covers_.begin(); it != covers_.end(); ++it)
            if (it->LastUse != renders_ && (oldest == covers_.end() || it->LastUse < oldest->LastUse))
                oldest = it;
        if (oldest == covers_.end())
            break;
        kept -= oldest->Bytes;
        covers_.erase(oldest); // the context is current: the texture goes with it
    }
}

void RenderSession::DropContext()
{
    if (!context_)
        return;
    try {
        context_->MakeCurrent(); // the textures are deleted in it
    } catch (const HeadlessContextError&) {
        for (CachedCover& cover : covers_)
            cover.Texture->Release(); // they go with the context
        for (auto& texture : placeholders_)
            if (texture)
                texture->Release();
    }
    covers_.clear();
    placeholders_ = {};
    context_.reset();
}

void RenderSession::HandOver(GLTeardown& teardown)
{
    std::vector<std::unique_ptr<GLTexture>> textures;
    for (CachedCover& cover : covers_)
        textures.push_back(std::move(cover.Texture));
    for (auto& texture : placeholders_)
        if (texture)
            textures.push_back(std::move(texture));
    covers_.clear();
    teardown.Start(std::move(context_), std::move(textures));
}
