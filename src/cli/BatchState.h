#pragma once
// What made each picture of a batch, kept in one small hidden file per
// output folder (.cubiform-batch.json), so that --skip-existing redraws a
// row when its options, its project, its covers or the program changed and
// keeps only pictures it knows to be the row's. The pictures themselves are
// not touched. Several workers, shards and processes may share a folder:
// each writes under a lock file (.cubiform-batch.lock), merging what the
// others wrote. A missing or damaged state only means "redraw".
#include "engine/OutputGuard.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <mutex>
#include <vector>

inline constexpr char BatchStateName[] = ".cubiform-batch.json";
inline constexpr char BatchStateLockName[] = ".cubiform-batch.lock";

class BatchState {
public:
    BatchState();
    ~BatchState();
    BatchState(const BatchState&) = delete;
    BatchState& operator=(const BatchState&) = delete;

    // The program's version, the row's render arguments and the content,
    // size and time of each input, in one hash. A file read for several rows
    // is hashed once.
    QString Fingerprint(const QStringList& arguments, const std::vector<JobFile>& inputs);

    // The output is there, is the very file written for this fingerprint,
    // and nothing has changed it since.
    bool UpToDate(const QString& output, const QString& fingerprint);

    // `written` (the picture about to be renamed to `output`) was made for
    // the fingerprint. Saved at once while saving is quick, else with a later
    // row or by Save; a failure to save only means a later redraw.
    void Record(const QString& output, const QString& written, const QString& fingerprint);

    // Everything recorded and not yet saved.
    void Save();

private:
    struct Folder;
    Folder& FolderOf(const QString& output, QString& name);
    QString ContentHash(const QString& file);
    static void SaveFolder(Folder& folder);

    std::mutex mutex_;
    std::map<QString, std::unique_ptr<Folder>> folders_;
    std::mutex hashMutex_;
    QHash<QString, QString> hashes_; // file + its size and time -> its content's hash
};

// "inode:size:modified-ns" of a file; empty when it cannot be read.
QString FileStamp(const QString& path);
