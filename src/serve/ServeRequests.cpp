#include "serve/ServiceParts.h"

#include "serve/MemoryAdmission.h"
#include "serve/RenderForm.h"
#include "serve/RequestBody.h"
#include "serve/ServeError.h"

#include <QCryptographicHash>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

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

void SetError(httplib::Response& res, int status, const QString& text)
{
    res.status = status;
    const QByteArray body = ErrorJson(text);
    res.set_content(body.constData(), static_cast<std::size_t>(body.size()), JsonType);
}

const char* StatusText(int status)
{
    switch (status) {
    case 400: return "the request is malformed";
    case 401: return "a bearer token is needed";
    case 404: return "no such page; the service answers POST /render, POST /model, POST /covers, GET /options, GET /healthz and GET /metrics";
    case 405: return "that method is not taken here";
    case 408: return "the request took too long to arrive";
    case 413: return "the request is larger than the service takes";
    case 414: return "the address is too long";
    case 415: return "that content type is not taken here";
    case 503: return "the service has as many connections as it takes; try again shortly";
    default: return "the request cannot be answered";
    }
}

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
        PeakInputs peak{{}, form.OutputSize, form.Samples};
        for (std::size_t slot = 0; slot < form.Covers.size(); ++slot) {
            if (const QString& id = form.CoverIds[slot]; !id.isEmpty()) {
                job.Covers[slot] = Covers.Find(id);
                if (!job.Covers[slot])
                    throw ServeError(404, QStringLiteral("no cover has the id %1 (for the %2 cover): send it to POST /covers "
                                                         "again; covers are kept only while there is room")
                                              .arg(id, QLatin1String(CoverPartNames()[slot])));
                peak.Covers.push_back(job.Covers[slot]->Pixels());
            } else if (form.Covers[slot]) {
                peak.Covers.push_back(form.Covers[slot]->Pixels);
            }
        }
        job.PeakBytes = EstimatePeakBytes(peak);
        if (Admit(job.PeakBytes, 0, Memory.Budget) == Admission::Refuse)
            throw ServeError(422, QStringLiteral("this request would take about %1 of memory at its peak; the service "
                                                 "draws requests of up to %2 (--max-memory %3 less the %4 it holds): "
                                                 "send smaller covers, a smaller picture or fewer samples")
                                      .arg(MemoryText(job.PeakBytes), MemoryText(Memory.Budget), MemoryText(Memory.Limit),
                                           MemoryText(Memory.Standing)));
        for (std::size_t slot = 0; slot < form.Covers.size(); ++slot) {
            if (const std::optional<UploadedCover>& cover = form.Covers[slot])
                job.Covers[slot] = Covers.Put(cover->Bytes, cover->Kind, cover->Pixels);
            if (job.Covers[slot])
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
    // Waiting for memory counts against the timeout, as waiting for a worker does.
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

void RenderService::Parts::UploadCover(const httplib::Request& req, httplib::Response& res,
                                       const httplib::ContentReader& reader)
{
    if (Stopping) {
        res.set_header("Connection", "close");
        DeadlineServer::CloseAfterAnswer();
        SetError(res, 503, QStringLiteral("the service is stopping"));
        return;
    }
    try {
        const Body body = ReadBody(req, reader, static_cast<std::uint64_t>(Settings.MaxBody));
        if (!req.is_multipart_form_data())
            throw ServeError(415, QStringLiteral("send the cover as multipart/form-data, one file part named cover"));
        if (body.Parts.size() != 1 || body.Parts[0].Head.name != "cover" || body.Parts[0].Head.filename.empty())
            throw ServeError(400, QStringLiteral("send one file part named cover, and nothing else"));
        const BodyPart& part = body.Parts[0];
        const UploadedCover cover = ReadUploadedCover(
            {part.Head.name, part.Head.filename, part.Head.content_type, part.Content}, QStringLiteral("uploaded"),
            {Settings.MaxPixels, Settings.MaxOutput});
        const std::shared_ptr<const StoredCover> stored = Covers.Put(cover.Bytes, cover.Kind, cover.Pixels);
        res.status = 201;
        res.set_content("{\"id\":\"" + stored->Id().toStdString() + "\"}\n", JsonType);
    } catch (const ServeError& e) {
        if (e.Status() == 408 || e.Status() == 413)
            res.set_header("Connection", "close");
        SetError(res, e.Status(), e.Text());
    }
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
    // A browser asks before a cross-site POST, and never with the token.
    if (!Settings.AllowOrigin.isEmpty() && req.method == "OPTIONS" && Routes.count(req.path)) {
        res.status = 204;
        res.set_header("Access-Control-Allow-Methods", Routes.at(req.path));
        res.set_header("Access-Control-Allow-Headers", "Authorization, Content-Type");
        res.set_header("Access-Control-Max-Age", "600");
        if (HasBody(req))
            DeadlineServer::CloseAfterAnswer();
        return true;
    }
    const QByteArray token = Tokens ? Tokens->Current() : Token;
    if (!token.isEmpty()) {
        const std::string header = req.get_header_value("Authorization");
        const std::string prefix = "Bearer ";
        const bool given = header.size() > prefix.size() && header.compare(0, prefix.size(), prefix) == 0;
        if (!given || !SameToken(QByteArray::fromStdString(header.substr(prefix.size())), token)) {
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

