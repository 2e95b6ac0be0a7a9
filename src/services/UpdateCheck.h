#pragma once
// The update check without its window: asks the maker's server for the
// latest version, remembers the two addresses of an accepted reply and says
// what the UpdateWindow window should show. Fetching and the confirmation
// question are passed in, so the window decides how they run.
#include "services/ConfirmMessage.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <optional>

class SettingsStore;

enum class UpdateCheckMode { Manual, Automatic };

struct UpdateCheckResult {
    bool Show = false; // the window is shown only when this is set
    // The server was asked (or could not be) and no accepted reply came back.
    bool Failed = false;
    QString Caption;
    QStringList Memo;
};

class UpdateCheck {
public:
    using FetchFunction = std::function<std::optional<QByteArray>(const QUrl&)>;
    using ConfirmFunction = std::function<bool(const ConfirmMessage&)>;

    UpdateCheck(SettingsStore& store, FetchFunction fetch, ConfirmFunction confirm);

    // Store errors (RegistryError) pass through; network failures and
    // unaccepted replies leave Show unset and set Failed.
    UpdateCheckResult Check(UpdateCheckMode mode, const QString& currentVersion,
                            const QString& productName);

    // The request for the stored base address; empty when that is no web address.
    QUrl RequestUrl(const QString& currentVersion, const QString& productName);
    // The page "Download" opens; the web site when the stored one is no web address.
    QUrl DownloadTarget();

    std::function<QDate()> Today = [] { return QDate::currentDate(); };

    QString LatestVersion = QStringLiteral("1.00");
    QString UpdateWebsite;
    QString DownloadURL;

    static constexpr int DaysBetweenAutomaticChecks = 30;
    static ConfirmMessage AutomaticCheckQuestion();

private:
    std::optional<QStringList> Fetch(const QString& currentVersion, const QString& productName);
    bool AutomaticCheckDue();

    SettingsStore& store_;
    FetchFunction fetch_;
    ConfirmFunction confirm_;
};
