#pragma once
// The main window's own preferences and the install identifier. Start-up must
// survive a damaged store: each value that cannot be read or written is
// reported in the returned list and its default is kept.
#include "services/SettingsStore.h"

#include <QString>
#include <QStringList>

class BoxDocument;

// The folders the window remembers besides the document's output folder;
// each ends with the platform's separator.
struct Folders {
    QString ProjectFolder;
    QString DataFolder;
};

// "Main"/"GUID", created as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" when empty.
QStringList EnsureInstallId(SettingsStore& store);

// Defaults are the values the folders and the document hold when called
// (the output folder is the document's).
// The size mode, box kind and surrounding are only selected; the colour is
// applied together with the fog mode.
QStringList LoadPreferences(SettingsStore& store, BoxDocument& document, Folders& folders);

// Writes all seven values, also after one of them failed; the returned list
// holds one "Failed to set data for '<name>'" per value that was not written.
QStringList SavePreferences(SettingsStore& store, const BoxDocument& document, const Folders& folders);

// The looks last used, in a section of their own ("Looks"), so that the
// seven values above stay as they are. Values are clamped into their ranges
// as the document takes them; one that cannot be read keeps what the
// document holds and is reported.
QStringList LoadLookPreferences(SettingsStore& store, BoxDocument& document);
QStringList SaveLookPreferences(SettingsStore& store, const BoxDocument& document);
