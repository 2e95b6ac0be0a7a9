#pragma once
// One HTTP GET of the update reply into memory, with the two headers the
// server expects, a deadline, a size cap and web-only redirects.
#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

struct FetchLimits {
    int TimeoutMs = 15000;
    qint64 MaxBodyBytes = qint64{1} << 20;
    int MaxRedirects = 5;
};

class UpdateFetcher : public QObject {
    Q_OBJECT
public:
    explicit UpdateFetcher(FetchLimits limits = {}, QObject* parent = nullptr);
    ~UpdateFetcher() override;

    // Emits finished exactly once per start, possibly before start returns.
    // A fetcher runs one request at a time; starting again abandons the last.
    void start(const QUrl& url);
    void abort();

Q_SIGNALS:
    void finished(bool ok, const QByteArray& body);

private:
    void OnReadyRead();
    void OnRedirected(const QUrl& target);
    void OnFinished();
    void Fail();
    void Finish(bool ok);

    FetchLimits limits_;
    QNetworkAccessManager* network_;
    QTimer* deadline_;
    QNetworkReply* reply_ = nullptr;
    QByteArray body_;
    QUrl current_; // where the request stands after the redirects so far
    int redirects_ = 0;
};

// Whether a redirect may be followed: only on to another web page, and never
// from an encrypted one to a plain one.
bool IsAllowedRedirect(const QUrl& from, const QUrl& to);

// Waits for the fetch in a local event loop, so the window keeps painting.
// nullopt on any failure.
std::optional<QByteArray> FetchBlocking(const QUrl& url, FetchLimits limits = {});
