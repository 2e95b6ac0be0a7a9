#include "engine/TurntableFrames.h"

#include "formats/AtomicFile.h"
#include "formats/ImageCodec.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

const char StagingLockName[] = ".lock";

// The target's own entry, not what a link there points to: rename replaces
// the link.
bool Lstat(const QString& path, struct stat& st)
{
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0;
}

JobError CannotWrite(const QString& path, const QString& why)
{
    return BadInput(QStringLiteral("%1: cannot be written (%2)").arg(QDir::toNativeSeparators(path), why));
}

} // namespace

void MadeFolders::Make(const QString& folder)
{
    std::vector<QString> missing;
    for (QString f = QDir::cleanPath(QFileInfo(folder).absoluteFilePath()); !QFileInfo::exists(f);) {
        missing.push_back(f);
        const QString parent = QFileInfo(f).path();
        if (parent == f)
            break;
        f = parent;
    }
    for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
        if (!QDir().mkdir(*it))
            throw BadInput(QStringLiteral("%1: the folder cannot be made (%2)")
                               .arg(QDir::toNativeSeparators(*it), QString::fromLocal8Bit(std::strerror(errno))));
        folders.push_back(*it);
    }
}

MadeFolders::~MadeFolders()
{
    if (keep)
        return;
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        QDir().rmdir(*it);
}

StagingLock::StagingLock(const QString& folder)
{
    fd_ = ::open(QFile::encodeName(QDir(folder).filePath(QLatin1String(StagingLockName))).constData(),
                 O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0)
        ::flock(fd_, LOCK_EX | LOCK_NB); // the folder is new: nobody else holds it
}

StagingLock::StagingLock(StagingLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

StagingLock& StagingLock::operator=(StagingLock&& other) noexcept
{
    std::swap(fd_, other.fd_);
    return *this;
}

StagingLock::~StagingLock()
{
    if (fd_ >= 0)
        ::close(fd_);
}

// The staging folder of a turntable killed outright stays behind; the next
// turntable into the same folder removes those whose lock nobody holds,
// whatever their process number (numbers are reused: in a container every
// turntable may be number 1). One without a lock file (made by an older
// version, or just being made) goes only once its process has ended and
// nothing has touched it for ten minutes.
void ClearAbandonedStaging(const QString& folder)
{
    static const QRegularExpression name(QStringLiteral("^\\.turntable-(\\d+)-.{6}$"));
    const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-10 * 60);
    for (const QFileInfo& dir : QDir(folder).entryInfoList({QStringLiteral(".turntable-*")}, QDir::Dirs | QDir::Hidden)) {
        const QRegularExpressionMatch m = name.match(dir.fileName());
        if (!m.hasMatch() || dir.isSymLink())
            continue;
        const QByteArray lockFile = QFile::encodeName(QDir(dir.filePath()).filePath(QLatin1String(StagingLockName)));
        const int fd = ::open(lockFile.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd >= 0) {
            if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
                QDir(dir.filePath()).removeRecursively();
            ::close(fd);
        } else if (errno == ENOENT && dir.lastModified().toUTC() <= before && ProcessEnded(m.captured(1).toLongLong())) {
            QDir(dir.filePath()).removeRecursively();
        }
    }
}

void CheckFramesReplaceable(const QString& folder, const QStringList& names)
{
    if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
        throw CannotWrite(folder, SystemReason());
    struct stat dir {};
    if (!Lstat(folder, dir))
        throw CannotWrite(folder, SystemReason());
    const uid_t me = ::geteuid();
    for (const QString& name : names) {
        const QString target = QDir(folder).filePath(name);
        struct stat st {};
        if (!Lstat(target, st))
            continue; // nothing there to replace
        if (S_ISDIR(st.st_mode))
            throw CannotWrite(target, QStringLiteral("a folder is in its place"));
        // In a shared folder (/tmp) only its owner may replace a file.
        if ((dir.st_mode & S_ISVTX) && me != 0 && st.st_uid != me && dir.st_uid != me)
            throw CannotWrite(target, QStringLiteral("another user's file in a shared folder"));
    }
}

std::optional<FrameSwapError> SwapInFrames(const QString& staged, const QString& folder, const QStringList& names,
                                           const QString& aside, const FileMove& move)
{
    struct Step {
        QString Target;
        QString Old;        // where the replaced picture waits; empty when there was none
        bool NewIn = false; // the new frame took the target's name
    };
    std::vector<Step> steps;
    std::optional<FrameSwapError> failure;
    for (const QString& name : names) {
        Step step;
        step.Target = QDir(folder).filePath(name);
        struct stat st {};
        QString why;
        if (Lstat(step.Target, st)) {
            step.Old = QDir(aside).filePath(name);
            if (!move(step.Target, step.Old, why)) {
                failure = FrameSwapError{step.Target, why, {}};
                break;
            }
        }
        step.NewIn = move(QDir(staged).filePath(name), step.Target, why);
        steps.push_back(step);
        if (!step.NewIn) {
            failure = FrameSwapError{step.Target, why, {}};
            break;
        }
    }
    if (!failure)
        return std::nullopt;
    // Back as it was: the new frames out, the replaced ones in their places.
    for (auto it = steps.rbegin(); it != steps.rend(); ++it) {
        QString why;
        bool back = true;
        if (!it->Old.isEmpty())
            back = move(it->Old, it->Target, why); // over the new frame at once
        else if (it->NewIn)
            back = move(it->Target, QDir(staged).filePath(QFileInfo(it->Target).fileName()), why);
        if (!back)
            failure->NotRestored << it->Target;
    }
    return failure;
}

bool RenameFile(const QString& from, const QString& to, QString& why)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    why = SystemReason();
    return false;
}

void PutFramesInPlace(QTemporaryDir& staging, const QString& folder, const QStringList& names, MadeFolders& made)
{
    // All or nothing: the earlier turn's frames wait beside the staged ones
    // until every new frame is in.
    CheckFramesReplaceable(folder, names);
    const QString aside = staging.filePath(QStringLiteral(".replaced"));
    if (!QDir().mkdir(aside))
        throw CannotWrite(aside, SystemReason());
    if (const std::optional<FrameSwapError> failure =
            SwapInFrames(staging.path(), folder, names, aside, RenameFile)) {
        QString text = QStringLiteral("%1: cannot be written (%2); the earlier pictures are left as they were")
                           .arg(QDir::toNativeSeparators(failure->Target), failure->Reason);
        if (!failure->NotRestored.isEmpty()) {
            // The only copies of what could not be put back: out of the
            // staging folder, which goes now or with the next turntable.
            QString kept = QDir(folder)
                               .filePath(QStringLiteral("earlier-frames-%1").arg(QCoreApplication::applicationPid()));
            QString why;
            if (!RenameFile(aside, kept, why)) {
                staging.setAutoRemove(false);
                kept = aside;
            }
            made.keep = true;
            text = QStringLiteral("%1: cannot be written (%2); %3 could not be put back, the earlier "
                                  "pictures are in %4")
                       .arg(QDir::toNativeSeparators(failure->Target), failure->Reason,
                            QDir::toNativeSeparators(failure->NotRestored.join(QStringLiteral(", "))),
                            QDir::toNativeSeparators(kept));
        }
        throw BadInput(text);
    }
    made.keep = true;
}
