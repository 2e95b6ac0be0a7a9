// Covers sent once and named by id, CORS for an allowed origin, and the
// refusal of a request that could never fit in memory; the drawing is
// replaced, so no GL is needed.
#include "support/ServeHarness.h"

#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

// What each job was given: the cover files by slot.
struct Seen {
    std::mutex Mutex;
    std::vector<QString> Fronts;
    RenderWorkers::Work Work()
    {
        return [this](RenderSession&, const RenderJob& job) {
            const std::lock_guard lock(Mutex);
            Fronts.push_back(job.Covers[0] && QFile::exists(job.Covers[0]->Path()) ? job.Covers[0]->Path() : QString());
            return RenderAnswer{200, QByteArrayLiteral("picture"), 0.01};
        };
    }
};

ServeSettings OneWorker()
{
    ServeSettings s;
    s.Workers = 1;
    s.Queue = 4;
    return s;
}

std::string ErrorOf(const httplib::Result& r)
{
    return r ? QJsonDocument::fromJson(QByteArray::fromStdString(r->body))[QStringLiteral("error")].toString().toStdString()
             : std::string("no answer");
}

} // namespace

TEST(ServeRequestsTest, ACoverSentOnceIsNamedByItsId)
{
    Seen seen;
    ServeHarness serve(OneWorker(), {}, seen.Work());
    const auto client = serve.Client();
    const std::string png = CoverBytes(PaintedCover(40, 50, Qt::red), OutputFormat::Png);
    const httplib::Result sent = client->Post("/covers", httplib::MultipartFormDataItems{FilePart("cover", png, "c.png")});
    ASSERT_TRUE(sent);
    ASSERT_EQ(sent->status, 201) << sent->body;
    const QString id = QJsonDocument::fromJson(QByteArray::fromStdString(sent->body))[QStringLiteral("id")].toString();
    EXPECT_EQ(id.size(), 64); // the content's SHA-256
    const httplib::Result again = client->Post("/covers", httplib::MultipartFormDataItems{FilePart("cover", png, "d.png")});
    ASSERT_TRUE(again);
    EXPECT_EQ(again->body, sent->body);

    const std::string named = "cover:" + id.toStdString();
    const httplib::Result byField = client->Post("/render", httplib::MultipartFormDataItems{Field("front", named)});
    const httplib::Result byJson = client->Post("/render", R"({"front":")" + named + R"("})", "application/json");
    const httplib::Result byPart = client->Post("/render", httplib::MultipartFormDataItems{FilePart("front", png, "c.png")});
    for (const httplib::Result* r : {&byField, &byJson, &byPart}) {
        ASSERT_TRUE(*r);
        EXPECT_EQ((*r)->status, 200) << (*r)->body;
    }
    ASSERT_EQ(seen.Fronts.size(), 3u);
    EXPECT_FALSE(seen.Fronts[0].isEmpty());
    EXPECT_EQ(seen.Fronts[1], seen.Fronts[0]);
    EXPECT_EQ(seen.Fronts[2], seen.Fronts[0]); // one file for the same bytes

    const struct {
        httplib::MultipartFormDataItems Items;
        const char* Path;
        int Status;
        const char* Says;
    } wrong[] = {
        {{Field("front", "cover:" + std::string(64, 'a'))}, "/render", 404, "POST /covers"},
        {{Field("side", "cover:../../etc/passwd")}, "/model", 404, "no cover has the id"},
        {{Field("front", named), FilePart("front", png)}, "/render", 400, "sent twice"},
        {{Field("options", R"({"front":"front.png"})")}, "/render", 400, "cover:ID"},
        {{}, "/covers", 400, ""}, // an empty multipart body: malformed
        {{FilePart("cover", png), FilePart("cover", png)}, "/covers", 400, "one file part named cover"},
        {{FilePart("front", png)}, "/covers", 400, "one file part named cover"},
        {{FilePart("cover", "not a picture")}, "/covers", 415, "uploaded cover"},
        {{FilePart("cover", "")}, "/covers", 422, "empty"},
    };
    for (const auto& w : wrong) {
        const httplib::Result r = client->Post(w.Path, w.Items);
        ASSERT_TRUE(r) << w.Says;
        EXPECT_EQ(r->status, w.Status) << r->body;
        EXPECT_NE(ErrorOf(r).find(w.Says), std::string::npos) << r->body;
    }
    EXPECT_EQ(seen.Fronts.size(), 3u); // no refused request reached a worker
}

