// The real window turning its box (a drag's angle every 16 ms) while a
// second large cover is picked before the first has loaded; prints what a
// person would feel:
//   frame_gap_ms  the longest time between two frames drawn, from the first pick until both loads end
//   stall_ms      the longest the event loop stood still meanwhile
// bench/two-covers.sh runs it under Xvfb (covers made by window_cover --make-cover).
//
// With --no-picks it only turns the box for 2 s: the floor
// the same machine gives without any cover loading.
//
//   window_two_covers FIRST.jpg SECOND.jpg [--overlap-ms N] [--other-slot] [--no-picks]
#include "WindowBench.h"
#include "app/ProcessSetup.h"
#include "window/Application.h"
#include "window/GLPanel.h"
#include "window/MainWindow.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <execinfo.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

// With TWO_COVERS_STACKS=MS set (60 when empty): the window's thread's
// stack, printed every 20 ms while it has not turned its loop for MS
// (addresses for addr2line).
std::atomic<long long> heartbeat{0};
std::atomic<bool> watching{true};

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void PrintStack(int)
{
    void* frames[40];
    const int n = backtrace(frames, 40);
    backtrace_symbols_fd(frames, n, STDERR_FILENO);
    const char line[] = "----\n";
    (void)!write(STDERR_FILENO, line, sizeof line - 1);
}

} // namespace

int main(int argc, char** argv)
{
    PrepareWindowProcess();
    CubiformApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    int overlapMs = 150;
    int slot2 = FrontBack;
    if (const auto i = args.indexOf(QStringLiteral("--overlap-ms")); i >= 0 && i + 1 < args.size()) {
        overlapMs = args.at(i + 1).toInt();
        args.remove(i, 2);
    }
    bool picks = true;
    if (const auto i = args.indexOf(QStringLiteral("--no-picks")); i >= 0) {
        picks = false;
        args.remove(i);
    }
    if (const auto i = args.indexOf(QStringLiteral("--other-slot")); i >= 0) {
        slot2 = LeftRight;
        args.remove(i);
    }
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: window_two_covers FIRST.jpg SECOND.jpg [--overlap-ms N] [--other-slot]\n");
        return 2;
    }

    QTemporaryDir dir;
    ListPrompts prompts;
    MainWindowOptions options;
    options.ProgramFolder = dir.path();
    options.SettingsFile = dir.filePath(QStringLiteral("settings.ini"));
    options.Dialogs = &prompts;
    MainWindow form(options);
    form.show();
    GLPanel* view = form.findChild<GLPanel*>(QStringLiteral("view"));
    if (!WaitUntil([&] { return !view->FirstPaintPending(); }, 10000, 2)) {
        std::fprintf(stderr, "window_two_covers: the view never painted\n");
        return 1;
    }
    WaitUntil([] { return false; }, 500, 2);

    // The drag: a new angle each refresh, so a frame is always wanted.
    float side = form.Params().SideAngle;
    QTimer turner;
    turner.setTimerType(Qt::PreciseTimer);
    turner.setInterval(16);
    QObject::connect(&turner, &QTimer::timeout, [&] {
        side += 1.0f;
        form.Document().TurnTo(side, form.Params().TiltAngle);
    });

    // A short timer sees both the frames and the loop's own pauses.
    QElapsedTimer sinceTick, sinceFrame;
    qint64 longestStall = 0, longestFrameGap = 0;
    int swaps = view->BufferSwaps();
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QElapsedTimer run;
    run.start();
    const bool verbose = qEnvironmentVariableIsSet("TWO_COVERS_VERBOSE");
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        heartbeat = NowMs();
        const qint64 gap = sinceTick.restart();
        if (verbose && gap > 40)
            std::fprintf(stderr, "gap %lld ms ending at %lld ms\n", static_cast<long long>(gap),
                         static_cast<long long>(run.elapsed()));
        longestStall = std::max(longestStall, gap);
        if (view->BufferSwaps() != swaps) {
            swaps = view->BufferSwaps();
            longestFrameGap = std::max(longestFrameGap, sinceFrame.restart());
        }
    });

    std::thread watchdog;
    if (qEnvironmentVariableIsSet("TWO_COVERS_STACKS")) {
        std::signal(SIGUSR1, PrintStack);
        const pthread_t gui = pthread_self();
        const int threshold = qEnvironmentVariableIntValue("TWO_COVERS_STACKS");
        const long long afterMs = threshold > 0 ? threshold : 60;
        heartbeat = NowMs();
        watchdog = std::thread([gui, afterMs] {
            while (watching) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                if (NowMs() - heartbeat > afterMs) {
                    std::fprintf(stderr, "stalled %lld ms:\n", NowMs() - heartbeat);
                    pthread_kill(gui, SIGUSR1);
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            }
        });
    }
    turner.start();
    WaitUntil([] { return false; }, 300, 2); // turning before the picks
    sinceTick.start();
    sinceFrame.start();
    ticker.start();
    bool loaded = true;
    if (picks) {
        prompts.Files.push_back(args.at(0));
        form.SelectCoverImage(FrontBack, false);
        WaitUntil([] { return false; }, overlapMs, 2);
        if (!form.CoverLoadsPending())
            std::fprintf(stderr, "window_two_covers: the first cover loaded within %d ms: no overlap\n", overlapMs);
        prompts.Files.push_back(args.at(1));
        if (verbose)
            std::fprintf(stderr, "second pick at %lld ms\n", static_cast<long long>(run.elapsed()));
        form.SelectCoverImage(slot2, false);
        if (verbose)
            std::fprintf(stderr, "second pick returned at %lld ms\n", static_cast<long long>(run.elapsed()));
        loaded = WaitUntil([&] { return !form.CoverLoadsPending(); }, 120000, 2);
    } else {
        WaitUntil([] { return false; }, 2000, 2);
    }
    WaitUntil([] { return false; }, 200, 2); // the last texture's frames
    ticker.stop();
    turner.stop();
    watching = false;
    if (watchdog.joinable())
        watchdog.join();
    if (!loaded || prompts.failed) {
        std::fprintf(stderr, "window_two_covers: the covers were not shown\n");
        return 1;
    }
    std::printf("frame_gap_ms %lld\n", static_cast<long long>(longestFrameGap));
    std::printf("stall_ms %lld\n", static_cast<long long>(longestStall));
    return 0;
}
