#pragma once
// Numbered frames put in place all together or not at all: drawn into a
// hidden staging folder beside them, then swapped in while the frames they
// replace wait aside, so a failure at any frame leaves the earlier turn whole.
#include "engine/JobError.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QTemporaryDir;

// Folders made for the frames, deepest last, so a failed run can take back
// exactly those it made (and only while empty).
struct MadeFolders {
    std::vector<QString> folders;
    bool keep = false;

    void Make(const QString& folder);
    ~MadeFolders();
};

// The lock file inside a staging folder, held for as long as the turntable
// that made it runs.
class StagingLock {
public:
    StagingLock() = default;
    explicit StagingLock(const QString& folder);
    StagingLock(StagingLock&& other) noexcept;
    StagingLock& operator=(StagingLock&& other) noexcept;
    ~StagingLock();

private:
    int fd_ = -1;
};

// Removes the staging folders of turntables killed outright.
void ClearAbandonedStaging(const QString& folder);

// JobError naming the first of `names` in `folder` that a new frame
// could not replace (a folder in its place, a folder that cannot be written).
void CheckFramesReplaceable(const QString& folder, const QStringList& names);

// Moves `from` to `to` as rename does; false with the system's reason.
using FileMove = std::function<bool(const QString& from, const QString& to, QString& why)>;
bool RenameFile(const QString& from, const QString& to, QString& why);

struct FrameSwapError {
    QString Target; // the frame that could not be written
    QString Reason;
    QStringList NotRestored; // earlier frames left in the aside folder
};

// Moves each of `names` from `staged` into `folder`, the pictures they
// replace into `aside`. On a failure the new frames already in are taken
// out and the replaced ones put back: the earlier turn is left whole.
std::optional<FrameSwapError> SwapInFrames(const QString& staged, const QString& folder, const QStringList& names,
                                           const QString& aside, const FileMove& move);

// The staged frames `names` into `folder`, all or none; BadInput naming the
// frame that failed (and where earlier frames wait that could not be put
// back). `made` keeps its folders once anything is in them.
void PutFramesInPlace(QTemporaryDir& staging, const QString& folder, const QStringList& names, MadeFolders& made);
