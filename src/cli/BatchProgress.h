#pragma once
// What a batch tells while it runs: on a terminal one bar redrawn in place
// (count, rate, time left) with failures printed above it; elsewhere one
// plain line per finished row. Then a summary. Safe to call from workers.
#include <QString>

#include <cstdio>
#include <functional>
#include <mutex>

enum class RowOutcome { Done, Skipped, Failed };

class BatchProgress {
public:
    // Seconds since the batch began; a steady clock when not given.
    using Clock = std::function<double()>;

    BatchProgress(std::FILE* stream, bool terminal, int total, Clock clock = {});

    void Finished(int line, const QString& output, RowOutcome outcome, const QString& reason = {});
    // A line of its own, above the bar on a terminal.
    void Note(const QString& text);
    // "done D, skipped S, failed F[, not started N] in TIME"; ends the bar first.
    void Summary(int notStarted);

    int Count(RowOutcome outcome) const;

private:
    void Print(const QString& text);
    QString Bar(double seconds) const;

    std::FILE* stream_;
    bool terminal_;
    int total_;
    Clock clock_;
    mutable std::mutex mutex_;
    int counts_[3] = {0, 0, 0};
};

