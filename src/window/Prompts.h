#pragma once
// Every modal question the window asks goes through this interface: the real
// one shows Qt dialogs, tests answer from a script.
#include <QColor>
#include <QMessageBox>
#include <QString>

#include <optional>

class QDialog;
class QWidget;

struct FileDialogRequest {
    QString Title;       // empty: the platform's default title
    QString StartFolder;
    QString FileName;    // preset file name, may be empty
    QString Filter;      // "Name (*.a;*.b)|*.a;*.b|..." pairs, as the dialogs list them
    QString DefaultSuffix;
    bool ConfirmOverwrite = false;
};

// Makes a message box wide enough that its title is never cut.
void WidenForTitle(QMessageBox& box);

class Prompts {
public:
    virtual ~Prompts() = default;
    // The chosen path, or empty when cancelled.
    virtual QString OpenFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual QString SaveFile(QWidget* parent, const FileDialogRequest& request) = 0;
    virtual std::optional<QColor> PickColor(QWidget* parent, const QColor& initial) = 0;
    // The chosen folder, or empty when cancelled.
    virtual QString PickFolder(QWidget* parent, const QString& comment, const QString& startFolder) = 0;
    virtual QMessageBox::StandardButton Ask(QWidget* parent, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons) = 0;
    virtual void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                      const QString& text) = 0;
    // Runs one of the program's own modal dialogs; returns its result code
    // (QDialog::Accepted / Rejected). Tests drive the dialog instead.
    virtual int Exec(QDialog& dialog) = 0;
};

// Turns "Text|*.a;*.b|Other|*.c" into Qt's "Text (*.a *.b);;Other (*.c)".
QString QtFileFilter(const QString& pairs);

// Gives the box its buttons. Escape and the close box answer Cancel, also
// when no Cancel button is offered: Qt would otherwise answer No.
void PrepareQuestion(QMessageBox& box, QMessageBox::StandardButtons buttons);

class QtPrompts final : public Prompts {
public:
    QString OpenFile(QWidget* parent, const FileDialogRequest& request) override;
    QString SaveFile(QWidget* parent, const FileDialogRequest& request) override;
    std::optional<QColor> PickColor(QWidget* parent, const QColor& initial) override;
    QString PickFolder(QWidget* parent, const QString& comment, const QString& startFolder) override;
    QMessageBox::StandardButton Ask(QWidget* parent, const QString& title, const QString& text,
                                    QMessageBox::StandardButtons buttons) override;
    void Tell(QWidget* parent, QMessageBox::Icon icon, const QString& title,
              const QString& text) override;
    int Exec(QDialog& dialog) override;
};
