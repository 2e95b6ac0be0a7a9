#include "engine/PictureLimits.h"

#include "concurrency/ParallelWork.h"
#include "engine/RenderOptions.h"
#include "raytrace/RayRender.h"
#include "render/HeadlessContext.h"

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace {

QString Megapixels(std::int64_t pixels)
{
    return QString::number(static_cast<double>(pixels) / 1e6, 'f', 1);
}

QString Bytes(std::int64_t bytes)
{
    if (bytes < 1'000'000'000)
        return QString::number(bytes / 1'000'000) + QStringLiteral(" MB");
    return QString::number(static_cast<double>(bytes) / 1e9, 'f', 1) + QStringLiteral(" GB");
}

PictureLimit SideLimit(int glMaxSide)
{
    PictureLimit limit;
    if (glMaxSide > 0 && glMaxSide < MaxOutputSide) {
        limit.MaxSide = glMaxSide;
        limit.SideReason = QStringLiteral("this OpenGL draws at most %1 pixels a side").arg(glMaxSide);
    } else {
        limit.MaxSide = MaxOutputSide;
        limit.SideReason = QStringLiteral("pictures have at most %1 pixels a side").arg(MaxOutputSide);
    }
    limit.MaxPixels = std::int64_t{limit.MaxSide} * limit.MaxSide;
    return limit;
}

} // namespace

int PictureLimit::SquareSide() const
{
    auto side = static_cast<std::int64_t>(std::sqrt(static_cast<double>(MaxPixels)));
    while (side * side > MaxPixels)
        --side;
    while ((side + 1) * (side + 1) <= MaxPixels)
        ++side;
    return static_cast<int>(std::min<std::int64_t>(side, MaxSide));
}

QString PictureLimit::Refusal(QSize size) const
{
    if (size.width() > MaxSide || size.height() > MaxSide)
        return QStringLiteral("%1 x %2 is too large: %3.").arg(size.width()).arg(size.height()).arg(SideReason);
    if (std::int64_t{size.width()} * size.height() > MaxPixels)
        return QStringLiteral("%1 x %2 is too large: %3.").arg(size.width()).arg(size.height()).arg(AreaReason);
    return QString();
}

namespace {

// Holds `limit` to `pixels` when that is fewer, with the reason told for
// the square side it then allows.
template <typename Reason>
void CapPixels(PictureLimit& limit, std::int64_t pixels, const Reason& reason)
{
    if (pixels >= limit.MaxPixels)
        return;
    limit.MaxPixels = pixels;
    limit.AreaReason = reason(limit.SquareSide());
}

} // namespace

PictureLimit RasterLimit(int samples, int glMaxSide)
{
    PictureLimit limit = SideLimit(glMaxSide);
    const int count = std::max(1, samples);
    const std::int64_t pixels = MaxRasterSamples / count;
    CapPixels(limit, pixels, [&](int side) {
        return QStringLiteral("with %1 samples the raster's video memory holds %2 megapixels "
                              "(%3 x %3); fewer samples allow more")
            .arg(count)
            .arg(Megapixels(pixels))
            .arg(side);
    });
    return limit;
}

PictureLimit RayLimit(std::int64_t memory, bool denoised)
{
    const std::int64_t perPixel = denoised ? RayRender::DenoisedPeakBytesPerPixel : RayRender::PeakBytesPerPixel;
    PictureLimit limit = SideLimit(0); // drawn without the GL
    if (memory <= 0)
        return limit;
    const std::int64_t pixels = memory / perPixel;
    CapPixels(limit, pixels, [&](int side) {
        return QStringLiteral("the ray tracer takes %1 bytes a pixel and may use %2 here, "
                              "enough for %3 megapixels (%4 x %4)")
            .arg(perPixel)
            .arg(Bytes(memory))
            .arg(Megapixels(pixels))
            .arg(side);
    });
    return limit;
}

std::int64_t RayMemoryBudget()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return std::int64_t{pages} * pageSize / 2;
}

int HeadlessMaxSide()
{
    // Asked aside: the caller's current context (the window's) is left alone.
    static const int side = [] {
        int found = 0;
        RunAside([&found] {
            try {
                const HeadlessContext context(1, 1);
                const HeadlessLimits& l = context.Limits();
                found = std::min({l.MaxRenderbufferSize, l.MaxViewportWidth, l.MaxViewportHeight});
            } catch (const HeadlessContextError&) {
                found = 0;
            }
        }).Wait();
        return found;
    }();
    return side;
}
