#pragma once
// The error dialog: shows an unexpected error and offers to turn it into a
// mail to support.
#include <QDialog>

class Prompts;
class QCheckBox;
class QLabel;
class QPushButton;

class ErrorReport : public QDialog {
    Q_OBJECT
public:
    explicit ErrorReport(const QString& message, QWidget* owner = nullptr);

    QLabel* headingLabel = nullptr;
    QLabel* hintLabel = nullptr;
    QLabel* messageLabel = nullptr;
    QPushButton* okButton = nullptr;
    QCheckBox* sendMailBox = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};

// Shows the error and, when the user ticks "Send email report to the
// author", opens a mail draft to support. It returns normally: the caller
// abandons its operation right after it, without showing the error again.
void ReportError(const QString& message, QWidget* owner, Prompts& prompts);
