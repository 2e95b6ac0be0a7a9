#include "serve/RenderService.h"

#include "engine/JobError.h"
#include "engine/OptionFields.h"
#include "engine/RenderSession.h"
#include "render/BaseLevel.h"
#include "serve/MemoryAdmission.h"
#include "serve/RequestBody.h"
#include "serve/ServeError.h"
#include "serve/ServiceParts.h"
#include "serve/WebPage.h"

#include <QDir>
#include <QJsonDocument>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

// The slowest body taken: each of these bytes a second buys a second more.
constexpr std::int64_t BodyBytesPerSecond = 16 * 1024;

// Each worker's session keeps the covers it drew last, and up to this many
// bytes of others, as textures; a cover whose texture alone would take a
// sixth of it is let go after its request, so that a worker holds at most
// twice this between requests.
std::function<void(RenderSession&)> WithCoverCache(std::int64_t cacheBytes, const CoverStore& store,
                                                   std::function<void(RenderSession&)> warmUp)
{
    return [cacheBytes, &store, warmUp = std::move(warmUp)](RenderSession& session) {
        session.SetCoverCacheBytes(cacheBytes);
        session.SetUsedOnce([cacheBytes, &store](const QString& file) {
            const QSize pixels = store.PixelsAt(file);
            if (pixels.isEmpty())
                return true;
            const PictureSize base = BaseLevelSize(pixels.width(), pixels.height(), TextureSizeLimit());
            return 4 * std::int64_t{base.Width} * base.Height > cacheBytes / 6;
        });
        if (warmUp)
            warmUp(session);
    };
}

} // namespace

MemoryPlan PlanMemory(const ServeSettings& settings)
{
    MemoryPlan plan;
    plan.Limit = settings.MaxMemory > 0 ? settings.MaxMemory : DefaultMaxMemory(&plan.Source);
    const int workers = settings.WorkerCount();
    // An eighth of the limit for the workers' kept covers, at most 256 MiB each.
    plan.CoverCache = std::min<std::int64_t>(std::int64_t{256} << 20, plan.Limit / (8 * workers));
    plan.Standing = StandingBytes(workers, 2 * plan.CoverCache);
    plan.Budget = plan.Limit - plan.Standing;
    if (plan.Budget < (std::int64_t{32} << 20))
        throw BadInput(QStringLiteral("--max-memory %1 leaves no room for requests: with %2 workers the service "
                                      "itself holds about %3")
                           .arg(MemoryText(plan.Limit)).arg(workers).arg(MemoryText(plan.Standing)));
    return plan;
}

RenderService::Parts::Parts(const ServeSettings& settings, QByteArray token, RenderWorkers::Work work,
                            std::function<void(RenderSession&)> warmUp)
    : Settings(settings), Token(std::move(token)),
      Tokens(settings.TokenFile.isEmpty() ? nullptr : std::make_unique<TokenFile>(settings.TokenFile)),
      Memory(PlanMemory(settings)),
      Workers(settings.WorkerCount(), settings.QueueCapacity(), work ? std::move(work) : RenderWorkers::Work(DrawRenderJob),
              WithCoverCache(Memory.CoverCache, Covers, std::move(warmUp)))
{
    Workers.SetMemoryBudget(Memory.Budget);
}

MetricGauges RenderService::Parts::Gauges() const
{
    return {Workers.Queued(),   Workers.Busy(),          Covers.Count(), Workers.Ready() && !Stopping,
            Http.Connections(), Workers.MemoryInUse(),   Memory.Limit};
}

