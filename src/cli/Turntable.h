#pragma once
// "cubiform turntable": the box turned once around through its side angle
// (and, with --tilt, its tilt angle too), as an animated GIF or as numbered
// pictures.
#include "cli/RenderOptions.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <optional>

inline constexpr int MinTurntableFrames = 2;
inline constexpr int MaxTurntableFrames = 720; // half a degree a frame
inline constexpr int DefaultTurntableFrames = 36;
inline constexpr double DefaultTurntableFps = 25.0;
// A GIF counts in hundredths of a second, and most viewers slow delays
// under two hundredths down to a tenth: beyond 50 frames a second a GIF
// would play slower, not faster.
inline constexpr double MaxTurntableFps = 50.0;

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

// Throws CommandLineError as ParseRenderArguments does.
TurntableOptions ParseTurntableArguments(const QStringList& arguments);

// Frame k's angle for a turn of `frames` frames from `start`, kept below 360
// so the window's wrapping of a full turn never shows.
float TurntableAngle(float start, int frame, int frames);

// CommandLineError naming the first of `names` in `folder` that a new frame
// could not replace (a folder in its place, a folder that cannot be written).
void CheckFramesReplaceable(const QString& folder, const QStringList& names);

// Moves `from` to `to` as rename does; false with the system's reason.
using FileMove = std::function<bool(const QString& from, const QString& to, QString& why)>;
bool RenameFile(const QString& from, const QString& to, QString& why);

struct FrameSwapError {
    QString Target; // the frame that could not be written
    QString Reason;
    QStringList NotRestored; // earlier frames left in the aside folder
};

// Moves each of `names` from `staged` into `folder`, the pictures they
// replace into `aside`. On a failure the new frames already in are taken
// out and the replaced ones put back: the earlier turn is left whole.
std::optional<FrameSwapError> SwapInFrames(const QString& staged, const QString& folder, const QStringList& names,
                                           const QString& aside, const FileMove& move);

// Runs the command; progress goes to `err` only when it is a terminal.
int RunTurntable(const QStringList& arguments, std::FILE* err);
