#include "cli/RayTraceProgress.h"

#include "cli/StopOnSignals.h"
#include "engine/ProgressText.h"
#include "raytrace/RayRender.h"

#include <unistd.h>

namespace {

void Print(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

RayTraceOutcome TraceWithProgress(int passes, const TraceSteps& trace, PhaseClock& clock, std::FILE* err)
{
    const bool terminal = isatty(fileno(err)) == 1;
    const StopOnSignals stopping;
    RayTraceOutcome outcome;
    outcome.Picture = trace([&](int done, int total, double seconds, const RayRender& render) {
        outcome.Passes = done;
        if (terminal)
            Print(err, QStringLiteral("\r\033[K") + RayProgressLine(done, total, seconds, render.TimeLimit()));
        return StopOnSignals::Caught() == 0;
    });
    if (terminal)
        Print(err, QStringLiteral("\r\033[K"));
    clock.Mark("trace");
    if (const int signal = StopOnSignals::Caught()) {
        Print(err, QStringLiteral("stopped after %1 at pass %2 of %3; nothing was written\n")
                       .arg(StopOnSignals::Name(signal))
                       .arg(outcome.Passes)
                       .arg(passes));
        outcome.Picture.reset();
        outcome.Signal = signal;
    }
    return outcome;
}
