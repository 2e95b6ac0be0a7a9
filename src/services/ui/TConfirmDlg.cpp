#include "services/ui/TConfirmDlg.h"

#include "app/TMyRegistry.h"
#include "app/ui/Prompts.h"
#include "services/ui/ScreenCentre.h"

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

TConfirmDlg::TConfirmDlg(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("ConfirmDlg"));
    setWindowTitle(QStringLiteral("Confirmation"));
    setFixedSize(420, 168);

    Image1 = Picture(this, "Image1", QStyle::SP_MessageBoxQuestion);
    Image2 = Picture(this, "Image2", QStyle::SP_MessageBoxInformation);
    Image2->hide();

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setFrameShape(QFrame::NoFrame);
    Memo1->setFocusPolicy(Qt::NoFocus);
    Memo1->setGeometry(56, 12, 352, 96);
    // Blend into the dialog like a label.
    Memo1->viewport()->setAutoFillBackground(false);
    Memo1->setStyleSheet(QStringLiteral("QPlainTextEdit { background: transparent; }"));

    cbNoMore = new QCheckBox(QStringLiteral("Don't show this message again"), this);
    cbNoMore->setObjectName(QStringLiteral("cbNoMore"));
    cbNoMore->setGeometry(12, 132, 220, 24);

    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setObjectName(QStringLiteral("bOK"));
    bOK->setGeometry(250, 130, 75, 27);
    bOK->setDefault(true);
    bCancel = new QPushButton(QStringLiteral("Cancel"), this);
    bCancel->setObjectName(QStringLiteral("bCancel"));
    bCancel->setGeometry(333, 130, 75, 27);

    connect(bOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(bCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TConfirmDlg::SetMessage(const ConfirmMessage& message)
{
    Memo1->setPlainText(message.text);
    if (message.kind == ConfirmMessage::Information) {
        setWindowTitle(QStringLiteral("Information"));
        bCancel->hide();
        bOK->move(bCancel->pos());
        Image1->hide();
        Image2->show();
    }
}

bool AskConfirmation(const ConfirmMessage& message, QWidget* owner, TMyRegistry& store,
                     Prompts& prompts)
{
    // A message without a key has nowhere to keep the choice.
    const bool remembered = !message.key.isEmpty();
    if (remembered && store.LoadFlag(DialogsSection, message.key, false))
        return true;
    TConfirmDlg dialog(owner);
    dialog.SetMessage(message);
    CentreOnScreen(dialog);
    const bool ok = prompts.Exec(dialog) == QDialog::Accepted;
    if (remembered && dialog.cbNoMore->isChecked())
        store.StoreFlag(DialogsSection, message.key, true);
    return ok;
}
