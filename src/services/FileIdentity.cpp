#include "services/FileIdentity.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <sys/stat.h>

namespace {

constexpr int MaxLinks = 40; // as the system's own limit on a chain of links

QString Parent(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash <= 0 ? QStringLiteral("/") : path.left(slash);
}

QString Join(const QString& folder, const QString& name)
{
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// Component by component: a link is replaced by where it leads before the
// next ".." is applied, as the system does; past the first missing part
// nothing more can be a link.
QString Resolve(const QString& path, int& links)
{
    // Not QFileInfo's absolute path: it takes ".." out before links are followed.
    const QString given = QDir::fromNativeSeparators(path);
    const QString absolute = QDir::isRelativePath(given) ? QDir::currentPath() + QLatin1Char('/') + given : given;
    QString resolved = QStringLiteral("/");
    bool missing = false;
    for (const QString& part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..")) {
            resolved = Parent(resolved);
            continue;
        }
        QString next = Join(resolved, part);
        if (!missing) {
            const QFileInfo info(next);
            if (info.isSymLink() && links < MaxLinks) {
                ++links;
                const QString target = QFile::symLinkTarget(next);
                next = Resolve(QDir::isRelativePath(target) ? Join(resolved, target) : target, links);
            }
            missing = !QFileInfo::exists(next);
        }
        resolved = next;
    }
    return resolved;
}

} // namespace

QString NormalisedPath(const QString& path)
{
    int links = 0;
    return Resolve(path, links);
}

FileIdentity FileIdentity::Of(const QString& path)
{
    FileIdentity id;
    struct stat info {};
    if (!path.isEmpty() && ::stat(QFile::encodeName(path).constData(), &info) == 0) {
        id.Exists = true;
        id.Device = static_cast<std::uint64_t>(info.st_dev);
        id.Inode = static_cast<std::uint64_t>(info.st_ino);
    }
    id.Path = NormalisedPath(path);
    return id;
}

QString FileIdentity::Key() const
{
    return Exists ? QStringLiteral("inode %1:%2").arg(Device).arg(Inode) : QStringLiteral("path ") + Path;
}
