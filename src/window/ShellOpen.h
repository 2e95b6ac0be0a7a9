#pragma once
#include <QString>

class QObject;
class QUrl;

// Asks the desktop to open a document, folder, web page or "mailto:" draft.
// Local paths go as file URLs. True when the desktop accepted the request;
// false, and nothing launched, when it has no program to hand it to.
bool ShellOpen(const QString& target);

// Whether the desktop has a program for `url`: a handler of the program's
// own for its scheme, or on a free desktop without a portal an opener on
// PATH (xdg-open; for a web page also $BROWSER). Qt's answer alone cannot
// be trusted there: without xdg-open it may find some other program, or
// none, and says true once anything started.
bool DesktopCanOpen(const QUrl& url);

// A handler of the program's own for a scheme (QDesktopServices's), known
// to DesktopCanOpen.
void SetUrlHandler(const QString& scheme, QObject* receiver, const char* method);
void UnsetUrlHandler(const QString& scheme);

// What is said when ShellOpen found no program for a page or a mail.
QString NoBrowserText(const QString& page);
QString NoMailText(const QString& address);

enum class FolderOpening { Opened, NoSuchFolder, Refused };

// Opens a folder of this machine and never anything else: the path may come
// from a downloaded project, so a URL, a relative path or another machine's
// share is no folder here, and nothing is launched for it.
FolderOpening OpenLocalFolder(const QString& folder);
