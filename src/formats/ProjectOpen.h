#pragma once
// Opening a project file, the same for the window and the command line: the
// record is read and checked before anything changes, then put into the
// document. Cover paths keep the text the file stores
// (a re-saved project writes them back unchanged); a relative one is read
// from the project's folder.
#include "formats/ProjectFile.h"

#include <QString>

#include <optional>

class BoxDocument;

struct OpenedProject {
    ProjectData Data;
    QString Folder; // the project file's folder, with no separator at the end
};

// Nothing when there is no such file; a damaged or newer file throws
// ProjectError, and nothing has changed then.
std::optional<OpenedProject> ReadProjectFile(const QString& path);

// The record into the document (see ApplyProject) with its cover paths and
// output folder. The pictures are left to the caller.
void OpenProjectInto(const OpenedProject& project, BoxDocument& document);
