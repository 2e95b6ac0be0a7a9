// What the window says when something fails without asking anything, and
// what it refuses to hand to the desktop.
#include "services/TestHttpServer.h"
#include "window/AboutDialog.h"
#include "window/UpdateWindow.h"
#include "window/UrlCatcher.h"
#include "window/WindowFixture.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

namespace {

struct FeedbackTest : WindowFixture {
    QString Message() const { return form->statusBar()->currentMessage(); }
    void ClearMessage() { form->statusBar()->clearMessage(); }
};

TEST_F(FeedbackTest, BrowseOpensOnlyAnExistingLocalFolder)
{
    Start();
    UrlCatcher catcher({QStringLiteral("file"), QStringLiteral("http"), QStringLiteral("https"),
                        QStringLiteral("smb"), QStringLiteral("cubiform")});

    // A downloaded project names a web address as its output folder.
    const QString project = Path(QStringLiteral("downloaded.pcf"));
    const QString local = form->Document().OutputFolder();
    form->Document().SetOutputFolder(QStringLiteral("https://evil.example/run/"));
    ASSERT_TRUE(form->SaveProject(project));
    form->Document().SetOutputFolder(local);
    ASSERT_TRUE(form->OpenProjectFile(project));
    ASSERT_EQ(form->Document().OutputFolder(), QStringLiteral("https://evil.example/run/"));
    ui::browseButton(*form)->click();
    EXPECT_TRUE(catcher.Opened.isEmpty());
    EXPECT_EQ(Message(), QStringLiteral("The output folder https://evil.example/run/ does not exist."));

    for (const QString& folder :
         {QStringLiteral("smb://host/share/"), QStringLiteral("cubiform:run"), QStringLiteral("file:///tmp/"),
          QStringLiteral("Output/"), QStringLiteral("//host/share/"), Path(QStringLiteral("gone/"))}) {
        ClearMessage();
        form->Document().SetOutputFolder(folder);
        ui::browseButton(*form)->click();
        EXPECT_EQ(Message(), QStringLiteral("The output folder %1 does not exist.").arg(folder));
    }
    form->Document().SetOutputFolder(QString());
    ui::browseButton(*form)->click();
    EXPECT_EQ(Message(), QStringLiteral("No output folder is set."));
    EXPECT_TRUE(catcher.Opened.isEmpty());
    EXPECT_TRUE(prompts.Asked.isEmpty()); // no box for any of them

    ClearMessage();
    form->Document().SetOutputFolder(local);
    ui::browseButton(*form)->click();
    ASSERT_EQ(catcher.Opened.size(), 1);
    EXPECT_EQ(catcher.Opened[0], QUrl::fromLocalFile(local));
    EXPECT_TRUE(Message().isEmpty());
}

// What the user asked to open is named when no program could open it: in a
// box for the window's own items, in the status bar for the about box's links.
TEST_F(FeedbackTest, LinksThatFindNoProgramSaySo)
{
    Start();
    UrlRefuser nothing({QStringLiteral("file"), QStringLiteral("mailto"), QStringLiteral("http"),
                        QStringLiteral("https")});
    const QString help = QDir::toNativeSeparators(QDir(dir.path()).filePath(QStringLiteral("Help/Default.htm")));
    ui::browseButton(*form)->click();
    ui::helpContentsAction(*form)->trigger();
    ui::mailSupportAction(*form)->trigger();
    ui::websiteAction(*form)->trigger();
    EXPECT_EQ(prompts.Asked,
              QStringList({QStringLiteral("tell:No program could open the folder %1.").arg(form->Document().OutputFolder()),
                           QStringLiteral("tell:No web browser could be started to open %1.").arg(help),
                           QStringLiteral("tell:No mail program could be started to write to "
                                          "support@cubiform.example.com."),
                           QStringLiteral("tell:No web browser could be started to open "
                                          "https://www.cubiform.example.com.")}));
    prompts.Asked.clear();

    // The about box's two links report to the window behind it.
    prompts.DialogScripts.push_back([this](QDialog& dialog) {
        auto& about = dynamic_cast<AboutDialog&>(dialog);
        about.MailLinkClicked();
        EXPECT_EQ(Message(), QStringLiteral("No mail program could be started to write to support@cubiform.example.com."));
        about.WebLinkClicked();
        EXPECT_EQ(Message(), QStringLiteral("No web browser could be started to open https://www.cubiform.example.com."));
        return int(QDialog::Accepted);
    });
    ui::aboutAction(*form)->trigger();
    EXPECT_TRUE(prompts.DialogScripts.empty());
    EXPECT_EQ(prompts.Asked.size(), 1); // the about box itself, nothing more
}

// Without an opener on PATH nothing is tried (Qt may start some other
// program, or answer true for nothing): the user is told what to open.
TEST_F(FeedbackTest, NoOpenerOnThePathIsToldAndNothingIsTried)
{
    const QByteArray path = qgetenv("PATH"), browser = qgetenv("BROWSER");
    const QString empty = Path(QStringLiteral("no-programs"));
    ASSERT_TRUE(QDir().mkpath(empty));
    qputenv("PATH", empty.toUtf8());
    qunsetenv("BROWSER");
    Start();
    ui::helpContentsAction(*form)->trigger();
    ui::websiteAction(*form)->trigger();
    ui::browseButton(*form)->click();
    qputenv("PATH", path);
    if (!browser.isNull())
        qputenv("BROWSER", browser);
    ASSERT_EQ(prompts.Asked.size(), 3);
    EXPECT_TRUE(prompts.Asked[0].endsWith(QStringLiteral("Default.htm."))) << prompts.Asked[0].toStdString();
    EXPECT_TRUE(prompts.Asked[1].endsWith(QStringLiteral("https://www.cubiform.example.com.")));
    EXPECT_EQ(prompts.Asked[2], QStringLiteral("tell:No program could open the folder %1.").arg(form->Document().OutputFolder()));
}

TEST_F(FeedbackTest, MissingCoversOfAProjectAreNamedOnceAndKeepTheirPaths)
{
    Start();
    ShowAndWaitForGL();
    const QString front = WritePicture(QStringLiteral("front.bmp"), QSize(40, 30), Qt::red, Qt::blue);
    const QString side = Path(QStringLiteral("side.jpg"));
    const QString top = Path(QStringLiteral("top.bmp"));
    form->Document().SetCover(0, {QDir::toNativeSeparators(front), QString()});
    form->Document().SetCover(1, {QDir::toNativeSeparators(side), QString()});
    form->Document().SetCover(2, {QDir::toNativeSeparators(top), QString()});
    const QString project = Path(QStringLiteral("covers.pcf"));
    ASSERT_TRUE(form->SaveProject(project));

    ASSERT_TRUE(form->OpenProjectFile(project));
    EXPECT_EQ(Message(), QStringLiteral("Cover files not found: %1, %2")
                             .arg(QDir::toNativeSeparators(side), QDir::toNativeSeparators(top)));
    WaitForCovers();
    EXPECT_FALSE(form->CoverSlots()[0].Thumbnail.isNull());
    EXPECT_EQ(form->Document().Cover(1).Path, QDir::toNativeSeparators(side));
    EXPECT_EQ(form->Document().Cover(2).Path, QDir::toNativeSeparators(top));

    // One missing: the singular; none missing: nothing said.
    WritePicture(QStringLiteral("top.bmp"), QSize(20, 20), Qt::green, Qt::green);
    ClearMessage();
    ASSERT_TRUE(form->OpenProjectFile(project));
    EXPECT_EQ(Message(), QStringLiteral("Cover file not found: %1").arg(QDir::toNativeSeparators(side)));
    WaitForCovers();
    ASSERT_TRUE(QFile::copy(front, side.chopped(4) + QStringLiteral(".bmp")));
    form->Document().SetCover(1, {QDir::toNativeSeparators(side.chopped(4) + QStringLiteral(".bmp")), QString()});
    ASSERT_TRUE(form->SaveProject(project));
    ClearMessage();
    ASSERT_TRUE(form->OpenProjectFile(project));
    EXPECT_TRUE(Message().isEmpty());
    WaitForCovers();
    EXPECT_TRUE(prompts.Asked.isEmpty());
}

TEST_F(FeedbackTest, APickedFileTheDialogDoesNotTakeIsNamed)
{
    Start();
    const QString ppm = Path(QStringLiteral("cover.ppm"));
    QImage(8, 8, QImage::Format_RGB888).save(ppm, "PPM");
    prompts.Files.push_back(ppm);
    EXPECT_FALSE(form->SelectCoverImage(0, false));
    EXPECT_EQ(Message(), QStringLiteral("Only .jpg, .bmp, .png, .gif and .tga files can be loaded: %1")
                             .arg(QDir::toNativeSeparators(ppm)));
    EXPECT_TRUE(form->Document().Cover(0).Path.isEmpty());

    const QString gone = Path(QStringLiteral("gone.jpg"));
    EXPECT_FALSE(form->SelectCoverImage(1, false, gone)); // dropped, then deleted
    EXPECT_EQ(Message(), QStringLiteral("Cover file not found: %1").arg(QDir::toNativeSeparators(gone)));
    EXPECT_TRUE(form->Document().Cover(1).Path.isEmpty());
    EXPECT_EQ(prompts.Asked, QStringList{QStringLiteral("open:Select image")});
}

struct UpdateFeedbackTest : FeedbackTest {
    TestHttpServer server;

