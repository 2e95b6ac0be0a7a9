#include "serve/ServeCommand.h"

#include "engine/JobError.h"
#include "serve/RenderService.h"
#include "serve/ServeSettings.h"

#include <atomic>
#include <csignal>
#include <ctime>
#include <thread>

#include <pthread.h>

namespace {

void Say(std::FILE* err, const QString& text)
{
    const QByteArray bytes = (QStringLiteral("cubiform: ") + text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), err);
    std::fflush(err);
}

// SIGINT and SIGTERM go to one thread that waits for them; every other
// thread, the workers' included, has them blocked.
class SignalMask {
public:
    SignalMask()
    {
        sigemptyset(&set_);
        sigaddset(&set_, SIGINT);
        sigaddset(&set_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &set_, &previous_);
    }
    ~SignalMask() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    SignalMask(const SignalMask&) = delete;
    SignalMask& operator=(const SignalMask&) = delete;

    // The signal that came within the wait, or 0.
    int Wait(long milliseconds) const
    {
        const timespec wait = {milliseconds / 1000, (milliseconds % 1000) * 1'000'000};
        const int signal = sigtimedwait(&set_, nullptr, &wait);
        return signal > 0 ? signal : 0;
    }

private:
    sigset_t set_{};
    sigset_t previous_{};
};

} // namespace

int RunServe(const QStringList& arguments, std::FILE* err)
{
    const ServeSettings settings = ParseServeArguments(arguments);
    const SignalMask signals; // before any thread starts
    // The token file, if any, is read there, and again whenever it changes.
    RenderService service(settings, {}, {}, WarmUpRenderSession);
    const int port = service.Bind();
    Say(err, QStringLiteral("serving box shots on http://%1:%2/render (%3 workers, queue of %4)")
                 .arg(settings.Bind.contains(QLatin1Char(':')) ? QLatin1Char('[') + settings.Bind + QLatin1Char(']') : settings.Bind)
                 .arg(port)
                 .arg(settings.WorkerCount())
                 .arg(settings.QueueCapacity()));
    Say(err, service.MemoryLimitText());
    std::atomic<bool> running{true};
    std::thread watcher([&] {
        while (running) {
            if (const int signal = signals.Wait(100)) {
                Say(err, QStringLiteral("%1: taking no new requests, finishing those in flight")
                             .arg(signal == SIGINT ? QStringLiteral("interrupted") : QStringLiteral("asked to stop")));
                service.Stop();
                return;
            }
        }
    });
    service.Run();
    running = false;
    watcher.join();
    Say(err, QStringLiteral("stopped"));
    return 0;
}
