#include "services/ui/TCheckUpdate.h"

#include "app/TMyRegistry.h"
#include "app/ui/Prompts.h"
#include "services/ui/ScreenCentre.h"
#include "services/ui/ShellOpen.h"
#include "services/ui/TConfirmDlg.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The wait cursor for as long as the request runs, also when it throws.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

TCheckUpdate::TCheckUpdate(TMyRegistry& store, Prompts& prompts, QWidget* owner)
    : QDialog(owner), store_(store), prompts_(prompts)
{
    setObjectName(QStringLiteral("CheckUpdate"));
    setWindowTitle(QStringLiteral("There is a new update"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(382, 242);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    SpeedButton1 = new QPushButton(QStringLiteral("Download"), this);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton2 = new QPushButton(QStringLiteral("Close"), this);
    SpeedButton2->setObjectName(QStringLiteral("SpeedButton2"));
    SpeedButton2->setDefault(true);
    connect(SpeedButton1, &QPushButton::clicked, this, &TCheckUpdate::SpeedButton1Click);
    connect(SpeedButton2, &QPushButton::clicked, this, &TCheckUpdate::SpeedButton2Click);

    auto* rows = new QVBoxLayout(this);
    rows->setContentsMargins(4, 4, 4, 4);
    rows->addWidget(Memo1, 1);
    auto* strip = new QHBoxLayout;
    strip->addStretch(1);
    strip->addWidget(SpeedButton1);
    strip->addWidget(SpeedButton2);
    rows->addLayout(strip);

    Fetch = [this](const QUrl& url) { return FetchBlocking(url, Limits); };
}

bool TCheckUpdate::Check(UpdateCheckMode mode, const QString& currentVersion,
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
    Memo1->setPlainText(result.Memo.join(QLatin1Char('\n')));
    CentreOnScreen(*this);
    prompts_.Exec(*this);
    return true;
}

void TCheckUpdate::SpeedButton1Click()
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
        ShowStatus(NoBrowserText());
}

void TCheckUpdate::SpeedButton2Click()
{
    reject();
}
