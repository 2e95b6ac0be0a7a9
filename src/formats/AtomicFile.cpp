#include "formats/AtomicFile.h"

#include <QCoreApplication>
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
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// A new file beside the target that no other writer uses at the same time,
// locked for as long as `lock` (a second descriptor of it) stays open: a
// cleanup takes only files it can lock.
std::FILE* CreateTemporary(const QFileInfo& target, QString& name, int& lock)
{
    static std::atomic<int> counter{0};
    lock = -1;
    for (;;) {
        name = target.dir().filePath(QStringLiteral(".%1.%2-%3.part")
                                         .arg(target.fileName())
                                         .arg(QCoreApplication::applicationPid())
                                         .arg(counter++));
#ifdef _WIN32
        if (std::FILE* file = Open(name, "wbx"))
            return file;
        if (errno != EEXIST)
            return nullptr;
#else
        std::FILE* file = Open(name, "wbxe");
        if (!file) {
            if (errno != EEXIST)
                return nullptr;
            continue;
        }
        // A cleanup may have taken the new file between its making and its
        // locking (it then removes it): start again under another name. A
        // file system without locks leaves it unlocked, and a cleanup there
        // cannot take it either.
        if (::flock(fileno(file), LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                return file;
            std::fclose(file);
            continue;
        }
        struct stat opened {}, named {};
        if (::fstat(fileno(file), &opened) == 0 && ::stat(QFile::encodeName(name).constData(), &named) == 0 &&
            opened.st_ino == named.st_ino && opened.st_dev == named.st_dev) {
            lock = ::fcntl(fileno(file), F_DUPFD_CLOEXEC, 0);
            if (lock >= 0)
                return file;
            const int error = errno;
            std::fclose(file);
            QFile::remove(name);
            errno = error;
            return nullptr;
        }
        std::fclose(file);
#endif
    }
}

// Closes the descriptor that holds a temporary file's lock.
struct LockHolder {
    int fd = -1;
    ~LockHolder()
    {
#ifndef _WIN32
        if (fd >= 0)
            ::close(fd);
#endif
    }
};

} // namespace

FileWriteError::FileWriteError(Step step, const QString& path, const QString& reason)
    : ImageError(Wording(step, path, reason).toStdString()), step_(step), path_(path), reason_(reason)
{
}

void WriteFileAtomically(const QString& path, const QByteArray& bytes, const BeforeReplace& beforeReplace)
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
    LockHolder lock; // released once the file has its name, or is gone
    std::FILE* file = CreateTemporary(target, temporary, lock.fd);
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
    if (beforeReplace) {
        try {
            beforeReplace(temporary);
        } catch (...) {
            QFile::remove(temporary);
            throw;
        }
    }
    std::error_code renamed;
    std::filesystem::rename(FsPath(temporary), FsPath(finalName), renamed);
    if (renamed) {
        QFile::remove(temporary);
        throw FileWriteError(FileWriteError::Step::Replace, path,
                             QString::fromLocal8Bit(renamed.message().c_str()));
    }
}

int RemoveAbandonedTemporaries(const QString& folder, const QSet<QString>& names)
{
#ifdef _WIN32
    (void)folder;
    (void)names;
    return 0;
#else
    int removed = 0;
    const QDir dir(folder);
    for (const QFileInfo& file : dir.entryInfoList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden)) {
        const QRegularExpressionMatch m = TemporaryName().match(file.fileName());
        if (!m.hasMatch() || !names.contains(m.captured(1)))
            continue;
        const QByteArray name = QFile::encodeName(file.filePath());
        const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        // Only while it is locked here, and only if the name still leads to
        // the file locked (not a writer's fresh one of the same name).
        struct stat locked {}, named {};
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &locked) == 0 &&
            ::lstat(name.constData(), &named) == 0 && locked.st_ino == named.st_ino &&
            locked.st_dev == named.st_dev && ::unlink(name.constData()) == 0)
            ++removed;
        ::close(fd);
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
