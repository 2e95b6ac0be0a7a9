#include "cli/BatchProgress.h"

#include "engine/ProgressText.h"

#include <QElapsedTimer>

#include <cmath>
#include <memory>

namespace {

constexpr int BarWidth = 24;

// Erases the terminal line the cursor is on.
const char* ClearLine() { return "\r\033[K"; }

} // namespace

BatchProgress::BatchProgress(std::FILE* stream, bool terminal, int total, Clock clock)
    : stream_(stream), terminal_(terminal), total_(total), clock_(std::move(clock))
{
    if (!clock_) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        clock_ = [timer] { return static_cast<double>(timer->nsecsElapsed()) / 1e9; };
    }
    if (terminal_ && total_ > 0)
        Print(QLatin1String(ClearLine()) + Bar(0));
}

int BatchProgress::Count(RowOutcome outcome) const
{
    const std::lock_guard lock(mutex_);
    return counts_[static_cast<int>(outcome)];
}

void BatchProgress::Print(const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream_);
    std::fflush(stream_);
}

QString BatchProgress::Bar(double seconds) const
{
    const int finished = counts_[0] + counts_[1] + counts_[2];
    const int filled = total_ > 0 ? finished * BarWidth / total_ : BarWidth;
    QString text = QLatin1Char('[') + QString(filled, QLatin1Char('#')) +
                   QString(BarWidth - filled, QLatin1Char('-')) + QLatin1Char(']');
    text += QStringLiteral(" %1/%2").arg(finished).arg(total_);
    if (finished > 0 && seconds > 0) {
        const double rate = finished / seconds;
        text += QStringLiteral("  %1 rows/s  %2 left")
                    .arg(rate, 0, 'f', rate < 10 ? 2 : 1)
                    .arg(DurationText((total_ - finished) / rate));
    }
    if (counts_[2] > 0)
        text += QStringLiteral("  %1 failed").arg(counts_[2]);
    return text;
}

void BatchProgress::Finished(int line, const QString& output, RowOutcome outcome, const QString& reason)
{
    const std::lock_guard lock(mutex_);
    ++counts_[static_cast<int>(outcome)];
    QString text = QStringLiteral("line %1: ").arg(line);
    if (!output.isEmpty())
        text += output + QStringLiteral(": ");
    switch (outcome) {
    case RowOutcome::Done: text += QStringLiteral("ok"); break;
    case RowOutcome::Skipped: text += QStringLiteral("skipped (up to date)"); break;
    case RowOutcome::Failed: text += QStringLiteral("failed: ") + reason; break;
    }
    if (!terminal_) {
        Print(text + QLatin1Char('\n'));
        return;
    }
    // Only failures stay on the screen; the bar is drawn again below them.
    QString screen = QLatin1String(ClearLine());
    if (outcome == RowOutcome::Failed)
        screen += text + QLatin1Char('\n');
    Print(screen + Bar(clock_()));
}

void BatchProgress::Note(const QString& text)
{
    const std::lock_guard lock(mutex_);
    if (!terminal_) {
        Print(text + QLatin1Char('\n'));
        return;
    }
    Print(QLatin1String(ClearLine()) + text + QLatin1Char('\n') + Bar(clock_()));
}

void BatchProgress::Summary(int notStarted)
{
    const std::lock_guard lock(mutex_);
    const double seconds = clock_();
    QString text = QStringLiteral("done %1, skipped %2, failed %3").arg(counts_[0]).arg(counts_[1]).arg(counts_[2]);
    if (notStarted > 0)
        text += QStringLiteral(", not started %1").arg(notStarted);
    text += QStringLiteral(" in %1").arg(DurationText(seconds));
    Print((terminal_ ? QLatin1String(ClearLine()) + Bar(seconds) + QLatin1Char('\n') : QString()) + text +
          QLatin1Char('\n'));
}
