#include "window/ConfirmDialog.h"

#include "services/SettingsStore.h"
#include "window/Prompts.h"
#include "window/ScreenCentre.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>

namespace {

const QString DialogsSection = QStringLiteral("Dialogs");

QLabel* Picture(QWidget* parent, const char* name, QStyle::StandardPixmap which)
{
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(12, 12, 32, 32);
    label->setPixmap(parent->style()->standardIcon(which, nullptr, parent).pixmap(32, 32));
    return label;
}

} // namespace

ConfirmDialog::ConfirmDialog(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("ConfirmDlg"));
    setWindowTitle(QStringLiteral("Confirmation"));
    setFixedSize(420, 168);

    questionIcon = Picture(this, "questionIcon", QStyle::SP_MessageBoxQuestion);
    informationIcon = Picture(this, "informationIcon", QStyle::SP_MessageBoxInformation);
    informationIcon->hide();

    textView = new QPlainTextEdit(this);
    textView->setObjectName(QStringLiteral("textView"));
    textView->setReadOnly(true);
    textView->setFrameShape(QFrame::NoFrame);
    textView->setFocusPolicy(Qt::NoFocus);
    textView->setGeometry(56, 12, 352, 96);
    // Blend into the dialog like a label.
    textView->viewport()->setAutoFillBackground(false);
    textView->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));

    dontAskAgainBox = new QCheckBox(QStringLiteral("Don't show this message again"), this);
    dontAskAgainBox->setObjectName(QStringLiteral("dontAskAgainBox"));
    dontAskAgainBox->setGeometry(12, 132, 220, 24);

    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setGeometry(250, 130, 75, 27);
    okButton->setDefault(true);
    cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    cancelButton->setObjectName(QStringLiteral("cancelButton"));
    cancelButton->setGeometry(333, 130, 75, 27);

    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
}

void ConfirmDialog::SetMessage(const ConfirmMessage& message)
{
    textView->setPlainText(message.text);
    if (message.kind == ConfirmMessage::Information) {
        setWindowTitle(QStringLiteral("Information"));
        cancelButton->hide();
        okButton->move(cancelButton->pos());
        questionIcon->hide();
        informationIcon->show();
    }
}

bool AskConfirmation(const ConfirmMessage& message, QWidget* owner, SettingsStore& store,
                     Prompts& prompts)
{
    // A message without a key has nowhere to keep the choice.
    const bool remembered = !message.key.isEmpty();
    if (remembered && store.LoadFlag(DialogsSection, message.key, false))
        return true;
    ConfirmDialog dialog(owner);
    dialog.SetMessage(message);
    CentreOnScreen(dialog);
    const bool ok = prompts.Exec(dialog) == QDialog::Accepted;
    if (remembered && dialog.dontAskAgainBox->isChecked())
        store.StoreFlag(DialogsSection, message.key, true);
    return ok;
}
