#pragma once
// What a RenderService is made of, for the files that answer its requests.
#include "serve/CoverStore.h"
#include "serve/DeadlineServer.h"
#include "serve/RenderService.h"
#include "serve/ServeMetrics.h"
#include "serve/TokenFile.h"

#include <QString>

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

inline constexpr const char* JsonType = "application/json";

void SetError(httplib::Response& res, int status, const QString& text);
// The one line an answer of that status says when nothing more is known.
const char* StatusText(int status);

// The memory the service keeps within, and how it is shared out.
struct MemoryPlan {
    std::int64_t Limit = 0;      // --max-memory, or its default
    QString Source;              // where the default came from; empty when given
    std::int64_t CoverCache = 0; // texture bytes each worker keeps between requests
    std::int64_t Standing = 0;   // what the service holds whatever it draws
    std::int64_t Budget = 0;     // what the requests being drawn may take together
};
// Throws BadInput when the limit leaves nothing for requests.
MemoryPlan PlanMemory(const ServeSettings& settings);

struct RenderService::Parts {
    ServeSettings Settings;
    QByteArray Token;                  // fixed (tests), or the file's first
    std::unique_ptr<TokenFile> Tokens; // --token-file, read again when it changes
    MemoryPlan Memory;
    CoverStore Covers;
    ServeMetrics Metrics;
    RenderWorkers Workers;
    DeadlineServer Http;
    std::atomic<bool> Stopping{false};
    std::atomic<double> RenderSecondsAverage{0.5};
    // Each address the service answers and the methods it takes there.
    std::map<std::string, std::string> Routes;

    Parts(const ServeSettings& settings, QByteArray token, RenderWorkers::Work work,
          std::function<void(RenderSession&)> warmUp);

    MetricGauges Gauges() const;
    // POST /render, or POST /model with `model`: the same form, the same queue.
    void Render(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader, bool model);
    // POST /covers: one cover kept for later requests to name by its id.
    void UploadCover(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader);
    // Before a request's body is read: the token, the address and method,
    // a declared length past the limit; a CORS preflight.
    bool Refused(const httplib::Request& req, httplib::Response& res);
    void CountAndMaybeStop(const httplib::Request& req, const httplib::Response& res);
    void Setup();
};
