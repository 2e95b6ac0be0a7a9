#include "window/ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

bool ShellOpen(const QString& target)
{
    if (target.isEmpty())
        return false;
    const QUrl asUrl(target, QUrl::StrictMode);
    // "C:\..." parses with a one-letter scheme; only real schemes are URLs here.
    const bool isUrl = asUrl.isValid() && asUrl.scheme().size() > 1;
    const QUrl url = isUrl ? asUrl : QUrl::fromLocalFile(QDir::fromNativeSeparators(target));
    return QDesktopServices::openUrl(url);
}

QString NoBrowserText()
{
    return QStringLiteral("No web browser could be started.");
}

QString NoMailText()
{
    return QStringLiteral("No mail program could be started.");
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
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path)) ? FolderOpening::Opened
                                                                : FolderOpening::Refused;
}
