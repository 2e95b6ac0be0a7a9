#pragma once
// A bundle ray traced: every box in one scene, placed as the raster places
// them, seen with the first project's view, engine and passes; each box
// keeps its own covers and gloss unless --gloss coats them all.
#include "engine/HeadlessBox.h"
#include "engine/RayTraceBox.h"

#include <QImage>
#include <QSize>

#include <atomic>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

class RenderSession;

// --fit: the raster's fit of the whole group, which the first box's
// document then holds, as FitForRayTracing does for one box.
void FitBundleForRayTracing(RenderSession& session, const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                            const RenderOptions& options, PhaseClock& clock);

// Every box's covers read (JobError naming a damaged one) and the
// group traced; nothing when `seen` or `stop` stopped it.
std::optional<QImage> TraceBundlePicture(const std::vector<std::unique_ptr<HeadlessBox>>& boxes,
                                         const RenderOptions& options, QSize size, const RayPassSeen& seen,
                                         const std::atomic<bool>* stop = nullptr);
