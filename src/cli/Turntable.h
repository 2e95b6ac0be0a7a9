#pragma once
// "cubiform turntable": the box turned once around through its side angle
// (and, with --tilt, its tilt angle too), as an animated GIF or as numbered
// pictures.
#include "engine/TurntableJob.h"

#include <QString>
#include <QStringList>

#include <cstdio>
#include <optional>

// Nothing when `name` has no '%'; the pattern when it holds exactly one %d
// or %0Nd (N 1..9) in its file name part, %% standing for a '%'. Throws a
// usage error for any other use of '%'.
std::optional<FrameNamePattern> ParseFrameNamePattern(const QString& name);

// Throws JobError as ParseRenderArguments does.
TurntableOptions ParseTurntableArguments(const QStringList& arguments);

// Runs the command; progress goes to `err` only when it is a terminal.
int RunTurntable(const QStringList& arguments, std::FILE* err);
