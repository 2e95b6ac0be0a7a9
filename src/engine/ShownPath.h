#pragma once
// Paths as messages show them: one that is absurdly long (a mistake, or a
// file's contents passed as its name) is shortened, not echoed whole.
#include <QString>

// The path itself, or its first 60 and last 20 characters around an ellipsis
// when it is longer than a message can sensibly show.
QString ShownPath(const QString& path);

// True when no system could open the path: longer than the longest path,
// or a part of it longer than the longest file name.
bool PathTooLong(const QString& path);

// "<path shortened>: the path is too long (N characters)".
QString PathTooLongText(const QString& path);

// Throws a bad-input JobError with that text for a path too long.
void CheckPathLength(const QString& path);
