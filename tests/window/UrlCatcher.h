#pragma once
// Catches what the program hands to the desktop, so nothing is launched.
#include "window/ShellOpen.h"

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
            SetUrlHandler(scheme, this, "Open");
    }
    ~UrlCatcher() override
    {
        for (const QString& scheme : schemes_)
            UnsetUrlHandler(scheme);
    }
    UrlCatcher(const UrlCatcher&) = delete;
    UrlCatcher& operator=(const UrlCatcher&) = delete;

    QList<QUrl> Opened;

    Q_INVOKABLE void Open(const QUrl& url) { Opened.append(url); }

private:
    QStringList schemes_;
};

// A desktop without a program for these schemes: QDesktopServices::openUrl
// answers false. The handler names a method the object does not have, which
// is how Qt's own open fails; nothing is launched.
class UrlRefuser : public QObject {
public:
    explicit UrlRefuser(QStringList schemes) : schemes_(std::move(schemes))
    {
        for (const QString& scheme : schemes_)
            SetUrlHandler(scheme, this, "noProgramForThis");
    }
    ~UrlRefuser() override
    {
        for (const QString& scheme : schemes_)
            UnsetUrlHandler(scheme);
    }
    UrlRefuser(const UrlRefuser&) = delete;
    UrlRefuser& operator=(const UrlRefuser&) = delete;

private:
    QStringList schemes_;
};
