#pragma once
// Whether two names lead to one file, so a command can refuse to write over
// what it reads. A file that exists is known by its device and inode (hard
// links, symbolic links and any spelling of its path agree); one that does
// not yet exist by its absolute path with "." and ".." taken out and the
// symbolic links of its existing part followed.
#include <QString>

#include <cstdint>

struct FileIdentity {
    bool Exists = false;
    std::uint64_t Device = 0;
    std::uint64_t Inode = 0;
    QString Path; // normalised; compared only when the file does not exist

    static FileIdentity Of(const QString& path);

    // One string per file: equal keys, the same file (for hash maps).
    QString Key() const;

    friend bool operator==(const FileIdentity& a, const FileIdentity& b)
    {
        if (a.Exists != b.Exists)
            return false;
        return a.Exists ? a.Device == b.Device && a.Inode == b.Inode : a.Path == b.Path;
    }
    friend bool operator!=(const FileIdentity& a, const FileIdentity& b) { return !(a == b); }
};

// The absolute path with "." and "..", repeated separators and symbolic
// links resolved as the system would resolve them, also for the parts that
// do not exist yet (as "realpath -m" does).
QString NormalisedPath(const QString& path);

inline bool SameFile(const QString& a, const QString& b) { return FileIdentity::Of(a) == FileIdentity::Of(b); }
