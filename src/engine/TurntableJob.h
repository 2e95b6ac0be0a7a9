#pragma once
// "turntable" as one job: the box opened and its outputs guarded, one framing
// fitted over the whole turn, every frame drawn (raster or ray traced), then
// the GIF written or the numbered frames swapped in whole. The face parses,
// shows progress and says why it stopped.
#include "engine/CommandOptions.h"
#include "engine/RenderOptions.h"
#include "formats/VideoAnimation.h"

#include <QString>

#include <functional>
#include <optional>

// "spin-%03d.png": the parts around the frame number.
struct FrameNamePattern {
    QString Before;
    QString After;
    int Width = 0; // digits at least, zero-padded; 0 for plain %d

    QString NameOf(int frame) const;
};

struct TurntableOptions {
    RenderOptions Render;   // the shared options; Render.Output is not used
    QString Output;         // the GIF or video, or the frame name pattern
    std::optional<FrameNamePattern> Frames; // numbered pictures; none for a GIF or video
    std::optional<VideoKind> Video;         // an MP4 or WebM; none for a GIF or pictures
    int VideoQuality = 70;                  // 10..100, as a JPEG's
    int FrameCount = DefaultTurntableFrames;
    double Fps = DefaultTurntableFps;
    bool Tilt = false;
    bool FpsIgnored = false; // --fps with numbered pictures: noted, no effect
};

// Frame k's angle for a turn of `frames` frames from `start`, kept below 360
// so the window's wrapping of a full turn never shows.
float TurntableAngle(float start, int frame, int frames);

struct TurntableHooks {
    std::function<void(int done, int total)> FrameDone; // after each frame is kept
    std::function<bool()> Stop; // asked before each frame and between ray passes
};

// The frames drawn: all of them when the turn is written, fewer when `Stop`
// said so (nothing is written then). JobError for bad input or wrong use.
int RunTurntableJob(const TurntableOptions& t, const TurntableHooks& hooks = {});
