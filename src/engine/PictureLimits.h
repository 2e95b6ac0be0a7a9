#pragma once
// The largest picture each engine draws, known before any drawing: the
// raster by its GL's largest buffer side and the memory its samples take,
// the ray tracer by the memory its pixels take.
#include <QSize>
#include <QString>

#include <cstdint>

// The raster's buffers beyond this many samples in all are refused before the
// driver is asked: software drivers may take the machine's memory first and
// fail later. 2^29 samples is 4 GiB of colour and depth.
inline constexpr std::int64_t MaxRasterSamples = std::int64_t{1} << 29;

struct PictureLimit {
    int MaxSide = 0;            // either side
    std::int64_t MaxPixels = 0; // width x height
    QString SideReason;         // why no side may be longer
    QString AreaReason;         // why no picture may hold more pixels

    // The largest square within both.
    int SquareSide() const;
    // Empty when the size fits; else why it does not.
    QString Refusal(QSize size) const;
};

// The raster at `samples` per pixel, with a GL whose buffers take at most
// `glMaxSide` pixels a side (0: not known; the command line's limit holds).
PictureLimit RasterLimit(int samples, int glMaxSide);

// The ray tracer with `memory` bytes for its pixels (0: not known).
PictureLimit RayLimit(std::int64_t memory, bool denoised = true);

// What the ray tracer may take: half the machine's memory (0 when unknown).
std::int64_t RayMemoryBudget();

// The longest side the headless GL's buffers and viewport take, asked once
// on a thread of its own; 0 when there is no usable GL.
int HeadlessMaxSide();
