#include "serve/RenderService.h"

#include "engine/JobError.h"
#include "engine/OptionFields.h"
#include "engine/RenderSession.h"
#include "serve/CoverStore.h"
#include "serve/DeadlineServer.h"
#include "serve/RenderForm.h"
#include "serve/RequestBody.h"
#include "serve/ServeError.h"
#include "serve/ServeMetrics.h"
#include "serve/WebPage.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonDocument>

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <utility>
#include <thread>

namespace {

constexpr const char* JsonType = "application/json";

// The slowest body taken: each of these bytes a second buys a second more.
constexpr std::int64_t BodyBytesPerSecond = 16 * 1024;

void SetError(httplib::Response& res, int status, const QString& text)
{
    res.status = status;
    const QByteArray body = ErrorJson(text);
    res.set_content(body.constData(), static_cast<std::size_t>(body.size()), JsonType);
}

// Equal or not, in a time that does not depend on where they differ: both
// sides are hashed first, so not even the length shows.
bool SameToken(const QByteArray& given, const QByteArray& expected)
{
    const QByteArray a = QCryptographicHash::hash(given, QCryptographicHash::Sha256);
    const QByteArray b = QCryptographicHash::hash(expected, QCryptographicHash::Sha256);
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i)
        diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}

const char* StatusText(int status)
{
    switch (status) {
    case 400: return "the request is malformed";
    case 401: return "a bearer token is needed";
    case 404: return "no such page; the service answers POST /render, POST /model, GET /options, GET /healthz and GET /metrics";
    case 405: return "that method is not taken here";
    case 408: return "the request took too long to arrive";
    case 413: return "the request is larger than the service takes";
    case 414: return "the address is too long";
    case 415: return "that content type is not taken here";
    case 503: return "the service has as many connections as it takes; try again shortly";
    default: return "the request cannot be answered";
    }
}

// Whether `method` is one of `allowed`, as an Allow header lists them.
bool Takes(const std::string& allowed, const std::string& method)
{
    for (std::size_t at = allowed.find(method); at != std::string::npos; at = allowed.find(method, at + 1))
        if ((at == 0 || allowed[at - 1] == ' ') && (at + method.size() == allowed.size() || allowed[at + method.size()] == ','))
            return true;
    return false;
}

bool HasBody(const httplib::Request& req)
{
    return req.get_header_value<std::uint64_t>("Content-Length") > 0 || req.has_header("Transfer-Encoding");
}

} // namespace

struct RenderService::Parts {
    ServeSettings Settings;
    QByteArray Token;
    CoverStore Covers;
    ServeMetrics Metrics;
    RenderWorkers Workers;
    DeadlineServer Http;
    std::atomic<bool> Stopping{false};
    std::atomic<double> RenderSecondsAverage{0.5};

    Parts(const ServeSettings& settings, QByteArray token, RenderWorkers::Work work,
          std::function<void(RenderSession&)> warmUp)
        : Settings(settings), Token(std::move(token)),
          Workers(settings.WorkerCount(), settings.QueueCapacity(), work ? std::move(work) : RenderWorkers::Work(DrawRenderJob),
                  std::move(warmUp))
    {
    }

    // Each address the service answers and the methods it takes there.
    std::map<std::string, std::string> Routes;

    MetricGauges Gauges() const
    {
        return {Workers.Queued(), Workers.Busy(), Covers.Count(), Workers.Ready() && !Stopping, Http.Connections()};
    }

    // POST /render, or POST /model with `model`: the same form, the same queue.
    void Render(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader, bool model);
    // Before a request's body is read: the token, the address and method,
    // a declared length past the limit.
    bool Refused(const httplib::Request& req, httplib::Response& res);
    void CountAndMaybeStop(const httplib::Request& req, const httplib::Response& res);
    void Setup(RenderService& service);
};

