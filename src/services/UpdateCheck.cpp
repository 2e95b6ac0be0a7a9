#include "services/UpdateCheck.h"

#include "services/ProductInfo.h"
#include "services/SettingsStore.h"
#include "services/UpdateReply.h"

#include <QUrlQuery>

#include <cmath>

namespace {

const QString UpdateSection = QStringLiteral("Update");
const QString LastCheck = QStringLiteral("Last update check");

} // namespace

UpdateCheck::UpdateCheck(SettingsStore& store, FetchFunction fetch, ConfirmFunction confirm)
    : store_(store), fetch_(std::move(fetch)), confirm_(std::move(confirm))
{
}

ConfirmMessage UpdateCheck::AutomaticCheckQuestion()
{
    return {ConfirmMessage::Confirmation, QStringLiteral("AutoUpdateCheck"),
            QStringLiteral("Automatic update check will be activated.\n"
                           "Uncheck menu Help\\Automatic update check to disable.\n"
                           "This feature needs internet connection where\n"
                           "no personal information will be sent out.\n"
                           "Continue the automatic update check?")};
}

QUrl UpdateCheck::RequestUrl(const QString& currentVersion, const QString& productName)
{
    const QString base = store_.LoadText(UpdateSection, QStringLiteral("Website"),
                                         ProductInfo::WebSite);
    const QString guid = store_.LoadText(QStringLiteral("Main"), QStringLiteral("GUID"), QString());
    if (!IsWebAddress(base))
        return {};
    QUrl url(base + QLatin1Char('/') + productName + QStringLiteral("/UpdateInfo.php"));
    // The query values are escaped here, so an odd value cannot add keys.
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("currentversion"), QUrl::toPercentEncoding(currentVersion));
    query.addQueryItem(QStringLiteral("id"), QUrl::toPercentEncoding(guid));
    url.setQuery(query);
    return url.isValid() ? url : QUrl();
}

QUrl UpdateCheck::DownloadTarget()
{
    const QString stored = store_.LoadText(UpdateSection, QStringLiteral("DownloadURL"),
                                           ProductInfo::WebSite);
    return QUrl(IsWebAddress(stored) ? stored : QString(ProductInfo::WebSite));
}

std::optional<QStringList> UpdateCheck::Fetch(const QString& currentVersion,
                                              const QString& productName)
{
    const QUrl url = RequestUrl(currentVersion, productName);
    if (url.isEmpty() || !fetch_)
        return std::nullopt;
    const std::optional<QByteArray> body = fetch_(url);
    if (!body)
        return std::nullopt;
    const std::optional<UpdateReply> reply = ParseUpdateReply(*body, productName);
    if (!reply)
        return std::nullopt;

    LatestVersion = reply->LatestVersion;
    UpdateWebsite = reply->UpdateWebsite;
    DownloadURL = reply->DownloadURL;
    store_.StoreText(UpdateSection, QStringLiteral("Website"), UpdateWebsite);
    store_.StoreText(UpdateSection, QStringLiteral("DownloadURL"), DownloadURL);
    store_.StoreDate(LastCheck, ToStoreDate(Today()));
    return MemoLines(*reply);
}

bool UpdateCheck::AutomaticCheckDue()
{
    double last = 0; // never checked: due
    try {
        if (const std::optional<double> stored = store_.LoadDate(LastCheck); stored && std::isfinite(*stored))
            last = *stored;
    } catch (const RegistryError&) {
        // A damaged date counts as never checked; it is replaced just below.
    }
    const double today = ToStoreDate(Today());
    store_.StoreDate(LastCheck, today);
    return std::nearbyint(today - last) >= DaysBetweenAutomaticChecks;
}

UpdateCheckResult UpdateCheck::Check(UpdateCheckMode mode, const QString& currentVersion,
                                     const QString& productName)
{
    UpdateCheckResult result;
    if (mode == UpdateCheckMode::Automatic) {
        if (!AutomaticCheckDue())
            return result;
        if (!confirm_ || !confirm_(AutomaticCheckQuestion()))
            return result;
    }
    const std::optional<QStringList> memo = Fetch(currentVersion, productName);
    if (!memo) {
        result.Failed = true;
        return result;
    }
    const bool newer = IsNewerVersion(LatestVersion, currentVersion);
    if (mode == UpdateCheckMode::Automatic && !newer)
        return result;
    result.Show = true;
    result.Caption = newer ? QStringLiteral("There is a new update")
                           : QStringLiteral("You still have the latest version");
    result.Memo = *memo;
    return result;
}
