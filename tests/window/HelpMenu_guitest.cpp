#include "services/ProductInfo.h"
#include "services/TestHttpServer.h"
#include "window/AboutDialog.h"
#include "window/ConfirmDialog.h"
#include "window/UpdateWindow.h"
#include "window/UrlCatcher.h"
#include "window/WindowFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTimer>
#include <QUrlQuery>

#include <gtest/gtest.h>

namespace {

struct HelpMenuTest : WindowFixture {
    UrlCatcher catcher;

    void Start()
    {
        WindowFixture::Start();
        form->SetUpdateTimeout(3000);
    }

    QVariant Stored(const QString& key) const
    {
        return QSettings(SettingsFile(), QSettings::IniFormat).value(key);
    }
};

TEST_F(HelpMenuTest, HelpMailAndWebSiteOpenTheirTargets)
{
    Start();
    ui::helpContentsAction(*form)->trigger();
    ui::mailSupportAction(*form)->trigger();
    ui::websiteAction(*form)->trigger();
    ASSERT_EQ(catcher.Opened.size(), 3);
    EXPECT_EQ(catcher.Opened[0], QUrl::fromLocalFile(QDir(dir.path()).filePath("Help/Default.htm")));
    const QUrl mail = catcher.Opened[1];
    EXPECT_EQ(mail.scheme(), "mailto");
    EXPECT_EQ(mail.path(), "support@cubiform.example.com");
    EXPECT_EQ(QUrlQuery(mail).queryItemValue("subject", QUrl::FullyDecoded),
              "Cubiform Classic version 1.2 (Freeware)");
    EXPECT_EQ(catcher.Opened[2], QUrl("https://www.cubiform.example.com"));
    EXPECT_TRUE(prompts.Asked.isEmpty());
}

TEST_F(HelpMenuTest, AnInstalledProgramFindsItsHelpUnderShare)
{
    // <prefix>/bin/cubiform with the page in <prefix>/share/cubiform/Help.
    const QString bin = dir.filePath("bin");
    QDir().mkpath(dir.filePath("share/cubiform/Help"));
    QFile page(dir.filePath("share/cubiform/Help/Default.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    MainWindowOptions options;
    options.ProgramFolder = bin;
    options.SettingsFile = SettingsFile();
    options.Dialogs = &prompts;
    form = std::make_unique<MainWindow>(options);
    ui::helpContentsAction(*form)->trigger();
    ASSERT_EQ(catcher.Opened.size(), 1);
    EXPECT_EQ(catcher.Opened[0], QUrl::fromLocalFile(dir.filePath("share/cubiform/Help/Default.htm")));
}

TEST_F(HelpMenuTest, AboutRunsTheAboutBox)
{
    Start();
    prompts.DialogScripts.push_back([](QDialog& dialog) {
        auto& about = dynamic_cast<AboutDialog&>(dialog);
        about.CpuSpeed = [] { return QString(); };
        about.show();
        EXPECT_EQ(about.versionLabel->text(), "Version 1.2");
        EXPECT_EQ(about.cpuSpeedLabel->text(), "CPU speed:");
        about.hide();
        return int(QDialog::Accepted);
    });
    ui::aboutAction(*form)->trigger();
    EXPECT_TRUE(prompts.DialogScripts.empty());
    EXPECT_EQ(prompts.Asked.size(), 1);
}

struct UpdateMenuTest : HelpMenuTest {
    TestHttpServer server;
    QStringList shownCaptions;
    QStringList firstMemoLines;

    void Reply(const QByteArray& version)
    {
        const QByteArray body = "Cubiform\r\n" + version + "\r\n" + server.Base().toLatin1() + "\r\n" +
                                server.Base().toLatin1() + "/download\r\nFixed the lid.\r\n\r\n";
        server.Respond = [body](const TestHttpServer::Request&) { return TestHttpServer::Ok(body); };
    }

    // Looks at the update window and closes it with "Close".
    void ExpectWindow()
    {
        prompts.DialogScripts.push_back([this](QDialog& dialog) {
            auto& window = dynamic_cast<UpdateWindow&>(dialog);
            shownCaptions << window.windowTitle();
            firstMemoLines << window.textView->document()->firstBlock().text();
            window.closeButton->click();
            return window.result();
        });
    }

    void ConfirmAutomaticCheck(bool ok)
    {
        prompts.DialogScripts.push_back([ok](QDialog& dialog) {
            auto& confirm = dynamic_cast<ConfirmDialog&>(dialog);
            EXPECT_EQ(confirm.textView->document()->blockCount(), 5);
            EXPECT_EQ(confirm.textView->document()->firstBlock().text(), "Automatic update check will be activated.");
            (ok ? confirm.okButton : confirm.cancelButton)->click();
            return confirm.result();
        });
    }

    void StartAgainst(const QString& base)
    {
        Store("Update/Website", base);
        Start();
    }
};

TEST_F(UpdateMenuTest, ANewerVersionShowsTheUpdateWindow)
{
    Reply("1.3");
    StartAgainst(server.Base());
    prompts.DialogScripts.push_back([this](QDialog& dialog) {
        auto& window = dynamic_cast<UpdateWindow&>(dialog);
        EXPECT_EQ(window.windowTitle(), "There is a new update");
        EXPECT_EQ(window.textView->toPlainText(), "Version 1.3\n\nFixed the lid.");
        EXPECT_TRUE(window.textView->isReadOnly());
        EXPECT_EQ(window.textView->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(window.textView->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
        EXPECT_EQ(window.size(), QSize(382, 242));
        EXPECT_EQ(window.downloadButton->text(), "Download");
        EXPECT_EQ(window.closeButton->text(), "Close");
        window.downloadButton->click(); // opens the page named by the reply
        EXPECT_EQ(catcher.Opened.value(0), QUrl(server.Base() + "/download"));
        window.closeButton->click();
        return window.result();
    });
    ui::checkUpdateAction(*form)->trigger();
    EXPECT_TRUE(prompts.DialogScripts.empty());
    ASSERT_EQ(server.Requests.size(), 1);
    EXPECT_TRUE(server.Requests[0].target.startsWith("/Cubiform/UpdateInfo.php?currentversion=1.2&id="));
    EXPECT_TRUE(ui::checkUpdateAction(*form)->isEnabled());
}

TEST_F(UpdateMenuTest, TheSameVersionSaysItIsTheLatest)
{
    Reply("1.2");
    StartAgainst(server.Base());
    ExpectWindow();
    ui::checkUpdateAction(*form)->trigger();
    EXPECT_EQ(shownCaptions, QStringList({"You still have the latest version"}));
    EXPECT_EQ(firstMemoLines, QStringList({"Version 1.2"}));
}

// A check asked for says it failed; an automatic one only in the status bar.
TEST_F(UpdateMenuTest, NoServerSaysTheCheckFailed)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    StartAgainst(QStringLiteral("http://127.0.0.1:%1").arg(port));
    ui::checkUpdateAction(*form)->trigger();
    ASSERT_EQ(prompts.Asked.size(), 1);
    EXPECT_TRUE(prompts.Asked[0].startsWith("tell:The update check failed: the update server could not be reached"))
        << prompts.Asked[0].toStdString();
    EXPECT_EQ(form->statusBar()->currentMessage(), "The update check failed.");
    EXPECT_TRUE(ui::checkUpdateAction(*form)->isEnabled());
    EXPECT_FALSE(Stored("Last update check").isValid());

    // The automatic check asks nothing more than its confirmation.
    Store("Preference/Automatic update check", "1");
    form.reset();
    prompts.Asked.clear();
    StartAgainst(QStringLiteral("http://127.0.0.1:%1").arg(port));
    ConfirmAutomaticCheck(true);
    ui::updateTimer(*form)->start(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->statusBar()->currentMessage() == "The update check failed."; }, 5000));
    EXPECT_EQ(prompts.Asked, QStringList({"dialog:Confirmation"}));
}

TEST_F(UpdateMenuTest, DownloadOnlyOpensWebAddresses)
{
    Store("Update/DownloadURL", "file:///etc/passwd");
    Start();
    UpdateWindow window(form->Store(), prompts, form.get());
    window.DownloadClicked();
    Store("Update/DownloadURL", "https://downloads.example.org/cubiform");
    UpdateWindow again(form->Store(), prompts, form.get());
    again.DownloadClicked();
    ASSERT_EQ(catcher.Opened.size(), 2);
    EXPECT_EQ(catcher.Opened[0], QUrl("https://www.cubiform.example.com"));
    EXPECT_EQ(catcher.Opened[1], QUrl("https://downloads.example.org/cubiform"));
}

TEST_F(UpdateMenuTest, TheMenuItemFlipsStoresAndArmsTheTimer)
{
    Start();
    EXPECT_FALSE(ui::automaticCheckAction(*form)->isChecked());
    EXPECT_FALSE(ui::updateTimer(*form)->isActive());
    ui::automaticCheckAction(*form)->trigger();
    EXPECT_TRUE(ui::automaticCheckAction(*form)->isChecked());
    EXPECT_EQ(Stored("Preference/Automatic update check").toString(), "1");
    EXPECT_TRUE(ui::updateTimer(*form)->isActive());
    EXPECT_EQ(ui::updateTimer(*form)->interval(), 5000);
    ui::automaticCheckAction(*form)->trigger();
    EXPECT_FALSE(ui::automaticCheckAction(*form)->isChecked());
    EXPECT_EQ(Stored("Preference/Automatic update check").toString(), "0");
}

TEST_F(UpdateMenuTest, TheStoredChoiceIsKeptAcrossStarts)
{
    Store("Preference/Automatic update check", "1");
    Start();
    EXPECT_TRUE(ui::automaticCheckAction(*form)->isChecked());
    EXPECT_TRUE(ui::updateTimer(*form)->isActive());
    form.reset();
    Store("Preference/Automatic update check", "0");
    Start();
    EXPECT_FALSE(ui::automaticCheckAction(*form)->isChecked());
    EXPECT_FALSE(ui::updateTimer(*form)->isActive());
}

TEST_F(UpdateMenuTest, TheFirstTimerExpiryRunsTheAutomaticCheckOnce)
{
    Reply("1.3");
    Store("Preference/Automatic update check", "1");
    StartAgainst(server.Base());
    ConfirmAutomaticCheck(true);
    ExpectWindow();
    ui::updateTimer(*form)->start(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return prompts.DialogScripts.empty(); }, 5000));
    EXPECT_EQ(shownCaptions, QStringList({"There is a new update"}));
    EXPECT_EQ(firstMemoLines, QStringList({"Version 1.3"}));
    EXPECT_EQ(server.Requests.size(), 1);
    EXPECT_TRUE(Stored("Last update check").isValid());

