// The help menu: help page, mail, web site, update check, about box.
#include "app/ui/TForm1.h"

#include "app/TMyRegistry.h"
#include "services/HelpPage.h"
#include "services/MailLinks.h"
#include "services/ProductInfo.h"
#include "services/ui/ShellOpen.h"
#include "services/ui/TAboutForm.h"
#include "services/ui/TCheckUpdate.h"

#include <QAction>
#include <QApplication>
#include <QTimer>

namespace {

const QString PreferenceSection = QStringLiteral("Preference");
const QString AutomaticCheckName = QStringLiteral("Automatic update check");

QString UpdateCheckFailedText()
{
    return QStringLiteral("The update check failed.");
}

} // namespace

void TForm1::ConnectHelp()
{
    connect(Contents1, &QAction::triggered, this, [this] { Contents1Click(); });
    connect(Checkupdateautomatically1, &QAction::triggered, this,
            [this] { Checkupdateautomatically1Click(); });
    connect(Checkupdate1, &QAction::triggered, this, [this] { Checkupdate1Click(); });
    connect(Emailsupport1, &QAction::triggered, this, [this] { Emailsupport1Click(); });
    connect(Website1, &QAction::triggered, this, [this] { Website1Click(); });
    connect(About1, &QAction::triggered, this, [this] { About1Click(); });
    connect(TimerUpdate, &QTimer::timeout, this, [this] { TimerUpdateTimer(); });

    // The menu item remembers the user's choice across starts.
    bool automatic = false;
    try {
        automatic = Store().LoadFlag(PreferenceSection, AutomaticCheckName, false);
    } catch (const RegistryError& e) {
        StartupProblems << e.Message();
    }
    Checkupdateautomatically1->setChecked(automatic);
    if (automatic)
        TimerUpdate->start();
}

void TForm1::Contents1Click()
{
    if (!ShellOpen(HelpPagePath(ProgramFolder())))
        ShowStatusMessage(NoBrowserText());
}

void TForm1::Emailsupport1Click()
{
    if (!ShellOpen(MailDraft(QString(ProductInfo::SupportMail), windowTitle())))
        ShowStatusMessage(NoMailText());
}

void TForm1::Website1Click()
{
    if (!ShellOpen(QString(ProductInfo::WebSite)))
        ShowStatusMessage(NoBrowserText());
}

void TForm1::About1Click()
{
    TAboutForm about(this);
    about.ShowStatus = [this](const QString& text) { ShowStatusMessage(text); };
    Dialogs().Exec(about);
}

void TForm1::Checkupdateautomatically1Click()
{
    // The menu has already flipped the check mark.
    const bool on = Checkupdateautomatically1->isChecked();
    try {
        Store().StoreFlag(PreferenceSection, AutomaticCheckName, on);
    } catch (const RegistryError& e) {
        Checkupdateautomatically1->setChecked(!on);
        ShowError(e.Message());
        return;
    }
    TimerUpdate->start();
}

namespace {

// One check in its own window; the item stays off until it is done, because
// the request waits in an event loop and a second check could start inside it.
void RunUpdateCheck(TForm1& form, UpdateCheckMode mode)
{
    form.Checkupdate1->setEnabled(false);
    try {
        TCheckUpdate window(form.Store(), form.Dialogs(), &form);
        window.Limits.TimeoutMs = form.UpdateTimeoutMs;
        window.ShowStatus = [&form](const QString& text) { form.ShowStatusMessage(text); };
        window.Check(mode, QString(ProductInfo::Version), QString(ProductInfo::ProductName));
        if (window.Failed)
            form.ShowStatusMessage(UpdateCheckFailedText());
    } catch (const RegistryError& e) {
        form.Dialogs().Tell(&form, QMessageBox::Critical, form.windowTitle(), e.Message());
    } catch (const std::exception& e) {
        form.Dialogs().Tell(&form, QMessageBox::Critical, form.windowTitle(), QString::fromUtf8(e.what()));
    }
    form.Checkupdate1->setEnabled(true);
}

} // namespace

void TForm1::Checkupdate1Click()
{
    if (Checkupdate1->isEnabled())
        RunUpdateCheck(*this, UpdateCheckMode::Manual);
}

void TForm1::TimerUpdateTimer()
{
    if (!Checkupdateautomatically1->isChecked() || automaticCheckDone_)
        return;
    // Not on top of another question or a running check: try again later.
    if (!Checkupdate1->isEnabled() || QApplication::activeModalWidget()) {
        TimerUpdate->start();
        return;
    }
    automaticCheckDone_ = true;
    RunUpdateCheck(*this, UpdateCheckMode::Automatic);
}
