#pragma once
// The bearer token from its file, read again when the file changes (a
// Kubernetes Secret's new value, a rotated token) without a restart.
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <mutex>

class TokenFile {
public:
    // Reads the file; throws BadInput when it cannot be read or holds no
    // token, so that the service does not start without one.
    explicit TokenFile(QString path);

    // The token now: when the file's modification time, size or inode has
    // changed, it is read again. A file that cannot be read, or holds no
    // token, then keeps the last good one (a half-written file, say).
    QByteArray Current();

    // One token on one line; nothing when the text is none.
    static QByteArray TokenIn(const QByteArray& text);

private:
    struct Stamp {
        std::int64_t Seconds = 0;
        std::int64_t Nanoseconds = 0;
        std::int64_t Size = -1;
        std::uint64_t Inode = 0;
        friend bool operator==(const Stamp&, const Stamp&) = default;
    };
    bool StampOf(Stamp& stamp) const;
    QByteArray Read(QString* why) const;

    QString path_;
    std::mutex mutex_;
    Stamp seen_;
    QByteArray token_;
};
