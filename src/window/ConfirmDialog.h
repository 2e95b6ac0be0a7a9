#pragma once
// The confirmation dialog with its "Don't show this message again" memory,
// kept in section "Dialogs" of the settings under the message's key.
#include "services/ConfirmMessage.h"

#include <QDialog>

class Prompts;
class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class SettingsStore;

class ConfirmDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConfirmDialog(QWidget* owner = nullptr);

    // Fills the text, one line per "\n"-separated piece, and turns the
    // dialog into the information kind when asked.
    void SetMessage(const ConfirmMessage& message);

    QPlainTextEdit* textView = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QLabel* questionIcon = nullptr; // question picture
    QLabel* informationIcon = nullptr; // information picture
    QCheckBox* dontAskAgainBox = nullptr;
};

// True means go ahead. A key whose stored choice is true answers at once
// without showing anything. When "Don't show this message again" is ticked
// the choice is stored, whichever button closed the dialog. Store errors
// (RegistryError) pass to the caller.
bool AskConfirmation(const ConfirmMessage& message, QWidget* owner, SettingsStore& store,
                     Prompts& prompts);
