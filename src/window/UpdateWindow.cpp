#include "window/UpdateWindow.h"

#include "services/SettingsStore.h"
#include "window/BusyCursor.h"
#include "window/ConfirmDialog.h"
#include "window/Prompts.h"
#include "window/ScreenCentre.h"
#include "window/ShellOpen.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

UpdateWindow::UpdateWindow(SettingsStore& store, Prompts& prompts, QWidget* owner)
    : QDialog(owner), store_(store), prompts_(prompts)
{
    setObjectName(QStringLiteral("CheckUpdate"));
    setWindowTitle(QStringLiteral("There is a new update"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(382, 242);

    textView = new QPlainTextEdit(this);
    textView->setObjectName(QStringLiteral("textView"));
    textView->setReadOnly(true);
    textView->setLineWrapMode(QPlainTextEdit::NoWrap);
    textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    textView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    downloadButton = new QPushButton(QStringLiteral("Download"), this);
    downloadButton->setObjectName(QStringLiteral("downloadButton"));
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setDefault(true);
    connect(downloadButton, &QPushButton::clicked, this, &UpdateWindow::DownloadClicked);
    connect(closeButton, &QPushButton::clicked, this, &UpdateWindow::CloseClicked);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 4, 4, 4);
    rows->addWidget(textView, 1);
    auto* strip = new QHBoxLayout;
    strip->addStretch(1);
    strip->addWidget(downloadButton);
    strip->addWidget(closeButton);
    rows->addLayout(strip);

    Fetch = [this](const QUrl& url) { return FetchBlocking(url, Limits); };
}

bool UpdateWindow::Check(UpdateCheckMode mode, const QString& currentVersion,
                         const QString& productName)
{
    CurrentVersion = currentVersion;
    ProductName = productName;
    UpdateCheck check(
        store_,
        [this](const QUrl& url) -> std::optional<QByteArray> {
            BusyCursor busy;
            return Fetch ? Fetch(url) : std::nullopt;
        },
        [this](const ConfirmMessage& message) {
            return AskConfirmation(message, parentWidget(), store_, prompts_);
        });
    check.LatestVersion = LatestVersion;
    const UpdateCheckResult result = check.Check(mode, currentVersion, productName);
    LatestVersion = check.LatestVersion;
    UpdateWebsite = check.UpdateWebsite;
    DownloadURL = check.DownloadURL;
    Failed = result.Failed;
    if (!result.Show)
        return false;
    setWindowTitle(result.Caption);
    textView->setPlainText(result.Memo.join(QLatin1Char('\n')));
    CentreOnScreen(*this);
    prompts_.Exec(*this);
    return true;
}

void UpdateWindow::DownloadClicked()
{
    // Only a web page: the stored address came from a server reply.
    QUrl target;
    try {
        target = UpdateCheck(store_, {}, {}).DownloadTarget();
    } catch (const RegistryError& e) {
        prompts_.Tell(this, QMessageBox::Warning, windowTitle(), e.Message());
        return;
    }
    if (!ShellOpen(target.toString(QUrl::FullyEncoded)) && ShowStatus)
        ShowStatus(NoBrowserText(target.toDisplayString()));
}

void UpdateWindow::CloseClicked()
{
    reject();
}
