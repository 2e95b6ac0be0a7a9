#include "services/ProductInfo.h"
#include "services/SettingsStore.h"
#include "services/TestHttpServer.h"
#include "services/UpdateCheck.h"
#include "services/UpdateFetcher.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QUrlQuery>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {

struct UpdateCheckTest : ::testing::Test {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("Cubiform.conf"))};
    TestHttpServer server;
    FetchLimits limits{3000, qint64{1} << 20, 5};
    int fetches = 0;
    QList<ConfirmMessage> questions;
    bool confirmAnswer = true;
    UpdateCheck check{store,
                      [this](const QUrl& url) {
                          ++fetches;
                          return FetchBlocking(url, limits);
                      },
                      [this](const ConfirmMessage& message) {
                          questions.append(message);
                          return confirmAnswer;
                      }};
    const QString guid = QStringLiteral("{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");

    UpdateCheckTest()
    {
        store.OpenStore(ProductInfo::RegistryKey);
        store.StoreText(QStringLiteral("Main"), QStringLiteral("GUID"), guid);
        store.StoreText(QStringLiteral("Update"), QStringLiteral("Website"), server.Base());
        check.Today = [] { return QDate(2024, 3, 1); };
    }

    void Reply(const QByteArray& body)
    {
        server.Respond = [body](const TestHttpServer::Request&) { return TestHttpServer::Ok(body); };
    }

    UpdateCheckResult Manual()
    {
        return check.Check(UpdateCheckMode::Manual, QStringLiteral("1.2"), QStringLiteral("Cubiform"));
    }

    QString Stored(const char* name)
    {
        return store.LoadText(QStringLiteral("Update"), QString::fromLatin1(name), QStringLiteral("(none)"));
    }

    QByteArray Notes(const QByteArray& version)
    {
        return "Cubiform\r\n" + version + "\r\n" + server.Base().toLatin1() + "\r\n" +
               server.Base().toLatin1() + "/download.htm\r\nNew box kinds\r\n\r\nFaster\r\n\r\n";
    }
};

TEST_F(UpdateCheckTest, TheRequestAsSent)
{
    Reply(Notes("1.3"));
    Manual();
    ASSERT_EQ(server.Requests.size(), 1);
    const TestHttpServer::Request& request = server.Requests.first();
    EXPECT_EQ(request.method, "GET");
    const QUrl target(QString::fromLatin1(request.target));
    EXPECT_EQ(target.path(), QStringLiteral("/Cubiform/UpdateInfo.php"));
    const QUrlQuery query(target);
    EXPECT_EQ(query.queryItems(QUrl::FullyDecoded),
              (QList<QPair<QString, QString>>{{QStringLiteral("currentversion"), QStringLiteral("1.2")},
                                              {QStringLiteral("id"), guid}}));
    EXPECT_EQ(request.headers.at("accept"), "text/html, */*");
    EXPECT_EQ(request.headers.at("user-agent"), "Mozilla/3.0 (compatible; Indy Library)");
}

TEST_F(UpdateCheckTest, QueryValuesCannotAddKeys)
{
    store.StoreText(QStringLiteral("Main"), QStringLiteral("GUID"), QStringLiteral("a&currentversion=9#x"));
    const QUrlQuery query(check.RequestUrl(QStringLiteral("1.2 beta+"), QStringLiteral("Cubiform")));
    EXPECT_EQ(query.queryItems(QUrl::FullyDecoded),
              (QList<QPair<QString, QString>>{{QStringLiteral("currentversion"), QStringLiteral("1.2 beta+")},
                                              {QStringLiteral("id"), QStringLiteral("a&currentversion=9#x")}}));
}

TEST_F(UpdateCheckTest, ANewVersionIsShownAndRemembered)
{
    Reply(Notes("1.3"));
    const UpdateCheckResult result = Manual();
    ASSERT_TRUE(result.Show);
    EXPECT_EQ(result.Caption, QStringLiteral("There is a new update"));
    EXPECT_EQ(result.Memo, (QStringList{QStringLiteral("Version 1.3"), QString(), QStringLiteral("New box kinds"),
                                        QString(), QStringLiteral("Faster")}));
    EXPECT_EQ(check.LatestVersion, QStringLiteral("1.3"));
    EXPECT_EQ(Stored("Website"), server.Base());
    EXPECT_EQ(Stored("DownloadURL"), server.Base() + QStringLiteral("/download.htm"));
    EXPECT_EQ(check.DownloadTarget(), QUrl(server.Base() + QStringLiteral("/download.htm")));
    EXPECT_EQ(store.LoadDate(QStringLiteral("Last update check")), ToStoreDate(QDate(2024, 3, 1)));
}

