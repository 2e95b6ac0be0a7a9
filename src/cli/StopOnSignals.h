#pragma once
// Ctrl-C (or a polite kill) stops a long command line job at its next safe
// point: the batch between rows, the turntable between frames. The job
// finishes what it is writing, so no temporary file is left behind. A
// second signal ends the program at once.
#include <QString>

#include <csignal>

class StopOnSignals {
public:
    StopOnSignals()
    {
        caught = 0;
        struct sigaction action = {};
        action.sa_handler = [](int signal) { caught = signal; };
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND; // the next one takes its usual course
        sigaction(SIGINT, &action, &previousInterrupt_);
        sigaction(SIGTERM, &action, &previousTerminate_);
    }
    ~StopOnSignals()
    {
        sigaction(SIGINT, &previousInterrupt_, nullptr);
        sigaction(SIGTERM, &previousTerminate_, nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

    // The signal that asked to stop, or 0.
    static int Caught() { return caught; }
    // "an interrupt" (SIGINT) or "a request to stop" (SIGTERM).
    static QString Name(int signal)
    {
        return signal == SIGINT ? QStringLiteral("an interrupt") : QStringLiteral("a request to stop");
    }

private:
    static inline volatile std::sig_atomic_t caught = 0;
    struct sigaction previousInterrupt_ = {};
    struct sigaction previousTerminate_ = {};
};
