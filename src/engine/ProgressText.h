#pragma once
// How long work reads in a progress line, for the terminal and the window alike.
#include <QString>

// "12.3 s" under a minute, "4:05" or "1:02:03" above.
QString DurationText(double seconds);

// "[########----------------] pass 12/64  3.1 s left"; with a time limit
// (seconds, 0: none) the time left is at most what remains of it.
QString RayProgressLine(int done, int total, double seconds, double timeLimit = 0);