    // Later expiries do nothing more in this run.
    Store("Last update check", QVariant());
    ui::updateTimer(*form)->start(1);
    QTest::qWait(50);
    EXPECT_EQ(server.Requests.size(), 1);
    EXPECT_EQ(prompts.Asked.size(), 2);
}

TEST_F(UpdateMenuTest, TheAutomaticCheckShowsNoWindowForTheSameVersion)
{
    Reply("1.2");
    Store("Preference/Automatic update check", "1");
    StartAgainst(server.Base());
    ConfirmAutomaticCheck(true);
    ui::updateTimer(*form)->start(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return server.Requests.size() == 1; }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(prompts.Asked, QStringList({"dialog:Confirmation"})); // no window for the same version
}

TEST_F(UpdateMenuTest, AnUncheckedItemRunsNoAutomaticCheck)
{
    Reply("1.3");
    StartAgainst(server.Base());
    ui::updateTimer(*form)->start(1);
    QTest::qWait(50);
    EXPECT_TRUE(prompts.Asked.isEmpty());
    EXPECT_TRUE(server.Requests.isEmpty());
}

TEST_F(UpdateMenuTest, AStoreErrorIsToldNotThrown)
{
    Reply("1.3");
    Store("Preference/Automatic update check", "1");
    Store("Dialogs/AutoUpdateCheck", QByteArray("\x01\x02", 2)); // not a flag
    StartAgainst(server.Base());
    ui::updateTimer(*form)->start(1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !prompts.Asked.isEmpty(); }, 5000));
    EXPECT_TRUE(prompts.Asked.first().startsWith("tell:")) << prompts.Asked.first().toStdString();
    EXPECT_TRUE(prompts.Asked.first().contains("AutoUpdateCheck"));
    EXPECT_TRUE(server.Requests.isEmpty());
    EXPECT_TRUE(ui::checkUpdateAction(*form)->isEnabled());
}

} // namespace

namespace {

TEST(HelpPage, StandsAloneAndItsLinksLand)
{
    QFile file(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../help/Default.htm"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString page = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(page.contains("<title>Cubiform Classic help</title>"));
    // Nothing fetched from elsewhere: no scripts, pictures or style sheets.
    for (const char* outside : {"src=", "<link", "<script", "url(", "http:", "https:"})
        EXPECT_FALSE(page.contains(QLatin1String(outside), Qt::CaseInsensitive)) << outside;
    const QRegularExpression anchor(QStringLiteral("href=\"#([^\"]+)\""));
    int links = 0;
    for (auto it = anchor.globalMatch(page); it.hasNext(); ++links) {
        const QString id = it.next().captured(1);
        EXPECT_TRUE(page.contains("id=\"" + id + "\"")) << id.toStdString();
    }
    EXPECT_GE(links, 10);
    for (const char* subject : {"Project", "Results", "Form", "Cover image", "Surrounding", "Box dimension",
                                "cubiform render", "cubiform info"})
        EXPECT_TRUE(page.contains(QLatin1String(subject))) << subject;
}

} // namespace