void RenderService::Parts::Setup()
{
    Http.set_payload_max_length(static_cast<std::size_t>(Settings.MaxBody));
    // A client that stops sending or reading loses its connection; none of
    // them holds a render worker, which only ever sees whole requests.
    const int timeout = Settings.ReadTimeoutSeconds;
    Http.set_read_timeout(timeout, 0);
    Http.set_write_timeout(timeout, 0);
    // The read timeout is per read: a request as a whole gets as long, and a
    // second more for each 16 KB of body.
    Http.SetRequestDeadline(std::chrono::seconds(timeout), BodyBytesPerSecond);
    Http.set_keep_alive_timeout(timeout);
    Http.set_keep_alive_max_count(100);
    // Each connection is read and answered on a thread of its own, apart from
    // the workers, so that slow and waiting clients starve none of the rest.
    Http.SetConnectionLimit(Settings.MaxConnections);
    Http.SetPlainAnswer([this](int status) {
        const QByteArray body = ErrorJson(QString::fromLatin1(StatusText(status)));
        Metrics.Request(status, 0, static_cast<std::uint64_t>(body.size()));
        return body.toStdString();
    });

    Http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        return Refused(req, res) ? httplib::Server::HandlerResponse::Handled : httplib::Server::HandlerResponse::Unhandled;
    });
    Http.Post("/render", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        Render(req, res, reader, false);
    });
    Http.Post("/model", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        Render(req, res, reader, true);
    });
    Http.Post("/covers", [this](const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader) {
        UploadCover(req, res, reader);
    });
    Http.Get("/healthz", [this](const httplib::Request&, httplib::Response& res) {
        const bool ready = Workers.Ready() && !Stopping;
        res.status = ready ? 200 : 503;
        res.set_content(ready ? "{\"status\":\"ready\"}\n" : "{\"status\":\"not ready\"}\n", JsonType);
    });
    std::vector<std::string> gets = ServeWebPage(Http);
    // Made once: the table and the limits do not change while the service runs.
    const std::string options =
        QJsonDocument(RequestOptionsJson(Settings.MaxOutput)).toJson(QJsonDocument::Compact).toStdString();
    Http.Get("/options", [options](const httplib::Request&, httplib::Response& res) {
        res.set_header("Cache-Control", "no-cache");
        res.set_content(options, JsonType);
    });
    Http.Get("/metrics", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(Metrics.Text(Gauges()), "text/plain; version=0.0.4");
    });
    gets.insert(gets.end(), {"/healthz", "/options", "/metrics"});
    for (const std::string& path : gets)
        Routes[path] = "GET, HEAD";
    Routes["/render"] = Routes["/model"] = Routes["/covers"] = "POST";
    if (!Settings.AllowOrigin.isEmpty()) {
        // Every answer, errors included, so that a page on that site can read it.
        const std::string origin = Settings.AllowOrigin.toStdString();
        Http.set_default_headers({{"Access-Control-Allow-Origin", origin},
                                  {"Access-Control-Expose-Headers", "Retry-After"},
                                  {"Vary", "Origin"}});
        Http.SetPlainHeaders("Access-Control-Allow-Origin: " + origin + "\r\n");
    }

    Http.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (DeadlineServer::Late()) {
            res.status = 408;
            res.set_header("Connection", "close");
            res.body.clear();
        }
        if (res.body.empty())
            SetError(res, res.status, QString::fromLatin1(StatusText(res.status)));
    });
    Http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        SetError(res, 500, QStringLiteral("the request could not be answered"));
    });
    Http.set_logger([this](const httplib::Request& req, const httplib::Response& res) { CountAndMaybeStop(req, res); });
}

RenderService::RenderService(const ServeSettings& settings, QByteArray token, RenderWorkers::Work work,
                             std::function<void(RenderSession&)> warmUp)
    : parts_(std::make_unique<Parts>(settings, std::move(token), std::move(work), std::move(warmUp)))
{
    if (!parts_->Covers.IsValid())
        throw BadInput(QStringLiteral("no private folder for the uploaded covers could be made in %1").arg(QDir::tempPath()));
    parts_->Setup();
}

RenderService::~RenderService()
{
    Stop();
    parts_->Workers.Stop();
}

int RenderService::Bind()
{
    const std::string host = parts_->Settings.Bind.toStdString();
    // The library listens with a backlog of 5: a burst of connections would
    // wait a second for SYN to be sent again.
    const auto Widen = [this] { parts_->Http.SetListenBacklog(std::max(128, parts_->Settings.MaxConnections)); };
    if (parts_->Settings.Port == 0) {
        const int port = parts_->Http.bind_to_any_port(host);
        if (port > 0) {
            Widen();
            return port;
        }
    } else if (parts_->Http.bind_to_port(host, parts_->Settings.Port)) {
        Widen();
        return parts_->Settings.Port;
    }
    throw BadInput(QStringLiteral("cannot listen on %1 port %2 (in use, or not an address of this machine)")
                       .arg(parts_->Settings.Bind)
                       .arg(parts_->Settings.Port));
}

void RenderService::Run()
{
    // Stopping is asked for from signal watchers and request counters, which
    // must not call into the server themselves: this thread does.
    std::atomic<bool> listening{true};
    std::thread watcher([this, &listening] {
        const auto start = std::chrono::steady_clock::now();
        const int lifetime = parts_->Settings.StopAfterSeconds;
        while (listening) {
            if (lifetime > 0 && std::chrono::steady_clock::now() - start >= std::chrono::seconds(lifetime))
                parts_->Stopping = true;
            if (parts_->Stopping)
                parts_->Http.stop(); // again until the listening has begun and ended
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    parts_->Http.listen_after_bind(); // returns once stopped and every connection is answered
    listening = false;
    watcher.join();
    parts_->Workers.Stop();
}

void RenderService::Stop() { parts_->Stopping = true; }

bool RenderService::Stopping() const { return parts_->Stopping; }

QString RenderService::MemoryLimitText() const
{
    const MemoryPlan& m = parts_->Memory;
    return QStringLiteral("memory up to %1 (%2), %3 of it for requests being drawn")
        .arg(MemoryText(m.Limit), m.Source.isEmpty() ? QStringLiteral("--max-memory") : m.Source, MemoryText(m.Budget));
}
