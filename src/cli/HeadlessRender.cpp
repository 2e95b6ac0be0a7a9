#include "cli/HeadlessRender.h"

#include "render/BaseLevel.h"
#include "render/BoxRenderer.h"
#include "render/HeadlessContext.h"
#include "render/PartialUpload.h"
#include "render/SceneDriver.h"
#include "render/Supersample.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <optional>
#include <utility>

namespace {

// GL buffers of a picture beyond this many samples in all are refused before
// the driver is asked: software drivers may take the machine's memory first
// and fail later. 2^29 samples is 4 GiB of colour and depth.
constexpr qint64 MaxTotalSamples = qint64{1} << 29;

QString MemoryText()
{
    return QStringLiteral("Can not allocate enough video memory. Try again with a smaller image.");
}

QRgb BackgroundOf(const BoxParameters& p)
{
    const auto byte = [](float v) { return static_cast<int>(std::lround(v * 255.0f)); };
    return qRgb(byte(p.BackgroundRed), byte(p.BackgroundGreen), byte(p.BackgroundBlue));
}

// Frees the slots' textures while their context is still current.
struct TextureRelease {
    CoverImages& covers;
    ~TextureRelease()
    {
        for (CoverImage& slot : covers)
            slot.Texture = std::make_unique<TextureImage>();
    }
};

} // namespace

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

GLTeardown::~GLTeardown()
{
    if (thread_.joinable())
        thread_.join();
}

void GLTeardown::Start(std::unique_ptr<HeadlessContext> context, std::vector<std::unique_ptr<TextureImage>> textures)
{
    context->Detach();
    thread_ = std::thread([context = std::move(context), textures = std::move(textures)]() mutable {
        try {
            context->MakeCurrent(); // the textures are deleted in it
        } catch (const HeadlessContextError&) {
            for (auto& texture : textures)
                texture->TextureName = 0; // they go with the context
        }
        textures.clear();
        context.reset();
    });
}

