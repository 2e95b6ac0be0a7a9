#pragma once
// A ray-traced picture on the terminal: a progress bar while it runs, and
// Ctrl-C (or a polite kill) stopping it cleanly with nothing written.
#include "engine/PhaseClock.h"
#include "engine/PictureJob.h"

#include <cstdio>

struct RayTraceOutcome {
    std::optional<QImage> Picture; // none when a signal stopped it
    int Signal = 0;
    int Passes = 0;
};

// `trace` run with a progress bar on a terminal and the signals stopping it:
// the picture, or the signal that stopped it (told on `err`, with nothing
// written). `passes` is what the bar counts to.
RayTraceOutcome TraceWithProgress(int passes, const TraceSteps& trace, PhaseClock& clock, std::FILE* err);
