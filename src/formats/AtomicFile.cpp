#include "formats/AtomicFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <system_error>

#ifndef _WIN32
#include <csignal>
#include <unistd.h>
#endif

namespace {

QString Reason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

QString Wording(FileWriteError::Step step, const QString& path, const QString& reason)
{
    const QString shown = QDir::toNativeSeparators(path);
    switch (step) {
    case FileWriteError::Step::IsFolder:
        return QStringLiteral("%1: is a folder").arg(shown);
    case FileWriteError::Step::NoFolder:
        return QStringLiteral("%1: the folder does not exist").arg(shown);
    case FileWriteError::Step::Create:
        return QStringLiteral("%1: cannot be opened (%2)").arg(shown, reason);
    case FileWriteError::Step::Write:
    case FileWriteError::Step::Replace:
        break;
    }
    return QStringLiteral("%1: cannot be written (%2)").arg(shown, reason);
}

std::FILE* Open(const QString& name, const char* mode)
{
#ifdef _WIN32
    return _wfopen(reinterpret_cast<const wchar_t*>(name.utf16()), QString::fromLatin1(mode).toStdWString().c_str());
#else
    return std::fopen(QFile::encodeName(name).constData(), mode);
#endif
}

std::filesystem::path FsPath(const QString& name)
{
#ifdef _WIN32
    return std::filesystem::path(name.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(name).toStdString());
#endif
}

// The file a chain of symbolic links ends at (the path itself without one).
QString FinalTarget(const QString& path)
{
    QFileInfo info(path);
    for (int hops = 0; hops < 40 && info.isSymLink(); ++hops) {
        const QString next = info.symLinkTarget();
        if (next.isEmpty())
            break;
        info.setFile(next);
    }
    return info.filePath();
}

// Writes all bytes and closes the file; 0 or the errno of the first failure.
int WriteAndClose(std::FILE* file, const QByteArray& bytes, bool sync)
{
    int error = 0;
    const auto size = static_cast<std::size_t>(bytes.size());
    if (size != 0 && std::fwrite(bytes.constData(), 1, size, file) != size)
        error = errno;
    if (!error && std::fflush(file) != 0)
        error = errno;
#ifndef _WIN32
    // The name must never point at data still only in memory; a pipe or a
    // device cannot be synced, and that is no failure.
    if (!error && sync && ::fdatasync(fileno(file)) != 0 && errno != EINVAL && errno != EROFS)
        error = errno;
#else
    (void)sync;
#endif
    if (std::fclose(file) != 0 && !error)
        error = errno;
    return error;
}

// A device or a pipe: nothing to replace, so the bytes go straight in.
void WriteInPlace(const QString& path, const QString& target, const QByteArray& bytes)
{
    std::FILE* file = Open(target, "wb");
    if (!file)
        throw FileWriteError(FileWriteError::Step::Create, path, Reason(errno));
    if (const int error = WriteAndClose(file, bytes, false))
        throw FileWriteError(FileWriteError::Step::Write, path, Reason(error));
}

// ".NAME.PID-N.part": hidden, and telling which process made it.
const QRegularExpression& TemporaryName()
{
    static const QRegularExpression name(QStringLiteral("^\\.(.+)\\.(\\d+)-\\d+\\.part$"));
    return name;
}

// A new file beside the target that no other writer uses at the same time.
std::FILE* CreateTemporary(const QFileInfo& target, QString& name)
{
    static std::atomic<int> counter{0};
    for (;;) {
        name = target.dir().filePath(QStringLiteral(".%1.%2-%3.part")
                                         .arg(target.fileName())
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(counter++));
        if (std::FILE* file = Open(name, "wbx"))
            return file;
        if (errno != EEXIST)
            return nullptr;
    }
}

} // namespace

FileWriteError::FileWriteError(Step step, const QString& path, const QString& reason)
    : ImageError(Wording(step, path, reason).toStdString()), step_(step), path_(path), reason_(reason)
{
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes)
{
    const QString finalName = FinalTarget(path);
    const QFileInfo target(finalName);
    if (target.isDir())
        throw FileWriteError(FileWriteError::Step::IsFolder, path, Reason(EISDIR));
    const bool exists = target.exists();
    if (exists && !target.isFile()) {
        WriteInPlace(path, finalName, bytes);
        return;
    }
    // Renaming needs only the folder's permission; a write-protected file
    // is meant to stay.
    if (exists && !target.isWritable())
        throw FileWriteError(FileWriteError::Step::Create, path, Reason(EACCES));

    QString temporary;
    std::FILE* file = CreateTemporary(target, temporary);
    if (!file) {
        const int error = errno;
        const bool noFolder = !QFileInfo(target.absolutePath()).isDir();
        throw FileWriteError(noFolder ? FileWriteError::Step::NoFolder : FileWriteError::Step::Create, path,
                             Reason(error));
    }
    if (exists) // a replaced file keeps who may read and write it
        QFile::setPermissions(temporary, QFile::permissions(finalName));
    if (const int error = WriteAndClose(file, bytes, true)) {
        QFile::remove(temporary);
        throw FileWriteError(FileWriteError::Step::Write, path, Reason(error));
    }
    std::error_code renamed;
    std::filesystem::rename(FsPath(temporary), FsPath(finalName), renamed);
    if (renamed) {
        QFile::remove(temporary);
        throw FileWriteError(FileWriteError::Step::Replace, path,
                             QString::fromLocal8Bit(renamed.message().c_str()));
    }
}

int RemoveAbandonedTemporaries(const QString& folder, const QSet<QString>& names, int age)
{
#ifdef _WIN32
    (void)folder;
    (void)names;
    (void)age;
    return 0;
#else
    int removed = 0;
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-age);
    const QDir dir(folder);
    for (const QFileInfo& file : dir.entryInfoList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = TemporaryName().match(file.fileName());
        if (!m.hasMatch() || !names.contains(m.captured(1)) || file.lastModified().toUTC() > before)
            continue;
        bool ok = false;
        const qint64 pid = m.captured(2).toLongLong(&ok);
        if (ok && ProcessEnded(pid))
            removed += QFile::remove(file.filePath()) ? 1 : 0;
    }
    return removed;
#endif
}

bool ProcessEnded(qint64 pid)
{
#ifdef _WIN32
    (void)pid;
    return false;
#else
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max() || pid == QCoreApplication::applicationPid())
        return false;
    // Alive, or someone else's (EPERM): not ours to judge.
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
#endif
}
