#include "engine/ShownPath.h"

#include "engine/JobError.h"

#include <QFile>

namespace {

// Far beyond any real path, short enough to read in a message.
constexpr qsizetype LongestShown = 1024;
constexpr qsizetype ShownHead = 60;
constexpr qsizetype ShownTail = 20;

// The limits of the common systems: 4096 bytes a path, 255 a name.
constexpr qsizetype LongestPath = 4096;
constexpr qsizetype LongestName = 255;

} // namespace

QString ShownPath(const QString& path)
{
    if (path.size() <= LongestShown)
        return path;
    return path.left(ShownHead) + QChar(0x2026) + path.right(ShownTail);
}

bool PathTooLong(const QString& path)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.size() >= LongestPath)
        return true;
    for (const QByteArray& part : bytes.split('/'))
        if (part.size() > LongestName)
            return true;
    return false;
}

QString PathTooLongText(const QString& path)
{
    return QStringLiteral("%1: the path is too long (%2 characters)").arg(ShownPath(path)).arg(path.size());
}

void CheckPathLength(const QString& path)
{
    if (PathTooLong(path))
        throw BadInput(PathTooLongText(path));
}
