#pragma once
// The update-check window: asks the maker's server for the latest version
// and shows its release notes with a link to the download page.
#include "services/UpdateCheck.h"
#include "services/UpdateFetcher.h"

#include <QDialog>

#include <functional>

class Prompts;
class QPlainTextEdit;
class QPushButton;
class SettingsStore;

class UpdateWindow : public QDialog {
    Q_OBJECT
public:
    UpdateWindow(SettingsStore& store, Prompts& prompts, QWidget* owner = nullptr);

    // Runs the exchange and shows the window when due; true when it was
    // shown. Network failures and refused replies show nothing but set
    // Failed; store errors (RegistryError) pass to the caller. A busy cursor
    // shows while waiting.
    bool Check(UpdateCheckMode mode, const QString& currentVersion, const QString& productName);

    void DownloadClicked(); // "Download"
    void CloseClicked(); // "Close"

    QPlainTextEdit* textView = nullptr;
    QPushButton* downloadButton = nullptr;
    QPushButton* closeButton = nullptr;

    QString CurrentVersion;
    QString ProductName;
    QString LatestVersion = QStringLiteral("1.00");
    QString UpdateWebsite;
    QString DownloadURL;
    bool Failed = false; // the last Check asked and got no usable reply

    // Where "Download" reports that no browser could be started; may be empty.
    std::function<void(const QString&)> ShowStatus;

    // How the reply is fetched; tests shorten the deadline or answer it.
    FetchLimits Limits;
    UpdateCheck::FetchFunction Fetch;

private:
    SettingsStore& store_;
    Prompts& prompts_;
};
