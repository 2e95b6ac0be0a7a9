#include "serve/TokenFile.h"

#include "engine/JobError.h"

#include <QFile>

#include <sys/stat.h>

TokenFile::TokenFile(QString path) : path_(std::move(path))
{
    StampOf(seen_);
    QString why;
    token_ = Read(&why);
    if (token_.isEmpty())
        throw BadInput(QStringLiteral("%1: %2").arg(path_, why));
}

QByteArray TokenFile::TokenIn(const QByteArray& text)
{
    const QByteArray token = text.trimmed();
    if (token.isEmpty() || token.contains('\n') || token.contains(' ') || token.contains('\r') || token.contains('\t'))
        return {};
    return token;
}

bool TokenFile::StampOf(Stamp& stamp) const
{
    // stat follows links: a mounted Secret changes by swapping the link.
    struct stat st {};
    if (::stat(QFile::encodeName(path_).constData(), &st) != 0)
        return false;
    stamp = {static_cast<std::int64_t>(st.st_mtim.tv_sec), static_cast<std::int64_t>(st.st_mtim.tv_nsec),
             static_cast<std::int64_t>(st.st_size), static_cast<std::uint64_t>(st.st_ino)};
    return true;
}

QByteArray TokenFile::Read(QString* why) const
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("the token file cannot be read (%1)").arg(file.errorString());
        return {};
    }
    const QByteArray token = TokenIn(file.read(4096));
    if (token.isEmpty())
        *why = QStringLiteral("the token file must hold one token on one line");
    return token;
}

QByteArray TokenFile::Current()
{
    const std::lock_guard lock(mutex_);
    Stamp now;
    if (StampOf(now) && !(now == seen_)) {
        QString why;
        const QByteArray token = Read(&why);
        if (!token.isEmpty()) {
            token_ = token;
            seen_ = now;
        }
    }
    return token_;
}