TEST_F(UpdateCheckTest, TheProductNameIgnoresCaseButNothingElse)
{
    Reply("CUBIFORM\n1.3\n" + server.Base().toLatin1() + "\nhttp://a.example/\n");
    EXPECT_TRUE(Manual().Show);
    Reply("Cubiform2\n1.3\n" + server.Base().toLatin1() + "\nhttp://a.example/\n");
    EXPECT_FALSE(Manual().Show);
}

TEST_F(UpdateCheckTest, SameOrOrdinallyOlderVersionsAreTheLatest)
{
    for (const QByteArray& version : {QByteArray("1.2"), QByteArray("1.10")}) {
        Reply(Notes(version));
        const UpdateCheckResult result = Manual();
        ASSERT_TRUE(result.Show) << version.constData();
        EXPECT_EQ(result.Caption, QStringLiteral("You still have the latest version"));
        EXPECT_EQ(result.Memo.value(2), QStringLiteral("New box kinds"));
    }
}

TEST_F(UpdateCheckTest, FourLinesLeaveOnlyTheVersion)
{
    Reply("Cubiform\n1.3\n" + server.Base().toLatin1() + "\nhttp://a.example/\n");
    EXPECT_EQ(Manual().Memo, QStringList{QStringLiteral("Version 1.3")});
}

TEST_F(UpdateCheckTest, TheNextRequestGoesToTheNamedBase)
{
    Reply("Cubiform\n1.3\n" + server.Base().toLatin1() + "/next\nhttp://a.example/\n");
    Manual();
    Manual();
    ASSERT_EQ(server.Requests.size(), 2);
    EXPECT_TRUE(server.Requests[1].target.startsWith("/next/Cubiform/UpdateInfo.php?")) << server.Requests[1].target.constData();
}

TEST_F(UpdateCheckTest, RefusedRepliesChangeNothing)
{
    store.StoreText(QStringLiteral("Update"), QStringLiteral("DownloadURL"), QStringLiteral("https://old.example/"));
    const QByteArray base = server.Base().toLatin1();
    for (const QByteArray& body : {"Cubiform\n1.3\n" + base + "\nfile:///etc/passwd\n",
                                   QByteArray("Cubiform\n1.3\nfile:///tmp\nhttp://a.example/\n"),
                                   "Cubiform\n1.3\n" + base + "\n", QByteArray()}) {
        Reply(body);
        EXPECT_FALSE(Manual().Show) << body.constData();
    }
    EXPECT_EQ(check.LatestVersion, QStringLiteral("1.00"));
    EXPECT_EQ(Stored("Website"), server.Base());
    EXPECT_EQ(Stored("DownloadURL"), QStringLiteral("https://old.example/"));
    EXPECT_FALSE(store.LoadDate(QStringLiteral("Last update check")).has_value());
}

TEST_F(UpdateCheckTest, ServerFailuresAreQuiet)
{
    server.Respond = [](const TestHttpServer::Request&) { return TestHttpServer::Status("404 Not Found"); };
    EXPECT_FALSE(Manual().Show);
    server.Respond = [this](const TestHttpServer::Request&) {
        return TestHttpServer::Status("500 Internal Server Error") + Notes("1.3");
    };
    EXPECT_FALSE(Manual().Show);
    EXPECT_EQ(fetches, 2);
}

TEST_F(UpdateCheckTest, NoServerListening)
{
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    store.StoreText(QStringLiteral("Update"), QStringLiteral("Website"), QStringLiteral("http://127.0.0.1:%1").arg(port));
    EXPECT_FALSE(Manual().Show);
    EXPECT_EQ(fetches, 1);
}

TEST_F(UpdateCheckTest, ASilentServerRunsIntoTheTimeout)
{
    limits.TimeoutMs = 300;
    server.Respond = [](const TestHttpServer::Request&) { return std::nullopt; };
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(Manual().Show);
    EXPECT_EQ(server.Requests.size(), 1);
    EXPECT_LT(clock.elapsed(), 2900); // well before the usual limit
}

TEST_F(UpdateCheckTest, AnOversizedReplyIsCutOff)
{
    QByteArray big = Notes("1.3");
    big += QByteArray(5 << 20, 'x');
    for (const bool announced : {true, false}) {
        server.Respond = [&](const TestHttpServer::Request&) { return TestHttpServer::Ok(big, announced); };
        EXPECT_FALSE(Manual().Show) << announced;
    }
    // Just below the cap is fine.
    Reply(Notes("1.3") + QByteArray((1 << 20) - Notes("1.3").size(), 'x'));
    EXPECT_TRUE(Manual().Show);
}

