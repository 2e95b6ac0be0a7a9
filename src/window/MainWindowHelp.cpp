// The help menu: help page, mail, web site, update check, about box.
#include "window/MainWindow.h"

#include "services/HelpPage.h"
#include "services/MailLinks.h"
#include "services/ProductInfo.h"
#include "services/SettingsStore.h"
#include "window/AboutDialog.h"
#include "window/ShellOpen.h"
#include "window/UpdateWindow.h"

#include <QAction>
#include <QDir>
#include <QApplication>
#include <QTimer>

namespace {

const QString PreferenceSection = QStringLiteral("Preference");
const QString AutomaticCheckName = QStringLiteral("Automatic update check");

QString UpdateCheckFailedText()
{
    return QStringLiteral("The update check failed.");
}

// A check the user asked for answers in a message; the automatic one only
// notes it in the status bar.
QString UpdateCheckFailedMessage()
{
    return QStringLiteral("The update check failed: the update server could not be reached or gave "
                          "no answer this program understands. Check the network connection and try "
                          "again later.");
}

} // namespace

void MainWindow::ConnectHelp()
{
    connect(helpContentsAction, &QAction::triggered, this, [this] { HelpContentsClicked(); });
    connect(automaticCheckAction, &QAction::triggered, this,
            [this] { AutomaticCheckClicked(); });
    connect(checkUpdateAction, &QAction::triggered, this, [this] { CheckUpdateClicked(); });
    connect(mailSupportAction, &QAction::triggered, this, [this] { MailSupportClicked(); });
    connect(websiteAction, &QAction::triggered, this, [this] { WebsiteClicked(); });
    connect(aboutAction, &QAction::triggered, this, [this] { AboutClicked(); });
    connect(updateTimer, &QTimer::timeout, this, [this] { UpdateTimerFired(); });

    // The menu item remembers the user's choice across starts.
    bool automatic = false;
    try {
        automatic = Store().LoadFlag(PreferenceSection, AutomaticCheckName, false);
    } catch (const RegistryError& e) {
        startupProblems_ << e.Message();
    }
    automaticCheckAction->setChecked(automatic);
    if (automatic)
        updateTimer->start();
}

// The user asked for these: a failure is said where it cannot be missed,
// naming what could not be opened.
void MainWindow::HelpContentsClicked()
{
    const QString page = QDir::toNativeSeparators(HelpPagePath(ProgramFolder()));
    if (!ShellOpen(page))
        Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), NoBrowserText(page));
}

void MainWindow::MailSupportClicked()
{
    const QString address(ProductInfo::SupportMail);
    if (!ShellOpen(MailDraft(address, QString(ProductInfo::Caption))))
        Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), NoMailText(address));
}

void MainWindow::WebsiteClicked()
{
    const QString site(ProductInfo::WebSite);
    if (!ShellOpen(site))
        Dialogs().Tell(this, QMessageBox::Warning, QString(ProductInfo::Caption), NoBrowserText(site));
}

void MainWindow::AboutClicked()
{
    AboutDialog about(this);
    about.ShowStatus = [this](const QString& text) { ShowStatusMessage(text); };
    Dialogs().Exec(about);
}

void MainWindow::AutomaticCheckClicked()
{
    // The menu has already flipped the check mark.
    const bool on = automaticCheckAction->isChecked();
    try {
        Store().StoreFlag(PreferenceSection, AutomaticCheckName, on);
    } catch (const RegistryError& e) {
        automaticCheckAction->setChecked(!on);
        ShowError(e.Message());
        return;
    }
    updateTimer->start();
}

// One check in its own window; the item stays off until it is done, because
// the request waits in an event loop and a second check could start inside it.
void MainWindow::RunUpdateCheck(UpdateCheckMode mode)
{
    MainWindow& form = *this;
    form.checkUpdateAction->setEnabled(false);
    try {
        UpdateWindow window(form.Store(), form.Dialogs(), &form);
        window.Limits.TimeoutMs = form.updateTimeoutMs_;
        window.ShowStatus = [&form](const QString& text) { form.ShowStatusMessage(text); };
        window.Check(mode, QString(ProductInfo::Version), QString(ProductInfo::ProductName));
        if (window.Failed) {
            form.ShowStatusMessage(UpdateCheckFailedText());
            if (mode == UpdateCheckMode::Manual)
                form.Dialogs().Tell(&form, QMessageBox::Warning, QString(ProductInfo::Caption),
                                    UpdateCheckFailedMessage());
        }
    } catch (const RegistryError& e) {
        form.Dialogs().Tell(&form, QMessageBox::Critical, QString(ProductInfo::Caption), e.Message());
    } catch (const std::exception& e) {
        form.Dialogs().Tell(&form, QMessageBox::Critical, QString(ProductInfo::Caption), QString::fromUtf8(e.what()));
    }
    form.checkUpdateAction->setEnabled(true);
}

void MainWindow::CheckUpdateClicked()
{
    if (checkUpdateAction->isEnabled())
        RunUpdateCheck(UpdateCheckMode::Manual);
}

void MainWindow::UpdateTimerFired()
{
    if (!automaticCheckAction->isChecked() || automaticCheckDone_)
        return;
    // Not on top of another question or a running check: try again later.
    if (!checkUpdateAction->isEnabled() || QApplication::activeModalWidget()) {
        updateTimer->start();
        return;
    }
    automaticCheckDone_ = true;
    RunUpdateCheck(UpdateCheckMode::Automatic);
}
