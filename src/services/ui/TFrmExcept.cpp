#include "services/ui/TFrmExcept.h"

#include "app/ui/Prompts.h"
#include "services/MailLinks.h"
#include "services/ui/ScreenCentre.h"
#include "services/ui/ShellOpen.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TFrmExcept::TFrmExcept(const QString& message, QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmExcept"));
    setWindowTitle(QStringLiteral("Error encountered"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    Label1 = new QLabel(QStringLiteral("Congratulation. You have spot an error in this program"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    QFont bold = Label1->font();
    bold.setBold(true);
    Label1->setFont(bold);
    Label2 = new QLabel(QStringLiteral("Error:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    lbErrorMsg = new QLabel(message, this);
    lbErrorMsg->setObjectName(QStringLiteral("lbErrorMsg"));
    // The message is shown as it is: never read as rich text.
    lbErrorMsg->setTextFormat(Qt::PlainText);
    lbErrorMsg->setWordWrap(true);
    lbErrorMsg->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lbErrorMsg->setMinimumWidth(360);
    cbSendMail = new QCheckBox(QStringLiteral("Send email report to the author"), this);
    cbSendMail->setObjectName(QStringLiteral("cbSendMail"));
    bOK = new QPushButton(QStringLiteral("OK"), this);
    bOK->setObjectName(QStringLiteral("bOK"));
    bOK->setDefault(true);
    connect(bOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* rows = new QVBoxLayout(this);
    rows->addWidget(Label1);
    rows->addSpacing(8);
    rows->addWidget(Label2);
    rows->addWidget(lbErrorMsg);
    rows->addSpacing(8);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cbSendMail);
    bottom->addStretch(1);
    bottom->addWidget(bOK);
    rows->addLayout(bottom);
    // A fixed dialog border: the size follows the contents only.
    rows->setSizeConstraint(QLayout::SetFixedSize);
}

void TFrmExcept::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QApplication::beep();
}

void ReportError(const QString& message, QWidget* owner, Prompts& prompts)
{
    TFrmExcept dialog(message, owner);
    CentreOnScreen(dialog);
    prompts.Exec(dialog);
    if (dialog.cbSendMail->isChecked())
        ShellOpen(ErrorReportMail(message));
}
