#include "window/ErrorReport.h"

#include "services/MailLinks.h"
#include "window/Prompts.h"
#include "window/ScreenCentre.h"
#include "window/ShellOpen.h"

#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

ErrorReport::ErrorReport(const QString& message, QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("FrmExcept"));
    setWindowTitle(QStringLiteral("Error encountered"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    headingLabel = new QLabel(QStringLiteral("Congratulation. You have spot an error in this program"), this);
    headingLabel->setObjectName(QStringLiteral("headingLabel"));
    QFont bold = headingLabel->font();
    bold.setBold(true);
    headingLabel->setFont(bold);
    hintLabel = new QLabel(QStringLiteral("Error:"), this);
    hintLabel->setObjectName(QStringLiteral("hintLabel"));
    messageLabel = new QLabel(message, this);
    messageLabel->setObjectName(QStringLiteral("messageLabel"));
    // The message is shown as it is: never read as rich text.
    messageLabel->setTextFormat(Qt::PlainText);
    messageLabel->setWordWrap(true);
    messageLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    messageLabel->setMinimumWidth(360);
    sendMailBox = new QCheckBox(QStringLiteral("Send email report to the author"), this);
    sendMailBox->setObjectName(QStringLiteral("sendMailBox"));
    okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* rows = new QVBoxLayout(this);
    rows->addWidget(headingLabel);
    rows->addSpacing(8);
    rows->addWidget(hintLabel);
    rows->addWidget(messageLabel);
    rows->addSpacing(8);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(sendMailBox);
    bottom->addStretch(1);
    bottom->addWidget(okButton);
    rows->addLayout(bottom);
    // A fixed dialog border: the size follows the contents only.
    rows->setSizeConstraint(QLayout::SetFixedSize);
}

void ErrorReport::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    QApplication::beep();
}

void ReportError(const QString& message, QWidget* owner, Prompts& prompts)
{
    ErrorReport dialog(message, owner);
    CentreOnScreen(dialog);
    prompts.Exec(dialog);
    if (dialog.sendMailBox->isChecked())
        ShellOpen(ErrorReportMail(message));
}
