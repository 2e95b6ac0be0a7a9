#pragma once
// "cubiform turntable": the box turned once around through its side angle
// (and, with --tilt, its tilt angle too), as an animated GIF or as numbered
// pictures.
#include "engine/CommandOptions.h"
#include "engine/RenderOptions.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

// "spin-%03d.png": the parts around the frame number.
struct FrameNamePattern {
    QString Before;
    QString After;
    int Width = 0; // digits at least, zero-padded; 0 for plain %d

    QString NameOf(int frame) const;
};

// Nothing when `name` has no '%'; the pattern when it holds exactly one %d
// or %0Nd (N 1..9) in its file name part, %% standing for a '%'. Throws a
// usage error for any other use of '%'.
std::optional<FrameNamePattern> ParseFrameNamePattern(const QString& name);

struct TurntableOptions {
    RenderOptions Render;   // the shared options; Render.Output is not used
    QString Output;         // the GIF, or the frame name pattern
    std::optional<FrameNamePattern> Frames; // numbered pictures; none for a GIF
    int FrameCount = DefaultTurntableFrames;
    double Fps = DefaultTurntableFps;
    bool Tilt = false;
    bool FpsIgnored = false; // --fps with numbered pictures: noted, no effect
};

// Throws JobError as ParseRenderArguments does.
TurntableOptions ParseTurntableArguments(const QStringList& arguments);

// Frame k's angle for a turn of `frames` frames from `start`, kept below 360
// so the window's wrapping of a full turn never shows.
float TurntableAngle(float start, int frame, int frames);

// Runs the command; progress goes to `err` only when it is a terminal.
int RunTurntable(const QStringList& arguments, std::FILE* err);
