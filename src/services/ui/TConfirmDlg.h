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
class TMyRegistry;

class TConfirmDlg : public QDialog {
    Q_OBJECT
public:
    explicit TConfirmDlg(QWidget* owner = nullptr);

    // Fills the text, one line per "\n"-separated piece, and turns the
    // dialog into the information kind when asked.
    void SetMessage(const ConfirmMessage& message);

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* bOK = nullptr;
    QPushButton* bCancel = nullptr;
    QLabel* Image1 = nullptr; // question picture
    QLabel* Image2 = nullptr; // information picture
    QCheckBox* cbNoMore = nullptr;
};

// True means go ahead. A key whose stored choice is true answers at once
// without showing anything. When "Don't show this message again" is ticked
// the choice is stored, whichever button closed the dialog. Store errors
// (RegistryError) pass to the caller.
bool AskConfirmation(const ConfirmMessage& message, QWidget* owner, TMyRegistry& store,
                     Prompts& prompts);
