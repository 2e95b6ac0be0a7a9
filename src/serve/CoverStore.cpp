#include "serve/CoverStore.h"

#include "formats/AtomicFile.h"
#include "formats/ImageCodec.h"
#include "serve/ServeError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <openssl/evp.h>

#include <vector>

namespace {

// The extension a Targa needs to be read as one (it has no signature).
const char* Extension(PictureKind kind)
{
    switch (kind) {
    case PictureKind::Jpeg: return ".jpg";
    case PictureKind::Png: return ".png";
    case PictureKind::Gif: return ".gif";
    case PictureKind::Bmp: return ".bmp";
    case PictureKind::Tga: return ".tga";
    case PictureKind::Unknown: break;
    }
    return ".bin";
}

// The bytes' SHA-256 in hex. OpenSSL's, which uses the processor's SHA
// instructions: every request hashes its covers, and Qt's own SHA-256 took
// several times as long as the rest of reading a 3000 x 2000 JPEG upload.
QString ContentHash(std::string_view bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr) != 1)
        throw ServeError(500, QStringLiteral("the cover could not be hashed"));
    return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(digest), static_cast<qsizetype>(length)).toHex());
}

} // namespace

CoverStore::CoverStore(std::int64_t keepBytes) : dir_(QDir::tempPath() + QStringLiteral("/cubiform-serve-XXXXXX")), keepBytes_(keepBytes)
{
    if (dir_.isValid())
        QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

CoverStore::~CoverStore() = default;

std::shared_ptr<const StoredCover> CoverStore::Put(std::string_view bytes, PictureKind kind, QSize pixels)
{
    const QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    const QString id = ContentHash(bytes);
    const std::lock_guard lock(mutex_);
    Entry& entry = entries_[id];
    if (entry.Path.isEmpty()) {
        entry.Path = dir_.filePath(id + QLatin1String(Extension(kind)));
        entry.Bytes = static_cast<std::int64_t>(bytes.size());
        entry.Pixels = pixels;
        try {
            WriteFileAtomically(entry.Path, data);
        } catch (const ImageError&) {
            entries_.erase(id);
            throw ServeError(507, QStringLiteral("no room to keep the cover"));
        }
    }
    std::shared_ptr<const StoredCover> held = Hold(id, entry);
    Evict();
    return held;
}

std::shared_ptr<const StoredCover> CoverStore::Find(const QString& id)
{
    const std::lock_guard lock(mutex_);
    const auto found = entries_.find(id);
    return found == entries_.end() ? nullptr : Hold(id, found->second);
}

std::shared_ptr<const StoredCover> CoverStore::Hold(const QString& id, Entry& entry)
{
    std::shared_ptr<const StoredCover> held = entry.Held.lock();
    if (!held) {
        held = std::make_shared<const StoredCover>(id, entry.Path, entry.Pixels);
        entry.Held = held;
    }
    entry.LastUse = ++uses_;
    return held;
}

QSize CoverStore::PixelsAt(const QString& path) const
{
    // A file's name is its id and the extension its kind needs.
    const std::lock_guard lock(mutex_);
    const auto found = entries_.find(QFileInfo(path).completeBaseName());
    return found != entries_.end() && found->second.Path == path ? found->second.Pixels : QSize();
}

int CoverStore::Count() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<int>(entries_.size());
}

void CoverStore::Evict()
{
    std::int64_t total = 0;
    for (const auto& [key, entry] : entries_)
        total += entry.Bytes;
    while (total > keepBytes_) {
        auto oldest = entries_.end();
        for (auto it = entries_.begin(); it != entries_.end(); ++it)
            if (it->second.Held.expired() && (oldest == entries_.end() || it->second.LastUse < oldest->second.LastUse))
                oldest = it;
        if (oldest == entries_.end())
            return; // everything left is in use
        QFile::remove(oldest->second.Path);
        total -= oldest->second.Bytes;
        entries_.erase(oldest);
    }
}