TEST_F(UpdateCheckTest, RedirectsStayOnTheWeb)
{
    server.Respond = [this](const TestHttpServer::Request& request) -> std::optional<QByteArray> {
        if (request.target.startsWith("/moved"))
            return TestHttpServer::Ok(Notes("1.3"));
        return TestHttpServer::Status("302 Found", "Location: " + server.Base().toLatin1() + "/moved\r\n");
    };
    EXPECT_TRUE(Manual().Show);

    server.Respond = [](const TestHttpServer::Request&) {
        return TestHttpServer::Status("302 Found", "Location: file:///etc/passwd\r\n");
    };
    EXPECT_FALSE(Manual().Show);

    limits.MaxRedirects = 2;
    server.Respond = [](const TestHttpServer::Request&) {
        return TestHttpServer::Status("302 Found", "Location: /again\r\n");
    };
    EXPECT_FALSE(Manual().Show);
    // The client may resend a request when the server closes first, so only
    // the order of magnitude is certain (the client's own limit is 50).
    const auto loops = std::count_if(server.Requests.cbegin(), server.Requests.cend(),
                                     [](const TestHttpServer::Request& r) { return r.target == "/again"; });
    EXPECT_GE(loops, 1);
    EXPECT_LE(loops, 3 * limits.MaxRedirects);
}

TEST(RedirectRule, NeverFromEncryptedToPlainNorOffTheWeb)
{
    const QUrl secure(QStringLiteral("https://updates.example/Cubiform/UpdateInfo.php?id=1"));
    const QUrl plain(QStringLiteral("http://updates.example/Cubiform/UpdateInfo.php?id=1"));
    EXPECT_TRUE(IsAllowedRedirect(secure, QUrl(QStringLiteral("https://mirror.example/u.php"))));
    EXPECT_TRUE(IsAllowedRedirect(plain, QUrl(QStringLiteral("http://mirror.example/u.php"))));
    EXPECT_TRUE(IsAllowedRedirect(plain, QUrl(QStringLiteral("https://mirror.example/u.php"))));
    // Same host, same path: still readable on the way, so refused.
    EXPECT_FALSE(IsAllowedRedirect(secure, plain));
    EXPECT_FALSE(IsAllowedRedirect(QUrl(QStringLiteral("HTTPS://updates.example/")),
                                   QUrl(QStringLiteral("HTTP://updates.example/"))));
    for (const char* target : {"ftp://updates.example/u", "file:///etc/passwd", "cubiform:run",
                               "http:///no-host", "https://"})
        EXPECT_FALSE(IsAllowedRedirect(plain, QUrl(QString::fromLatin1(target)))) << target;
}

TEST_F(UpdateCheckTest, AFailedCheckIsToldApartFromNothingNew)
{
    server.Respond = [](const TestHttpServer::Request&) { return TestHttpServer::Status("404 Not Found"); };
    EXPECT_TRUE(Manual().Failed);
    Reply("Cubiform\n1.3\nfile:///tmp\nhttp://a.example/\n"); // refused reply
    EXPECT_TRUE(Manual().Failed);
    Reply(Notes("1.2"));
    UpdateCheckResult result = Manual();
    EXPECT_TRUE(result.Show);
    EXPECT_FALSE(result.Failed);
    // An automatic check that is not due (the manual one just ran) has not failed.
    result = check.Check(UpdateCheckMode::Automatic, QStringLiteral("1.2"), QStringLiteral("Cubiform"));
    EXPECT_FALSE(result.Show);
    EXPECT_FALSE(result.Failed);
    store.StoreText(QStringLiteral("Update"), QStringLiteral("Website"), QStringLiteral("file:///etc"));
    EXPECT_TRUE(Manual().Failed);
}

TEST_F(UpdateCheckTest, AStoredBaseThatIsNoWebAddressIsNotFetched)
{
    store.StoreText(QStringLiteral("Update"), QStringLiteral("Website"), QStringLiteral("file:///etc"));
    EXPECT_FALSE(Manual().Show);
    EXPECT_EQ(fetches, 0);
    store.StoreText(QStringLiteral("Update"), QStringLiteral("DownloadURL"), QStringLiteral("C:\\evil.exe"));
    EXPECT_EQ(check.DownloadTarget(), QUrl(QString(ProductInfo::WebSite)));
}

