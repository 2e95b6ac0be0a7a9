#pragma once
// The folder picker: a start folder in, the chosen folder out, always ending
// with the platform's separator.
#include <QObject>
#include <QString>

#include <functional>

class QDialog;
class QFileDialog;
class QWidget;

class FolderPicker : public QObject {
    Q_OBJECT
public:
    explicit FolderPicker(QObject* parent = nullptr);

    QString Directory;   // start folder in, chosen folder out
    QString Comment;     // the instruction shown as the picker's title
    bool ShowFiles = false;
    QString DisplayName() const { return displayName_; }

    // True with Directory set when a folder was chosen, also a typed one that
    // does not exist yet; false on cancel, leaving Directory as it was.
    bool Execute(QWidget* owner = nullptr);

    // Runs the prepared picker; tests answer it here instead of a person.
    std::function<int(QFileDialog&)> Run;

    // Sets up the picker: title, mode and, when it exists, the start folder.
    void Prepare(QFileDialog& dialog) const;

private:
    QString displayName_;
};

// The path as this program keeps folders: native separators and one trailing
// separator ("/" and "C:\" stay as they are); empty stays empty.
QString FolderWithSeparator(const QString& path);

// The user's pictures folder when it exists, else the home folder; with a
// trailing separator. Where picking covers starts before any pick.
QString UserPicturesFolder();

// The user's documents folder when it exists, else the home folder; with a
// trailing separator. Where the project dialogs start before any pick.
QString UserDocumentsFolder();

// The folder when it still exists, else the fallback: a remembered folder
// that was removed sends a dialog to a sensible place, not the working folder.
QString ExistingFolderOr(const QString& folder, const QString& fallback);
