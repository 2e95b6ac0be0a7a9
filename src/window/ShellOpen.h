#pragma once
#include <QString>

// Asks the desktop to open a document, folder, web page or "mailto:" draft.
// Local paths go as file URLs. True when the desktop accepted the request.
bool ShellOpen(const QString& target);

// What the status bar says when ShellOpen found no program for a page or a mail.
QString NoBrowserText();
QString NoMailText();

enum class FolderOpening { Opened, NoSuchFolder, Refused };

// Opens a folder of this machine and never anything else: the path may come
// from a downloaded project, so a URL, a relative path or another machine's
// share is no folder here, and nothing is launched for it.
FolderOpening OpenLocalFolder(const QString& folder);
