#include "services/UpdateFetcher.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace {

bool IsWebScheme(const QUrl& url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

// Kept small so a large reply is refused before much of it is buffered.
constexpr qint64 ReadBufferBytes = 64 * 1024;

} // namespace

bool IsAllowedRedirect(const QUrl& from, const QUrl& to)
{
    if (!to.isValid() || !IsWebScheme(to) || to.host().isEmpty())
        return false;
    const bool downgrade = from.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0 &&
                           to.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0;
    return !downgrade;
}

UpdateFetcher::UpdateFetcher(FetchLimits limits, QObject* parent)
    : QObject(parent), limits_(limits), network_(new QNetworkAccessManager(this)),
      deadline_(new QTimer(this))
{
    deadline_->setSingleShot(true);
    connect(deadline_, &QTimer::timeout, this, &UpdateFetcher::Fail);
}

UpdateFetcher::~UpdateFetcher()
{
    if (reply_) {
        reply_->disconnect(this);
        reply_->abort();
        reply_->deleteLater();
    }
}

void UpdateFetcher::start(const QUrl& url)
{
    abort();
    body_.clear();
    redirects_ = 0;
    current_ = url;
    if (!url.isValid() || !IsWebScheme(url) || url.host().isEmpty()) {
        Q_EMIT finished(false, QByteArray());
        return;
    }
    QNetworkRequest request(url);
    request.setRawHeader("Accept", "text/html, */*");
    request.setHeader(QNetworkRequest::UserAgentHeader,
                      QByteArrayLiteral("Mozilla/3.0 (compatible; Indy Library)"));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(limits_.MaxRedirects);

    reply_ = network_->get(request);
    reply_->setReadBufferSize(ReadBufferBytes);
    connect(reply_, &QNetworkReply::readyRead, this, &UpdateFetcher::OnReadyRead);
    connect(reply_, &QNetworkReply::redirected, this, &UpdateFetcher::OnRedirected);
    connect(reply_, &QNetworkReply::finished, this, &UpdateFetcher::OnFinished);
    deadline_->start(limits_.TimeoutMs);
}

void UpdateFetcher::abort()
{
    if (!reply_)
        return;
    deadline_->stop();
    QNetworkReply* reply = reply_;
    reply_ = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void UpdateFetcher::OnReadyRead()
{
    if (!reply_)
        return;
    const qint64 announced = reply_->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (announced > limits_.MaxBodyBytes) {
        Fail();
        return;
    }
    body_ += reply_->read(limits_.MaxBodyBytes + 1 - body_.size());
    if (body_.size() > limits_.MaxBodyBytes)
        Fail();
}

void UpdateFetcher::OnRedirected(const QUrl& target)
{
    if (!reply_)
        return;
    // Never a local file or another program, and never readable on the way
    // once the exchange was encrypted.
    if (++redirects_ > limits_.MaxRedirects || !IsAllowedRedirect(current_, target)) {
        Fail();
        return;
    }
    current_ = target;
    body_.clear();
    Q_EMIT reply_->redirectAllowed();
}

void UpdateFetcher::OnFinished()
{
    if (!reply_)
        return;
    OnReadyRead();
    if (!reply_)
        return; // over the cap
    const int status = reply_->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    Finish(reply_->error() == QNetworkReply::NoError && status >= 200 && status < 300);
}

void UpdateFetcher::Fail()
{
    Finish(false);
}

void UpdateFetcher::Finish(bool ok)
{
    abort();
    QByteArray body = ok ? body_ : QByteArray();
    body_.clear();
    Q_EMIT finished(ok, body);
}

std::optional<QByteArray> FetchBlocking(const QUrl& url, FetchLimits limits)
{
    UpdateFetcher fetcher(limits);
    QEventLoop loop;
    bool done = false;
    std::optional<QByteArray> result;
    QObject::connect(&fetcher, &UpdateFetcher::finished, &loop,
                     [&](bool ok, const QByteArray& body) {
                         done = true;
                         if (ok)
                             result = body;
                         loop.quit();
                     });
    fetcher.start(url);
    if (!done)
        loop.exec();
    return result;
}
