#pragma once
// Uploaded covers, kept as files in a folder of the service's own (made
// private, removed at the end) and named by their content, so that the
// command line's cover reading and each worker's cache of textures take
// them as they take any cover file: the same bytes sent again are the same
// file, read once per worker. Never a name a request gives. A cover's id is
// its content hash: a request may name a cover the store still keeps.
#include "formats/PictureKind.h"

#include <QSize>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string_view>

class StoredCover;

class CoverStore {
public:
    // Keeps at most `keepBytes` of covers no request holds.
    explicit CoverStore(std::int64_t keepBytes = std::int64_t{256} << 20);
    ~CoverStore();
    CoverStore(const CoverStore&) = delete;
    CoverStore& operator=(const CoverStore&) = delete;

    bool IsValid() const { return dir_.isValid(); }
    QString Folder() const { return dir_.path(); }

    // The file holding these bytes, written when they are new. While the
    // handle lives the file stays. Throws ServeError (507) when it cannot be
    // written.
    // `pixels` is what the cover's header says.
    std::shared_ptr<const StoredCover> Put(std::string_view bytes, PictureKind kind, QSize pixels);
    // The cover of that id, held as Put holds it; nothing when the store
    // never had it or has let it go.
    std::shared_ptr<const StoredCover> Find(const QString& id);
    // The pixels of the cover in that file (a StoredCover's Path); empty
    // when it is none of the store's.
    QSize PixelsAt(const QString& path) const;

    int Count() const;

private:
    struct Entry {
        QString Path;
        QSize Pixels;
        std::int64_t Bytes = 0;
        std::uint64_t LastUse = 0;
        std::weak_ptr<const StoredCover> Held;
    };
    void Evict(); // under the lock

    QTemporaryDir dir_;
    std::int64_t keepBytes_;
    mutable std::mutex mutex_;
    std::shared_ptr<const StoredCover> Hold(const QString& id, Entry& entry); // under the lock

    std::map<QString, Entry> entries_; // by id
    std::uint64_t uses_ = 0;
};

class StoredCover {
public:
    StoredCover(QString id, QString path, QSize pixels) : id_(std::move(id)), path_(std::move(path)), pixels_(pixels) {}
    const QString& Id() const { return id_; }
    const QString& Path() const { return path_; }
    QSize Pixels() const { return pixels_; }

private:
    QString id_;
    QString path_;
    QSize pixels_;
};
