// RenderSession's bundle: several boxes' covers in one context, one picture.
#include "engine/RenderSession.h"

#include "render/HeadlessContext.h"

QImage RenderSession::RenderBundle(const std::vector<HeadlessBox*>& boxes, GroupArrangement arrangement,
                                   float spacing, const RenderRequest& request, PhaseClock& clock)
{
    for (const HeadlessBox* box : boxes)
        CheckCoverFiles(*box); // every box's refusals before anything is read
    ++renders_;
    const struct AfterRender {
        RenderSession& session;
        ~AfterRender()
        {
            session.renderer_.SetGroup(nullptr);
            session.Evict();
        }
    } afterRender{*this};

    const QSize size = request.Size;
    if (qint64{size.width()} * size.height() * request.Samples > (qint64{1} << 29))
        throw BadInput(QStringLiteral("%1 x %2 pixels with %3 sample(s): Can not allocate enough video memory. "
                                      "Try again with a smaller image.")
                           .arg(size.width())
                           .arg(size.height())
                           .arg(request.Samples));
    try {
        PrepareContext(request);
    } catch (const HeadlessContextError& e) {
        throw BadInput(QStringLiteral("no usable OpenGL: %1").arg(QString::fromStdString(e.what())));
    }
    HeadlessBox& first = *boxes.front();
    renderer_.InitGL(driver_, first.Document.Params); // the first box's fog
    driver_.SetViewport(SystemGL(), size.width(), size.height());
    clock.Mark("context");

    const SlotTextures placeholders = {placeholders_[0].get(), placeholders_[1].get(), placeholders_[2].get(),
                                       nullptr, nullptr, nullptr};
    std::vector<BoxParameters> params;
    std::vector<SlotTextures> covers;
    for (HeadlessBox* box : boxes) {
        const SlotKeys keys = KeysOf(*box);
        const PendingCovers::Slots reading = SlotsToRead(keys);
        PendingCovers pending(*box, reading);
        pending.GLReady();
        CollectCovers(pending, keys, reading, true);
        covers.push_back(TexturesOf(*box, keys, placeholders));
        params.push_back(box->Document.Params);
    }
    GroupScene scene = BuildGroupScene(params, arrangement, spacing);
    scene.Covers = covers;
    renderer_.SetGroup(&scene);
    return DrawRequested(GroupView(first.Document.Params, params), first.Document.Params, covers.front(), request,
                         clock, nullptr);
}
