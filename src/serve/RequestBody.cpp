#include "serve/RequestBody.h"

#include "serve/DeadlineServer.h"
#include "serve/ServeError.h"

#include <utility>

namespace {

// The body bytes taken in on this thread for the request being answered.
thread_local std::uint64_t bytesIn = 0;

} // namespace

// Throws ServeError: 413 past the limit, 408 past the request's deadline,
// 400 a malformed body. The rest of a body not read whole is never read.
Body ReadBody(const httplib::Request& req, const httplib::ContentReader& reader, std::uint64_t limit)
{
    Body body;
    bool tooLarge = false;
    const auto take = [&](BodyBytes* into, const char* data, std::size_t n, std::size_t counted) {
        if (body.Bytes + counted > limit) {
            tooLarge = true;
            return false;
        }
        if (into)
            into->append(data, n);
        body.Bytes += counted;
        return true;
    };
    bool whole;
    if (req.is_multipart_form_data())
        whole = reader(
            [&](const httplib::MultipartFormData& part) {
                // A part's headers count too: a body of countless empty parts is held to the limit.
                body.Parts.push_back({part, {}});
                return take(nullptr, nullptr, 0, 64 + part.name.size() + part.filename.size() + part.content_type.size());
            },
            [&](const char* data, std::size_t n) { return !body.Parts.empty() && take(&body.Parts.back().Content, data, n, n); });
    else
        whole = reader([&](const char* data, std::size_t n) { return take(&body.Whole, data, n, n); });
    bytesIn = body.Bytes;
    if (whole)
        return body;
    DeadlineServer::CloseAfterAnswer();
    if (tooLarge)
        throw ServeError(413, QStringLiteral("the body is larger than the %1 bytes taken here").arg(limit));
    if (DeadlineServer::Late())
        throw ServeError(408, QStringLiteral("the request took too long to arrive"));
    throw ServeError(400, QStringLiteral("the body is malformed or ended early"));
}

std::uint64_t TakeBodyBytesIn() { return std::exchange(bytesIn, 0); }