    void StartAgainstServer()
    {
        Store(QStringLiteral("Update/Website"), server.Base());
        Start();
        form->SetUpdateTimeout(3000);
    }
};

TEST_F(UpdateFeedbackTest, AFailedCheckSaysSoAndAnAnswerDoesNot)
{
    server.Respond = [](const TestHttpServer::Request&) { return TestHttpServer::Status("404 Not Found"); };
    StartAgainstServer();
    ui::checkUpdateAction(*form)->trigger();
    EXPECT_EQ(Message(), QStringLiteral("The update check failed."));
    // A check the user asked for also says so where it cannot be missed.
    ASSERT_EQ(prompts.Asked.size(), 1);
    EXPECT_TRUE(prompts.Asked[0].startsWith(QStringLiteral("tell:The update check failed: ")));
    prompts.Asked.clear();

    const QByteArray body = "Cubiform\r\n1.3\r\n" + server.Base().toLatin1() + "\r\n" +
                            server.Base().toLatin1() + "/download\r\nNotes\r\n";
    server.Respond = [body](const TestHttpServer::Request&) { return TestHttpServer::Ok(body); };
    UrlRefuser nothing({QStringLiteral("http")});
    prompts.DialogScripts.push_back([this](QDialog& dialog) {
        auto& window = dynamic_cast<UpdateWindow&>(dialog);
        window.downloadButton->click(); // "Download" with no browser
        EXPECT_TRUE(Message().startsWith(QStringLiteral("No web browser could be started to open http")));
        return int(QDialog::Rejected);
    });
    ClearMessage();
    ui::checkUpdateAction(*form)->trigger();
    EXPECT_TRUE(prompts.DialogScripts.empty());
    EXPECT_TRUE(Message().startsWith(QStringLiteral("No web browser could be started to open http")));
}

TEST_F(FeedbackTest, PreferencesThatCannotBeWrittenAreToldOnceAtExit)
{
    // Settings in a folder of their own, which becomes a plain file while the
    // window runs: every write at exit then really fails.
    const QString folder = Path(QStringLiteral("conf"));
    ASSERT_TRUE(QDir().mkpath(folder));
    MainWindowOptions options;
    options.ProgramFolder = dir.path();
    options.SettingsFile = folder + QStringLiteral("/settings.ini");
    options.Dialogs = &prompts;
    form = std::make_unique<MainWindow>(options);
    ShowAndWaitForGL();
    form->close();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    {
        QFile blocker(folder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    form.reset();
    EXPECT_EQ(prompts.Asked, QStringList{QStringLiteral("tell:Failed to set data for 'Project Folder'")});

    // A store that can be written says nothing at exit.
    prompts.Asked.clear();
    Start();
    form.reset();
    EXPECT_TRUE(prompts.Asked.isEmpty());
}

} // namespace
