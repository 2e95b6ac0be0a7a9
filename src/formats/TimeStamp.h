#pragma once
// Result files are named after the local clock: days since 30 December 1899
// (time of day as the fraction) times 1,000,000, so one unit is 0.0864 s.
#include <QDateTime>
#include <QString>

#include <cstdint>

// The stamp of a local date and time, taken as given (no time-zone shift).
// Rounded to the nearest unit, ties to even. Dates before 30 December 1899
// give a negative count; no clock shows them.
std::int64_t ResultTimeStamp(const QDateTime& local);

// The stamp as a file name stem: decimal digits, no padding.
QString ResultFileStem(const QDateTime& local);
