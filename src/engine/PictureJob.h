#pragma once
// "render" as one job: the project and covers read, the outputs guarded, the
// picture drawn by the document's engine (one box or a bundle), then the
// model and the project written. The faces parse, show progress and report.
#include "engine/PhaseClock.h"
#include "engine/RayTraceBox.h"
#include "engine/RenderOptions.h"

#include <QImage>

#include <functional>
#include <optional>

// A ray-traced picture's passes, told each pass to `seen`; nothing when stopped.
using TraceSteps = std::function<std::optional<QImage>(const RayPassSeen& seen)>;
// How a face runs them: with its progress shown and its own way to stop.
// `passes` is what the run counts to.
using TraceRun = std::function<std::optional<QImage>(int passes, const TraceSteps& trace)>;

// Everything the options ask for, written; false when `run` stopped a
// ray-traced picture (nothing is written then). Without `run` the passes
// run to their end. JobError for bad input or wrong use.
bool RunPictureJob(const RenderOptions& options, PhaseClock& clock, const TraceRun& run = {});
