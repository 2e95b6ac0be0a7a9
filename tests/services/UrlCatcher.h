#pragma once
// Catches what the program hands to the desktop, so nothing is launched.
#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

class UrlCatcher : public QObject {
    Q_OBJECT
public:
    explicit UrlCatcher(QStringList schemes = {QStringLiteral("file"), QStringLiteral("mailto"),
                                               QStringLiteral("http"), QStringLiteral("https")})
        : schemes_(std::move(schemes))
    {
        for (const QString& scheme : schemes_)
            QDesktopServices::setUrlHandler(scheme, this, "Open");
    }
    ~UrlCatcher() override
    {
        for (const QString& scheme : schemes_)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    UrlCatcher(const UrlCatcher&) = delete;
    UrlCatcher& operator=(const UrlCatcher&) = delete;

    QList<QUrl> Opened;

    Q_INVOKABLE void Open(const QUrl& url) { Opened.append(url); }

private:
    QStringList schemes_;
};
