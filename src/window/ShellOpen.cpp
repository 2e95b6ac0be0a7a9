#include "window/ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QStandardPaths>
#include <QUrl>

namespace {

QSet<QString>& OwnSchemes()
{
    static QSet<QString> schemes;
    return schemes;
}

bool OpensThroughPortal()
{
    // Sandboxed, Qt hands every URL to the desktop portal, which always has an answer.
    return qEnvironmentVariableIsSet("FLATPAK_ID") || qEnvironmentVariableIsSet("SNAP");
}

bool HasProgram(const QString& name)
{
    return !name.isEmpty() && !QStandardPaths::findExecutable(name).isEmpty();
}

} // namespace

void SetUrlHandler(const QString& scheme, QObject* receiver, const char* method)
{
    QDesktopServices::setUrlHandler(scheme, receiver, method);
    OwnSchemes().insert(scheme.toLower());
}

void UnsetUrlHandler(const QString& scheme)
{
    QDesktopServices::unsetUrlHandler(scheme);
    OwnSchemes().remove(scheme.toLower());
}

bool DesktopCanOpen(const QUrl& url)
{
    if (OwnSchemes().contains(url.scheme().toLower()))
        return true;
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS) && !defined(Q_OS_ANDROID)
    if (OpensThroughPortal() || HasProgram(QStringLiteral("xdg-open")))
        return true;
    const bool page = url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
    // Only the command's name: $BROWSER may carry arguments.
    return page && HasProgram(qEnvironmentVariable("BROWSER").section(QLatin1Char(' '), 0, 0));
#else
    return true;
#endif
}

bool ShellOpen(const QString& target)
{
    if (target.isEmpty())
        return false;
    const QUrl asUrl(target, QUrl::StrictMode);
    // "C:\..." parses with a one-letter scheme; only real schemes are URLs here.
    const bool isUrl = asUrl.isValid() && asUrl.scheme().size() > 1;
    const QUrl url = isUrl ? asUrl : QUrl::fromLocalFile(QDir::fromNativeSeparators(target));
    return DesktopCanOpen(url) && QDesktopServices::openUrl(url);
}

QString NoBrowserText(const QString& page)
{
    return QStringLiteral("No web browser could be started to open %1.").arg(page);
}

QString NoMailText(const QString& address)
{
    return QStringLiteral("No mail program could be started to write to %1.").arg(address);
}

FolderOpening OpenLocalFolder(const QString& folder)
{
    const QString path = QDir::fromNativeSeparators(folder);
    // Checked before the file system is asked: looking up "//host/share"
    // already reaches out to that host.
    if (path.isEmpty() || !QDir::isAbsolutePath(path) || path.startsWith(QLatin1String("//")))
        return FolderOpening::NoSuchFolder;
    if (!QFileInfo(path).isDir())
        return FolderOpening::NoSuchFolder;
    const QUrl url = QUrl::fromLocalFile(path);
    return DesktopCanOpen(url) && QDesktopServices::openUrl(url) ? FolderOpening::Opened : FolderOpening::Refused;
}