QImage RenderBox(HeadlessBox& box, PendingCovers& pending, const RenderRequest& request,
                 PhaseClock& clock, GLTeardown* teardown)
{
    const QSize size = request.Size;
    std::optional<CommandLineError> contextFailure;
    std::unique_ptr<HeadlessContext> context;
    if (qint64{size.width()} * size.height() * request.Samples > MaxTotalSamples)
        contextFailure = BadInput(QStringLiteral("%1 x %2 pixels with %3 sample(s): %4")
                                      .arg(size.width())
                                      .arg(size.height())
                                      .arg(request.Samples)
                                      .arg(MemoryText()));
    else
        try {
            // More samples than one are drawn in buffers of their own (RenderWithSamples).
            context = std::make_unique<HeadlessContext>(size.width(), size.height());
            GLint maxSide = 0;
            glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide);
            SetTextureSizeLimit(maxSide); // for covers read from now on
        } catch (const HeadlessContextError& e) {
            contextFailure = BadInput(QStringLiteral("no usable OpenGL: %1").arg(QString::fromStdString(e.what())));
        }
    BoxRenderer renderer;
    SceneDriver driver;
    const TextureRelease release{box.Covers};
    const auto slotTextures = [&]() -> SlotTextures {
        return {box.Covers[0].Texture.get(), box.Covers[1].Texture.get(), box.Covers[2].Texture.get()};
    };
    const DrawFlags flags; // active, not suspended
    if (context) {
        renderer.InitGL(driver, box.Document.Params);
        renderer.PrepareGL(driver, 0, 0, slotTextures(),
                                {&box.Covers[0].Thumbnail, &box.Covers[1].Thumbnail,
                                 &box.Covers[2].Thumbnail});
        // The driver compiles its shaders for this scene on the first draw;
        // drawing once with the placeholders, into a corner too small to
        // cost anything, does that while the covers are still being read.
        // The real frame sets the whole view and clears it all again.
        driver.SetViewport(SystemGL(), 8, 8);
        BoxParameters warmUp = box.Document.Params;
        renderer.DrawFrame(warmUp, slotTextures(), flags);
        SystemGL().Finish();
        driver.SetViewport(SystemGL(), size.width(), size.height());
    }
    clock.Mark("context");
    // A cover's rows go to its texture as they are made, while later rows
    // are still being read; each cover is done as soon as it is read, while
    // the others may still be reading. A damaged cover is the user's to fix
    // first, whatever the GL says.
    std::array<PartialUpload, 3> parts = {PartialUpload(*box.Covers[0].Texture, true),
                                          PartialUpload(*box.Covers[1].Texture, true),
                                          PartialUpload(*box.Covers[2].Texture, true)};
    pending.Collect(
        [&](std::size_t slot, DecodedCover&& cover) {
            if (!context)
                return;
            if (!parts[slot].Taken()) {
                InstallCoverImage(box.Covers[slot], std::move(cover));
                return;
            }
            parts[slot].Finish(*cover.Picture);
            InstallUploadedCover(box.Covers[slot], std::move(cover));
        },
        [&](std::size_t slot, const BaseLevelProgress& progress) {
            if (context)
                parts[slot].Follow(progress);
        });
    if (contextFailure)
        throw *contextFailure;
    ApplyTextureLook(box.Document.Params.Looks, slotTextures());
    if (clock.Enabled())
        SystemGL().Finish();
    clock.Mark("covers"); // read, scaled and uploaded

    const SlotTextures textures = slotTextures();
    // The window draws without pause: an angle of 360 or more is wrapped by
    // the first frame, and what it shows (and writes) from then on is the
    // wrapped view.
    BoxParameters params = box.Document.Params;
    const SamplePlan plan = PlanSamples(request.Samples, context->Limits().MaxSamples);
    const auto readPicture = [&](const BoxParameters& p) {
        if (plan.Single())
            return context->ReadImage();
        try {
            return RenderWithSamples(SystemGL(), size, plan, [&] {
                BoxParameters frame = p;
                renderer.DrawFrame(frame, textures, flags);
            });
        } catch (const SampleError&) {
            throw BadInput(QStringLiteral("%1 x %2 pixels with %3 sample(s): %4")
                               .arg(size.width()).arg(size.height()).arg(request.Samples).arg(MemoryText()));
        }
    };
    if (plan.Single()) {
        renderer.DrawFrame(params, textures, flags);
        if (params.SideAngle != box.Document.Params.SideAngle || params.TiltAngle != box.Document.Params.TiltAngle)
            renderer.DrawFrame(params, textures, flags);
    } else {
        WrapViewAngles(params); // as the window's first frame would
    }
    if (clock.Enabled())
        SystemGL().Finish();
    clock.Mark("draw");

    QImage picture;
    try {
        picture = readPicture(params);
    } catch (const std::bad_alloc&) {
        throw BadInput(QStringLiteral("%1 x %2 pixels: %3").arg(size.width()).arg(size.height()).arg(MemoryText()));
    }
    clock.Mark("read back");
    const auto handOver = [&] {
        if (!teardown)
            return;
        std::vector<std::unique_ptr<TextureImage>> uploaded;
        for (CoverImage& slot : box.Covers)
            uploaded.push_back(std::exchange(slot.Texture, std::make_unique<TextureImage>()));
        teardown->Start(std::move(context), std::move(uploaded));
    };
    if (!request.Transparent) {
        handOver();
        return picture;
    }

    // A second frame in front of a far-off background tells box from background.
    const QRgb background = BackgroundOf(params);
    const QRgb contrast = ContrastColor(background);
    BoxParameters second = params;
    second.BackgroundRed = static_cast<float>(qRed(contrast) / 255.0);
    second.BackgroundGreen = static_cast<float>(qGreen(contrast) / 255.0);
    second.BackgroundBlue = static_cast<float>(qBlue(contrast) / 255.0);
    if (plan.Single())
        renderer.DrawFrame(second, textures, flags);
    const QImage other = readPicture(second);
    handOver();
    QImage combined = CombineTransparent(picture, other, background, contrast);
    clock.Mark("transparent");
    return combined;
}
