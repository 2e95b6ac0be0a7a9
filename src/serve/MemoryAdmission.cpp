#include "serve/MemoryAdmission.h"

#include "engine/PictureLimits.h"
#include "raytrace/RayRender.h"
#include "render/BaseLevel.h"

#include <QFile>

#include <unistd.h>

#include <algorithm>

namespace {

// Measured (VmHWM, llvmpipe, 2026-12-11): the program 121 MiB; a 4096 x
// 4096 picture 198 MiB more at one sample and 330 MiB more again at four;
// three 6000 x 4000 JPEG covers 239 MiB at 600 x 600 and 743 MiB at 4096 x
// 4096 with four samples (estimated: 686 and 832 MiB); the service drawing
// one 7000 x 7000 PNG cover at 1500 x 1500, 788 MiB (estimated 885). A
// cover is decoded whole (a PNG: 4 bytes a pixel, and a copy as it is
// converted; a JPEG is read in rows and takes far less, which the estimate
// does not tell apart), made into its base level on the CPU and sent to the
// GL; the texture stays while the picture is drawn, the rest is gone by
// then. Two covers are read at once.
constexpr std::int64_t DecodedBytesPerCoverPixel = 8;
constexpr std::int64_t BytesPerBaseLevelPixel = 4;
constexpr int CoversReadAtOnce = 2;
// The raster's colour and depth for each sample (MaxRasterSamples' figure),
// and per pixel the read-back, the picture and its encoding.
constexpr std::int64_t RasterBytesPerSample = 8;
constexpr std::int64_t RasterBytesPerPixel = 8;
// The program with Qt, Mesa and its first context, and each further context.
constexpr std::int64_t ProgramBytes = std::int64_t{160} << 20;
constexpr std::int64_t ContextBytes = std::int64_t{24} << 20;

std::int64_t Pixels(QSize size) { return std::int64_t{std::max(0, size.width())} * std::max(0, size.height()); }

} // namespace

std::int64_t EstimatePeakBytes(const PeakInputs& request)
{
    // The covers are read before the drawing begins: the peak is the
    // textures and the larger of the reading and the drawing.
    std::int64_t textures = 0;
    std::vector<std::int64_t> decoded;
    for (const QSize cover : request.Covers) {
        const PictureSize base = BaseLevelSize(std::max(1, cover.width()), std::max(1, cover.height()), TextureSizeLimit());
        const std::int64_t texture = BytesPerBaseLevelPixel * std::int64_t{base.Width} * base.Height;
        textures += texture;
        decoded.push_back(DecodedBytesPerCoverPixel * Pixels(cover) + texture);
    }
    std::sort(decoded.rbegin(), decoded.rend());
    std::int64_t reading = 0;
    for (std::size_t i = 0; i < decoded.size() && i < CoversReadAtOnce; ++i)
        reading += decoded[i];
    const std::int64_t pixels = Pixels(request.Output);
    std::int64_t drawing;
    if (request.RayTraced)
        drawing = pixels * (request.Denoised ? RayRender::DenoisedPeakBytesPerPixel : RayRender::PeakBytesPerPixel);
    else
        drawing = pixels * (RasterBytesPerSample * std::max(1, request.Samples) + RasterBytesPerPixel);
    return textures + std::max(reading, drawing);
}

std::int64_t StandingBytes(int workers, std::int64_t coverCacheBytes)
{
    return ProgramBytes + std::int64_t{std::max(1, workers)} * (ContextBytes + std::max<std::int64_t>(0, coverCacheBytes));
}

Admission Admit(std::int64_t estimate, std::int64_t inUse, std::int64_t budget)
{
    if (estimate > budget)
        return Admission::Refuse;
    // Nothing drawing: whatever fits the budget goes, so that no request
    // waits for memory nobody holds.
    if (inUse <= 0 || estimate <= budget - inUse)
        return Admission::Admit;
    return Admission::Wait;
}

std::int64_t DefaultMaxMemory(const QString& cgroupMax, std::int64_t physical, QString* source)
{
    bool ok = false;
    const std::int64_t limit = cgroupMax.trimmed().toLongLong(&ok);
    if (ok && limit > 0) {
        // A tenth is left for what no estimate sees: the heap's slack, the
        // connections' buffers.
        *source = QStringLiteral("nine tenths of the cgroup's memory.max");
        return limit / 10 * 9;
    }
    *source = QStringLiteral("half the machine's memory");
    return physical / 2;
}

std::int64_t DefaultMaxMemory(QString* source)
{
    QFile file(QStringLiteral("/sys/fs/cgroup/memory.max"));
    const QString cgroup = file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.read(64)) : QString();
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    const std::int64_t physical = pages > 0 && pageSize > 0 ? std::int64_t{pages} * pageSize : std::int64_t{4} << 30;
    return DefaultMaxMemory(cgroup, physical, source);
}

QString MemoryText(std::int64_t bytes)
{
    // In the units --max-memory is given in: powers of 1024.
    constexpr std::int64_t Mib = std::int64_t{1} << 20;
    if (bytes < 1024 * Mib)
        return QString::number((bytes + Mib / 2) / Mib) + QStringLiteral(" MB");
    return QString::number(static_cast<double>(bytes) / static_cast<double>(1024 * Mib), 'f', 2) + QStringLiteral(" GB");
}