// The automatic mode, with the network replaced.
struct AutomaticCheckTest : ::testing::Test {
    QTemporaryDir dir;
    SettingsStore store{dir.filePath(QStringLiteral("Cubiform.conf"))};
    int fetches = 0;
    QByteArray body = "Cubiform\n1.3\nhttp://a.example\nhttp://b.example\nNotes\n";
    QList<ConfirmMessage> questions;
    bool confirmAnswer = true;
    UpdateCheck check{store,
                      [this](const QUrl&) -> std::optional<QByteArray> {
                          ++fetches;
                          return body;
                      },
                      [this](const ConfirmMessage& message) {
                          questions.append(message);
                          return confirmAnswer;
                      }};
    const QDate today{2024, 3, 31};

    AutomaticCheckTest()
    {
        store.OpenStore(ProductInfo::RegistryKey);
        check.Today = [this] { return today; };
    }

    UpdateCheckResult Run()
    {
        return check.Check(UpdateCheckMode::Automatic, QStringLiteral("1.2"), QStringLiteral("Cubiform"));
    }
    std::optional<double> LastCheck() { return store.LoadDate(QStringLiteral("Last update check")); }
};

TEST_F(AutomaticCheckTest, WithinThirtyDaysNothingIsAskedButTheDateMoves)
{
    store.StoreDate(QStringLiteral("Last update check"), ToStoreDate(today.addDays(-29)));
    EXPECT_FALSE(Run().Show);
    EXPECT_TRUE(questions.isEmpty());
    EXPECT_EQ(fetches, 0);
    EXPECT_EQ(LastCheck(), ToStoreDate(today));
}

TEST_F(AutomaticCheckTest, AfterThirtyDaysItAsksFirst)
{
    // 29.5 days round to 30 (ties to even: 29.5 -> 30).
    store.StoreDate(QStringLiteral("Last update check"), ToStoreDate(today) - 29.5);
    const UpdateCheckResult result = Run();
    ASSERT_EQ(questions.size(), 1);
    EXPECT_EQ(questions[0].kind, ConfirmMessage::Confirmation);
    EXPECT_EQ(questions[0].key, QStringLiteral("AutoUpdateCheck"));
    EXPECT_EQ(questions[0].text, QStringLiteral("Automatic update check will be activated.\n"
                                                "Uncheck menu Help\\Automatic update check to disable.\n"
                                                "This feature needs internet connection where\n"
                                                "no personal information will be sent out.\n"
                                                "Continue the automatic update check?"));
    EXPECT_EQ(fetches, 1);
    ASSERT_TRUE(result.Show);
    EXPECT_EQ(result.Caption, QStringLiteral("There is a new update"));
}

TEST_F(AutomaticCheckTest, DecliningStopsBeforeTheNetwork)
{
    confirmAnswer = false;
    const UpdateCheckResult result = Run();
    EXPECT_FALSE(result.Show);
    EXPECT_FALSE(result.Failed); // the user's choice, not a failure
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(fetches, 0);
    EXPECT_EQ(LastCheck(), ToStoreDate(today));
}

TEST_F(AutomaticCheckTest, OnlyANewerVersionIsShown)
{
    body = "Cubiform\n1.2\nhttp://a.example\nhttp://b.example\n";
    EXPECT_FALSE(Run().Show);
    EXPECT_EQ(fetches, 1);
    EXPECT_EQ(store.LoadText(QStringLiteral("Update"), QStringLiteral("Website"), QString()),
              QStringLiteral("http://a.example"));
}

TEST_F(AutomaticCheckTest, AMissingOrDamagedDateCountsAsNeverChecked)
{
    EXPECT_TRUE(Run().Show);
    EXPECT_EQ(fetches, 1);

    for (const double odd : {std::nan(""), -1e300}) {
        store.StoreDate(QStringLiteral("Last update check"), odd);
        EXPECT_TRUE(Run().Show);
    }
    {
        QSettings raw(store.FileName(), QSettings::IniFormat);
        raw.setValue(QStringLiteral("Last update check"), QStringLiteral("yesterday"));
    }
    SettingsStore reopened(store.FileName());
    reopened.OpenStore(ProductInfo::RegistryKey);
    UpdateCheck again(reopened, [](const QUrl&) { return std::optional<QByteArray>(); },
                      [](const ConfirmMessage&) { return true; });
    again.Today = [this] { return today; };
    EXPECT_NO_THROW(again.Check(UpdateCheckMode::Automatic, QStringLiteral("1.2"), QStringLiteral("Cubiform")));
    EXPECT_EQ(reopened.LoadDate(QStringLiteral("Last update check")), ToStoreDate(today));
}

} // namespace
