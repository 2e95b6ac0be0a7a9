#include "services/ui/ShellOpen.h"

#include <QDesktopServices>
#include <QDir>
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
