#include "cli/BatchState.h"

#include "formats/AtomicFile.h"
#include "services/ProductInfo.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr auto HashKind = QCryptographicHash::Blake2b_160;

// Held while the state file is read, merged and replaced.
class FolderLock {
public:
    explicit FolderLock(const QString& folder)
    {
        const QByteArray name = QFile::encodeName(QDir(folder).filePath(QLatin1String(BatchStateLockName)));
        fd_ = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd_ >= 0)
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_ = -1;
};

// Picture name -> {fingerprint, stamp}; what cannot be read is left out.
QHash<QString, std::pair<QString, QString>> ReadState(const QString& file)
{
    QHash<QString, std::pair<QString, QString>> entries;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return entries;
    const QJsonObject pictures = QJsonDocument::fromJson(f.readAll()).object().value(QLatin1String("pictures")).toObject();
    for (auto it = pictures.begin(); it != pictures.end(); ++it) {
        const QJsonObject entry = it.value().toObject();
        const QString fingerprint = entry.value(QLatin1String("fingerprint")).toString();
        const QString stamp = entry.value(QLatin1String("file")).toString();
        if (!fingerprint.isEmpty() && !stamp.isEmpty())
            entries.insert(it.key(), {fingerprint, stamp});
    }
    return entries;
}

} // namespace

struct BatchState::Folder {
    QString Path;
    bool Loaded = false;
    QHash<QString, std::pair<QString, QString>> Known;   // as read at the start
    QHash<QString, std::pair<QString, QString>> Pending; // recorded, not yet saved
    qint64 LastSaveNs = 0;                               // how long the last save took
    qsizetype Entries = 0;                               // pictures in the last saved record
    QElapsedTimer SinceSave;
    std::mutex Mutex;
};

QString FileStamp(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    const qint64 modified = qint64{info.st_mtim.tv_sec} * 1000000000 + info.st_mtim.tv_nsec;
    return QStringLiteral("%1:%2:%3").arg(static_cast<quint64>(info.st_ino)).arg(qint64{info.st_size}).arg(modified);
}

BatchState::BatchState() = default;

BatchState::~BatchState() = default;

BatchState::Folder& BatchState::FolderOf(const QString& output, QString& name)
{
    const QFileInfo info(output);
    name = info.fileName();
    const std::lock_guard lock(mutex_);
    std::unique_ptr<Folder>& folder = folders_[info.absolutePath()];
    if (!folder) {
        folder = std::make_unique<Folder>();
        folder->Path = info.absolutePath();
    }
    return *folder;
}

QString BatchState::ContentHash(const QString& file)
{
    // The size and time are part of the key, so a changed file is read again.
    const QString key = FileStamp(file) + QLatin1Char(' ') + file;
    {
        const std::lock_guard lock(hashMutex_);
        if (const auto it = hashes_.constFind(key); it != hashes_.constEnd())
            return *it;
    }
    QFile f(file);
    QString hash = QStringLiteral("unreadable");
    if (f.open(QIODevice::ReadOnly)) {
        QCryptographicHash content(HashKind);
        if (content.addData(&f))
            hash = QString::fromLatin1(content.result().toHex());
    }
    const std::lock_guard lock(hashMutex_);
    hashes_.insert(key, hash);
    return hash;
}

QString BatchState::Fingerprint(const QStringList& arguments, const std::vector<JobFile>& inputs)
{
    QCryptographicHash all(HashKind);
    all.addData(QByteArrayLiteral("cubiform "));
    all.addData(QByteArray(ProductInfo::Version.data(), ProductInfo::Version.size()));
    for (const QString& argument : arguments)
        all.addData(QByteArray(1, '\0') + argument.toUtf8());
    for (const JobFile& input : inputs) {
        const QString stamp = FileStamp(input.Path);
        const qsizetype time = stamp.indexOf(QLatin1Char(':'));
        // Content, size and time; not the inode, which a copy changes.
        const QString line = QStringLiteral("\n%1 %2 %3").arg(input.Role, stamp.mid(time + 1), ContentHash(input.Path));
        all.addData(line.toUtf8());
    }
    return QString::fromLatin1(all.result().toHex());
}

bool BatchState::UpToDate(const QString& output, const QString& fingerprint)
{
    QString name;
    Folder& folder = FolderOf(output, name);
    const std::lock_guard lock(folder.Mutex);
    if (!folder.Loaded) {
        folder.Known = ReadState(QDir(folder.Path).filePath(QLatin1String(BatchStateName)));
        folder.Loaded = true;
    }
    const auto it = folder.Known.constFind(name);
    if (it == folder.Known.constEnd() || it->first != fingerprint)
        return false;
    const QString stamp = FileStamp(output);
    return !stamp.isEmpty() && stamp == it->second;
}

void BatchState::Record(const QString& output, const QString& written, const QString& fingerprint)
{
    QString name;
    Folder& folder = FolderOf(output, name);
    const QString stamp = FileStamp(written); // the rename keeps inode, size and time
    const std::lock_guard lock(folder.Mutex);
    if (stamp.isEmpty())
        folder.Pending.remove(name);
    else
        folder.Pending.insert(name, {fingerprint, stamp});
    // Saved with every picture, so a killed batch loses no record, while the
    // record is small; one of many thousands of pictures is saved at most a
    // twentieth of the time (a picture it missed is drawn again).
    if (folder.Entries <= 5000 || !folder.SinceSave.isValid() ||
        folder.SinceSave.nsecsElapsed() >= 20 * folder.LastSaveNs)
        SaveFolder(folder);
}

void BatchState::Save()
{
    const std::lock_guard lock(mutex_);
    for (auto& [path, folder] : folders_) {
        const std::lock_guard folderLock(folder->Mutex);
        if (!folder->Pending.isEmpty())
            SaveFolder(*folder);
    }
}

void BatchState::SaveFolder(Folder& folder)
{
    QElapsedTimer took;
    took.start();
    const QString file = QDir(folder.Path).filePath(QLatin1String(BatchStateName));
    {
        const FolderLock lock(folder.Path);
        // What other shards and processes wrote since, with ours over it.
        QHash<QString, std::pair<QString, QString>> entries = ReadState(file);
        for (auto it = folder.Pending.constBegin(); it != folder.Pending.constEnd(); ++it)
            entries.insert(it.key(), it.value());
        QJsonObject pictures;
        for (auto it = entries.constBegin(); it != entries.constEnd(); ++it)
            pictures.insert(it.key(), QJsonObject{{QStringLiteral("fingerprint"), it->first},
                                                  {QStringLiteral("file"), it->second}});
        const QJsonObject state{{QStringLiteral("pictures"), pictures}};
        folder.Entries = entries.size();
        try {
            WriteFileAtomically(file, QJsonDocument(state).toJson(QJsonDocument::Compact));
            folder.Pending.clear();
        } catch (const ImageError&) {
            // Not saved: those rows are drawn again by a resume, nothing worse.
        }
    }
    folder.LastSaveNs = took.nsecsElapsed();
    folder.SinceSave.start();
}
