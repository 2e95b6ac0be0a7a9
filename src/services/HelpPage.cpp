#include "services/HelpPage.h"

#include <QDir>
#include <QFileInfo>

QString HelpPagePath(const QString& programFolder)
{
    const QDir folder(QDir::fromNativeSeparators(programFolder));
    const QString besideProgram = folder.filePath(QStringLiteral("Help/Default.htm"));
    const QString installed =
        QDir::cleanPath(folder.filePath(QStringLiteral("../share/cubiform/Help/Default.htm")));
    for (const QString& candidate : {besideProgram, installed}) {
        if (QFileInfo(candidate).isFile())
            return QDir::toNativeSeparators(candidate);
    }
    return QDir::toNativeSeparators(besideProgram);
}