void RenderService::Parts::Render(const httplib::Request& req, httplib::Response& res, const httplib::ContentReader& reader,
                                  bool model)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(Settings.TimeoutSeconds);
    if (Stopping) {
        res.set_header("Connection", "close");
        DeadlineServer::CloseAfterAnswer();
        SetError(res, 503, QStringLiteral("the service is stopping"));
        return;
    }
    RenderJob job;
    std::string type;
    try {
        const Body body = ReadBody(req, reader, static_cast<std::uint64_t>(Settings.MaxBody));
        std::vector<FormPart> parts;
        parts.reserve(body.Parts.size());
        for (const BodyPart& part : body.Parts)
            parts.push_back({part.Head.name, part.Head.filename, part.Head.content_type, part.Content});
        const RenderForm form = ReadRenderForm(req.get_header_value("Content-Type"), body.Whole, parts,
                                               {Settings.MaxPixels, Settings.MaxOutput});
        job.Options = form.Options;
        job.Project = form.Project;
        for (std::size_t slot = 0; slot < form.Covers.size(); ++slot)
            if (const std::optional<UploadedCover>& cover = form.Covers[slot]) {
                job.Covers[slot] = Covers.Put(cover->Bytes, cover->Kind);
                job.Options.Covers[slot] = job.Covers[slot]->Path();
            }
        job.Model = model;
        type = model ? "model/gltf-binary" : form.MimeType;
    } catch (const ServeError& e) {
        if (e.Status() == 408 || e.Status() == 413)
            res.set_header("Connection", "close");
        SetError(res, e.Status(), e.Text());
        return;
    }
    const std::shared_ptr<RenderTicket> ticket = Workers.Submit(std::move(job));
    if (!ticket) {
        // Roughly when a place in the queue frees up.
        const double wait = RenderSecondsAverage.load() * (Workers.Queued() + 1) / std::max(1, Settings.WorkerCount());
        res.set_header("Retry-After", std::to_string(std::max(1, static_cast<int>(std::ceil(wait)))));
        SetError(res, 429, QStringLiteral("the render queue is full; try again shortly"));
        return;
    }
    const std::optional<RenderAnswer> answer = ticket->Wait(deadline);
    if (!answer) {
        SetError(res, 503, QStringLiteral("no picture within %1 s").arg(Settings.TimeoutSeconds));
        return;
    }
    if (answer->Status == 200) {
        Metrics.RenderSeconds(answer->Seconds);
        RenderSecondsAverage = 0.8 * RenderSecondsAverage.load() + 0.2 * answer->Seconds;
    }
    res.status = answer->Status;
    res.set_content(answer->Body.constData(), static_cast<std::size_t>(answer->Body.size()),
                    answer->Status == 200 ? type : std::string(JsonType));
}

void RenderService::Parts::CountAndMaybeStop(const httplib::Request&, const httplib::Response& res)
{
    Metrics.Request(res.status, TakeBodyBytesIn(), res.body.size());
    if (Settings.StopAfterRequests > 0 && Metrics.Requests() >= static_cast<std::uint64_t>(Settings.StopAfterRequests))
        Stopping = true; // Run's watcher stops the server
}

bool RenderService::Parts::Refused(const httplib::Request& req, httplib::Response& res)
{
    // Whatever is refused here leaves its body unread: a connection with one
    // cannot carry another request.
    const auto refuse = [&](int status) {
        if (status == 401 || status == 413 || HasBody(req)) {
            res.set_header("Connection", "close");
            DeadlineServer::CloseAfterAnswer();
        }
        SetError(res, status, QString::fromLatin1(StatusText(status)));
        return true;
    };
    if (!Token.isEmpty()) {
        const std::string header = req.get_header_value("Authorization");
        const std::string prefix = "Bearer ";
        const bool given = header.size() > prefix.size() && header.compare(0, prefix.size(), prefix) == 0;
        if (!given || !SameToken(QByteArray::fromStdString(header.substr(prefix.size())), Token)) {
            res.set_header("WWW-Authenticate", "Bearer");
            return refuse(401);
        }
    }
    const auto route = Routes.find(req.path);
    if (route == Routes.end())
        return refuse(404);
    const std::string& allowed = route->second;
    if (!Takes(allowed, req.method)) {
        res.set_header("Allow", allowed);
        return refuse(405);
    }
    if (req.get_header_value<std::uint64_t>("Content-Length") > static_cast<std::uint64_t>(Settings.MaxBody))
        return refuse(413);
    // A GET's body is never read: neither is anything after it.
    if (req.method != "POST" && HasBody(req))
        DeadlineServer::CloseAfterAnswer();
    return false;
}

void RenderService::Parts::Setup(RenderService& service)
{
    (void)service;
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
    Routes["/render"] = Routes["/model"] = "POST";

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
    parts_->Setup(*this);
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
