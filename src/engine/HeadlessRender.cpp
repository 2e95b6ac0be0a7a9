#include "engine/HeadlessRender.h"

#include "engine/RenderSession.h"
#include "render/GLTexture.h"
#include "render/HeadlessContext.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

RenderRequest RenderRequestOf(const HeadlessBox& box, const RenderOptions& options, QSize size)
{
    RenderRequest request;
    request.Size = size;
    request.Samples = box.Document.Params.Looks.Samples;
    request.Transparent = options.Transparent;
    if (options.Fit)
        request.Fit = FitRequest{*options.Fit, {}};
    return request;
}

QRgb ContrastColor(QRgb c)
{
    const auto far = [](int v) { return v < 128 ? 255 : 0; };
    return qRgb(far(qRed(c)), far(qGreen(c)), far(qBlue(c)));
}

QImage CombineTransparent(const QImage& normal, const QImage& contrast, QRgb background,
                          QRgb contrastBackground)
{
    const QImage a = normal.convertToFormat(QImage::Format_RGBA8888);
    const QImage b = contrast.convertToFormat(QImage::Format_RGBA8888);
    QImage out(a.size(), QImage::Format_RGBA8888);
    const int bg[3] = {qRed(background), qGreen(background), qBlue(background)};
    const int d[3] = {bg[0] - qRed(contrastBackground), bg[1] - qGreen(contrastBackground),
                      bg[2] - qBlue(contrastBackground)};
    const double norm = double(d[0]) * d[0] + double(d[1]) * d[1] + double(d[2]) * d[2];
    for (int y = 0; y < a.height(); ++y) {
        const std::uint8_t* pa = a.constScanLine(y);
        const std::uint8_t* pb = b.constScanLine(y);
        std::uint8_t* po = out.scanLine(y);
        for (int x = 0; x < a.width(); ++x, pa += 4, pb += 4, po += 4) {
            // Share of background in the pixel: the least-squares fit of the
            // two renders' difference to the two backgrounds' difference.
            double share = 0.0;
            if (norm > 0)
                share = ((pa[0] - pb[0]) * d[0] + (pa[1] - pb[1]) * d[1] + (pa[2] - pb[2]) * d[2]) / norm;
            share = std::clamp(share, 0.0, 1.0);
            const double cover = 1.0 - share;
            const int alpha = static_cast<int>(std::lround(cover * pa[3]));
            for (int c = 0; c < 3; ++c) {
                if (alpha == 255 || alpha == 0) {
                    po[c] = pa[c];
                } else {
                    const double unmixed = (pa[c] - share * bg[c]) / cover;
                    po[c] = static_cast<std::uint8_t>(std::clamp(std::lround(unmixed), 0L, 255L));
                }
            }
            po[3] = static_cast<std::uint8_t>(alpha);
        }
    }
    return out;
}

void GLTeardown::Start(std::unique_ptr<HeadlessContext> context, std::vector<std::unique_ptr<GLTexture>> textures)
{
    context->Detach();
    struct GLSide {
        std::unique_ptr<HeadlessContext> Context;
        std::vector<std::unique_ptr<GLTexture>> Textures;
    };
    // Shared, as the pool's work must be copyable.
    auto side = std::make_shared<GLSide>(GLSide{std::move(context), std::move(textures)});
    freeing_.reset(); // an earlier render's first
    freeing_.emplace([side] {
        try {
            side->Context->MakeCurrent(); // the textures are deleted in it
        } catch (const HeadlessContextError&) {
            for (auto& texture : side->Textures)
                texture->Release(); // they go with the context
        }
        side->Textures.clear();
        side->Context.reset();
    });
}

QImage RenderBox(HeadlessBox& box, PendingCovers& pending, const RenderRequest& request,
                 PhaseClock& clock, GLTeardown* teardown)
{
    RenderSession session;
    return session.Render(box, pending, request, clock, teardown);
}