TEST(ServeRequestsTest, CorsHeadersOnlyForAnAllowedOrigin)
{
    for (const char* origin : {"", "https://shop.example"}) {
        ServeSettings settings = OneWorker();
        settings.AllowOrigin = QString::fromLatin1(origin);
        ServeHarness serve(settings, QByteArrayLiteral("t0ken"), [](RenderSession&, const RenderJob&) {
            return RenderAnswer{200, QByteArrayLiteral("picture"), 0.01};
        });
        const bool on = *origin != '\0';
        const auto client = serve.Client();
        const httplib::Headers token = {{"Authorization", "Bearer t0ken"}};
        httplib::Request preflight;
        preflight.method = "OPTIONS";
        preflight.path = "/render";
        preflight.headers = {{"Origin", "https://shop.example"}, {"Access-Control-Request-Method", "POST"}};
        const httplib::Result answers[] = {client->Get("/options", token), client->Get("/options"),
                                           client->Post("/render", token, "{}", "application/json"), client->send(preflight)};
        const int statuses[] = {200, 401, 200, on ? 204 : 401};
        for (std::size_t i = 0; i < std::size(answers); ++i) {
            ASSERT_TRUE(answers[i]) << i;
            EXPECT_EQ(answers[i]->status, statuses[i]) << origin << " " << i;
            EXPECT_EQ(answers[i]->get_header_value("Access-Control-Allow-Origin"), origin) << i;
        }
        EXPECT_EQ(answers[3]->get_header_value("Access-Control-Allow-Methods"), on ? "POST" : "");
        EXPECT_EQ(answers[3]->get_header_value("Access-Control-Allow-Headers"), on ? "Authorization, Content-Type" : "");
    }
}

TEST(ServeRequestsTest, ARotatedTokenFileIsTakenWithoutARestart)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("token"));
    const auto write = [&](const char* token, int second) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(token);
        // As rewritten a while later: the same size, another modification time.
        ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(second), QFileDevice::FileModificationTime));
    };
    write("old-token\n", 1000);
    ServeSettings settings = OneWorker();
    settings.TokenFile = path;
    ServeHarness serve(settings, {}, [](RenderSession&, const RenderJob&) { return RenderAnswer{}; });
    const auto status = [&](const std::string& token) {
        const httplib::Result r = serve.Client()->Get("/options", {{"Authorization", "Bearer " + token}});
        return r ? r->status : 0;
    };
    EXPECT_EQ(status("old-token"), 200);
    write("new-token\n", 2000);
    EXPECT_EQ(status("new-token"), 200);
    EXPECT_EQ(status("old-token"), 401);
}

TEST(ServeRequestsTest, ARequestThatCouldNeverFitIsRefusedWithItsEstimateAndTheLimit)
{
    ServeSettings settings = OneWorker();
    settings.MaxMemory = std::int64_t{600} << 20;
    ServeHarness serve(settings, {}, [](RenderSession&, const RenderJob&) {
        return RenderAnswer{200, QByteArrayLiteral("picture"), 0.01};
    });
    const auto client = serve.Client();
    const httplib::Result huge = client->Post("/render", R"({"size":"4096x4096","samples":16})", "application/json");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 422);
    const std::string says = ErrorOf(huge);
    EXPECT_NE(says.find("GB of memory at its peak"), std::string::npos) << says;
    EXPECT_NE(says.find("--max-memory 600 MB"), std::string::npos) << says;
    const httplib::Result small = client->Post("/render", R"({"size":"600x600"})", "application/json");
    ASSERT_TRUE(small);
    EXPECT_EQ(small->status, 200) << small->body;
}
