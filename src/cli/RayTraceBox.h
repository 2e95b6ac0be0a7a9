#pragma once
// "render --engine raytrace": the box's scene ray traced, with its covers
// read whole, a progress bar on a terminal and Ctrl-C stopping it cleanly.
#include "cli/HeadlessBox.h"
#include "cli/PhaseClock.h"
#include "raytrace/CoverTexels.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <cstdio>
#include <optional>

// Every slot's picture as the ray tracer lays it: the file's whole picture,
// a classic slot's placeholder colour, or nothing for an own slot without
// one. CommandLineError naming the file when one is damaged.
RayCovers ReadRayCovers(const HeadlessBox& box);

// "[########----------------] pass 12/64  3.1 s left"
QString RayProgressLine(int done, int total, double seconds);

struct RayTraceOutcome {
    std::optional<QImage> Picture; // none when a signal stopped it
    int Signal = 0;
    int Passes = 0;
};

// The picture, or the signal that stopped it (told on `err`, with nothing written).
RayTraceOutcome RayTraceBox(HeadlessBox& box, const RenderOptions& options, QSize size, PhaseClock& clock,
                            std::FILE* err);
