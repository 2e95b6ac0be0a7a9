#pragma once
// "render --engine raytrace": the box's scene ray traced, with its covers
// read whole, a progress bar on a terminal and Ctrl-C stopping it cleanly.
#include "engine/HeadlessBox.h"
#include "engine/PhaseClock.h"
#include "raytrace/CoverTexels.h"
#include "raytrace/PathTracer.h"
#include "raytrace/RayProduct.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <atomic>
#include <cstdio>
#include <functional>
#include <optional>

class RayRender;

// Every slot's picture as the ray tracer lays it: the file's whole picture,
// a classic slot's placeholder colour, or nothing for an own slot without
// one. JobError naming the file when one is damaged.
RayCovers ReadRayCovers(const HeadlessBox& box);

// Whether the box's picture is ray traced: its engine after the options.
bool RayTraced(const HeadlessBox& box);

// --passes, --time-limit, --seed or --gloss for a picture the raster draws:
// UsageError, before anything is drawn.
void RefuseRayOptionsOnRaster(const HeadlessBox& box, const RenderOptions& options);

// What a run takes beyond the project's engine (its passes, gloss and denoiser).
struct RayRun {
    int Seed = 1;
    double TimeLimit = 0; // seconds; 0: none
    bool Transparent = false;
};
RayRun RayRunOf(const RenderOptions& options);

// Told after every pass with the picture so far; false stops the run.
using RayPassSeen = std::function<bool(int done, int total, double seconds, const RayRender& render)>;

// The box's covers read and its picture traced with the document's passes
// and gloss, or nothing when `seen` stopped it. The slots then name the
// files they show, as the raster's render leaves them. `stop`, when given,
// ends the run within a row of being set (nothing is returned then).
// JobError for damaged covers or too little memory.
std::optional<QImage> TraceBoxPicture(HeadlessBox& box, const RayRun& run, QSize size, const RayPassSeen& seen,
                                      const std::atomic<bool>* stop = nullptr);

// The settings of a run with the box's passes, gloss and denoiser.
RaySettings RaySettingsOf(const HeadlessBox& box, const RayRun& run);

// The product traced, as TraceBoxPicture traces (its covers already read).
std::optional<QImage> TraceProduct(RayProduct product, const RaySettings& settings, QSize size,
                                   const RayPassSeen& seen, const std::atomic<bool>* stop = nullptr);

// --fit before a ray-traced picture: the view fitted as the raster fits it
// (the fit is geometry), which the box's document then holds.
void FitForRayTracing(HeadlessBox& box, const RenderOptions& options, QSize size, PhaseClock& clock);
