#pragma once
// Times the phases of one command (read by the benchmark script through the
// hidden --timings option). Costs nothing when switched off.
#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <functional>

class PhaseClock {
public:
    explicit PhaseClock(bool enabled = false) : enabled_(enabled) { timer_.start(); }

    bool Enabled() const { return enabled_; }
    // Told each phase as it ends, timed or not (a progress note, a stop
    // between phases: what it throws leaves the command).
    std::function<void(const char* phase)> OnMark;

    // Ends the phase that ran since the previous mark.
    void Mark(const char* phase)
    {
        if (OnMark)
            OnMark(phase);
        if (!enabled_)
            return;
        const qint64 now = timer_.nsecsElapsed();
        lines_ << QStringLiteral("%1 %2 ms").arg(QLatin1String(phase), -10).arg((now - last_) / 1e6, 0, 'f', 1);
        last_ = now;
    }
    QStringList Lines() const
    {
        if (!enabled_)
            return {};
        return lines_ + QStringList{QStringLiteral("%1 %2 ms").arg(QStringLiteral("total"), -10).arg(timer_.nsecsElapsed() / 1e6, 0, 'f', 1)};
    }

private:
    bool enabled_;
    QElapsedTimer timer_;
    qint64 last_ = 0;
    QStringList lines_;
};
