#pragma once
// The HTTP side of "cubiform serve": POST /render, POST /model, POST /covers,
// GET /options, GET /healthz and GET /metrics over the render workers, with
// the request and memory limits, the bearer token, CORS and the orderly stop.
#include "serve/RenderWorkers.h"
#include "serve/ServeSettings.h"

#include <QByteArray>
#include <QString>

#include <memory>

class RenderService {
public:
    // `token` empty: no token is asked for. `work` replaces the drawing
    // (tests); `warmUp` too.
    RenderService(const ServeSettings& settings, QByteArray token, RenderWorkers::Work work = {},
                  std::function<void(RenderSession&)> warmUp = {});
    ~RenderService();
    RenderService(const RenderService&) = delete;
    RenderService& operator=(const RenderService&) = delete;

    // Binds the settings' address and port (0: any free one) and returns the
    // port; JobError when it cannot.
    int Bind();
    // Answers requests until Stop; then finishes those taken in and returns.
    void Run();
    // From any thread (a signal's watcher, a test): no new requests.
    void Stop();
    bool Stopping() const;
    // The memory the service keeps within, and where that figure came from.
    QString MemoryLimitText() const;

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

// What a worker does with a job: the box drawn as "cubiform render" draws it
// and encoded as it writes it. Errors are answered as JSON; the covers'
// file names in them are given as their slots.
RenderAnswer DrawRenderJob(RenderSession& session, const RenderJob& job);

// A first small picture: the worker's GL context is made before the first
// request, and a GL that cannot draw shows in /healthz.
void WarmUpRenderSession(RenderSession& session);
