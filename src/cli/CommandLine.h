#pragma once
// The program's command-line face: "render" and "info" work without any
// display, "--help" and "--version" answer at once. Anything else starts the
// window.
#include <QString>
#include <QStringList>

#include <cstdio>
#include <functional>
#include <map>

// True when the arguments (without the program name) are for the command
// line rather than the window: a command, --help, --version, a long option,
// a render option such as -o (wrong use without its command), or a first
// word that names no file and plainly no project (a mistyped command, which
// the command line then reports).
bool IsCommandLineRequest(const QStringList& arguments);

// A command another face answers ("serve"): its arguments after the name.
using CommandRun = std::function<int(const QStringList& arguments, std::FILE* err)>;

// Runs the command, its own or one of `others`; returns the exit status (0
// done, 1 bad input, 2 wrong use). Never throws: every failure becomes one
// line on `err`.
int RunCommandLine(const QStringList& arguments, std::FILE* out, std::FILE* err,
                   const std::map<QString, CommandRun>& others = {});
