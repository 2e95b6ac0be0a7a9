#pragma once
// Replacing a file in one step: the bytes go to a temporary file in the
// target's folder, are flushed to the disk, and the temporary file is renamed
// over the target. A failure at any step leaves an older file of that name as
// it was and removes the temporary file.
#include "formats/ImageCodec.h"

#include <QByteArray>
#include <QSet>
#include <QString>

#include <functional>

class FileWriteError : public ImageError {
public:
    enum class Step {
        IsFolder, // the path names a folder
        NoFolder, // the folder the file would go into is not there
        Create,   // the temporary file could not be made
        Write,    // writing or flushing it failed
        Replace,  // it could not be renamed over the path
    };

    // what(): "<path>: is a folder", "<path>: the folder does not exist",
    // "<path>: cannot be opened (<reason>)" or "<path>: cannot be written (<reason>)".
    FileWriteError(Step step, const QString& path, const QString& reason);

    Step FailedStep() const { return step_; }
    const QString& Path() const { return path_; }
    // The system's words for what went wrong.
    const QString& Reason() const { return reason_; }

private:
    Step step_;
    QString path_;
    QString reason_;
};

// Called with the temporary file's name once it is written and flushed, just
// before it is renamed over the target (the name it will have keeps its
// inode, size and time); an exception from it leaves the target as it was.
using BeforeReplace = std::function<void(const QString& temporary)>;

// A symbolic link is followed: the file it names is replaced and the link
// stays. A path that names a device or a pipe is written into directly; there
// is nothing there to replace. A write-protected file is refused; a replaced
// file keeps its permissions. The temporary file is locked (flock) while it
// is written, so a cleanup can tell it from one a killed process left.
// Throws FileWriteError.
void WriteFileAtomically(const QString& path, const QByteArray& bytes, const BeforeReplace& beforeReplace = {});

// Temporary files of WriteFileAtomically in `folder` for one of `names`
// (file names in that folder) that no process holds locked, which only a
// killed writer leaves: they are removed, whatever their age and the process
// number in their name (numbers are reused, and every process of a container
// may be number 1). Returns how many.
int RemoveAbandonedTemporaries(const QString& folder, const QSet<QString>& names);

// True when no process with that number runs on this machine (and it is not
// this one); false when one does, or when that cannot be told.
bool ProcessEnded(qint64 pid);
