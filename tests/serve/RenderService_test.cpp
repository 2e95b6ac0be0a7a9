// The HTTP side with its drawing replaced: limits, errors, the queue, the
// token and the stop, without a GL.
#include "support/ServeHarness.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>

namespace {

// Work that holds every job until let go, and counts those it holds.
class Gate {
public:
    RenderWorkers::Work Work()
    {
        return [this](RenderSession&, const RenderJob&) {
            std::unique_lock lock(mutex_);
            ++held_;
            changed_.notify_all();
            changed_.wait(lock, [this] { return open_; });
            return RenderAnswer{200, QByteArrayLiteral("picture"), 0.01};
        };
    }
    void Open()
    {
        const std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    bool WaitHeld(int n)
    {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [&] { return held_ >= n; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int held_ = 0;
    bool open_ = false;
};

RenderAnswer Quick(RenderSession&, const RenderJob&) { return {200, QByteArrayLiteral("picture"), 0.01}; }

ServeSettings Small(int workers = 1, int queue = 1)
{
    ServeSettings s;
    s.Workers = workers;
    s.Queue = queue;
    return s;
}

// The answer's body is one line of JSON with an "error" text.
void ExpectOneLineError(const httplib::Result& r, int status)
{
    ASSERT_TRUE(r) << "no answer";
    EXPECT_EQ(r->status, status) << r->body;
    EXPECT_EQ(r->get_header_value("Content-Type"), "application/json");
    ASSERT_FALSE(r->body.empty());
    EXPECT_EQ(r->body.find('\n'), r->body.size() - 1) << r->body;
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(r->body));
    EXPECT_FALSE(json.object().value(QStringLiteral("error")).toString().isEmpty()) << r->body;
}

bool WaitUntil(const std::function<bool()>& done)
{
    for (int i = 0; i < 3000 && !done(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return done();
}

// /metrics once it counts `answered` answers of 200 besides its own earlier
// reads: a request is counted once its answer has gone out, which the client
// may see first. Also the bytes those earlier reads were sent.
std::pair<std::string, std::uint64_t> MetricsCounting(const ServeHarness& serve, int answered)
{
    std::string text;
    std::uint64_t readBytes = 0;
    for (int reads = 0; reads < 3000; ++reads) {
        const httplib::Result r = serve.Client()->Get("/metrics");
        text = r ? r->body : std::string();
        if (text.find("cubiform_requests_total{status=\"200\"} " + std::to_string(answered + reads) + "\n") != std::string::npos)
            break;
        readBytes += text.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return {text, readBytes};
}

} // namespace

TEST(RenderServiceTest, AFullQueueIsAnswered429WithRetryAfter)
{
    Gate gate;
    ServeHarness serve(Small(1, 1), {}, gate.Work());
    auto post = [&] { return serve.Client()->Post("/render", "{}", "application/json"); };
    std::future<httplib::Result> drawing = std::async(std::launch::async, post);
    ASSERT_TRUE(gate.WaitHeld(1));
    std::future<httplib::Result> waiting = std::async(std::launch::async, post);
    ASSERT_TRUE(WaitUntil([&] {
        const httplib::Result m = serve.Client()->Get("/metrics");
        return m && m->body.find("cubiform_queue_length 1\n") != std::string::npos;
    }));

    const httplib::Result refused = post();
    ExpectOneLineError(refused, 429);
    EXPECT_GE(std::stoi(refused->get_header_value("Retry-After")), 1);

    gate.Open();
    for (std::future<httplib::Result>* f : {&drawing, &waiting}) {
        const httplib::Result r = f->get();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200);
        EXPECT_EQ(r->body, "picture");
    }
    std::string metrics;
    EXPECT_TRUE(WaitUntil([&] {
        metrics = serve.Client()->Get("/metrics")->body;
        return metrics.find("cubiform_requests_total{status=\"429\"} 1\n") != std::string::npos;
    })) << metrics;
}

TEST(RenderServiceTest, EveryRefusalIsOneLineOfJsonWithItsStatus)
{
    ServeSettings settings = Small(1, 4);
    settings.MaxBody = 4096;
    ServeHarness serve(settings, {}, Quick);
    const auto client = serve.Client();
    ExpectOneLineError(client->Post("/render", "--b\r\nContent-Disposition: form-data\r\n\r\nx", "multipart/form-data; boundary=b"), 400);
    ExpectOneLineError(client->Post("/render", R"({"frobnicate":1})", "application/json"), 400);
    ExpectOneLineError(client->Post("/render", std::string(5000, 'x'), "application/json"), 413);
    ExpectOneLineError(client->Post("/render", "hello", "text/plain"), 415);
    ExpectOneLineError(client->Post("/render", httplib::MultipartFormDataItems{FilePart("front", "GIF89a")}), 422);
    ExpectOneLineError(client->Post("/render", R"({"width":500})", "application/json"), 422);
    // A known address asked with another method: 405 and what it takes.
    const struct {
        const char* Method;
        const char* Path;
        int Status;
        const char* Allow;
    } routes[] = {
        {"GET", "/render", 405, "POST"},       {"HEAD", "/model", 405, "POST"},
        {"DELETE", "/render", 405, "POST"},    {"POST", "/healthz", 405, "GET, HEAD"},
        {"PUT", "/metrics", 405, "GET, HEAD"}, {"POST", "/", 405, "GET, HEAD"},
        {"GET", "/etc/passwd", 404, ""},       {"POST", "/renders", 404, ""},
    };
    for (const auto& r : routes) {
        httplib::Request req;
        req.method = r.Method;
        req.path = r.Path;
        req.body = "{}";
        req.set_header("Content-Type", "application/json");
        const httplib::Result res = serve.Client()->send(req);
        ASSERT_TRUE(res) << r.Method << " " << r.Path;
        EXPECT_EQ(res->status, r.Status) << r.Method << " " << r.Path;
        EXPECT_EQ(res->get_header_value("Allow"), r.Allow) << r.Method << " " << r.Path;
        if (std::string(r.Method) != "HEAD")
            ExpectOneLineError(res, r.Status);
    }
    // None of it ended the service.
    const httplib::Result health = client->Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
}

TEST(RenderServiceTest, OptionsAreDescribedWithThisServicesPictureLimit)
{
    ServeSettings settings = Small();
    settings.MaxOutput = 1000;
    ServeHarness serve(settings, {}, Quick);
    const httplib::Result r = serve.Client()->Get("/options");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->get_header_value("Content-Type"), "application/json");
    int sizeMax = 0;
    const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(r->body));
    for (const QJsonValue o : json[QStringLiteral("options")].toArray())
        if (o[QStringLiteral("name")] == QStringLiteral("size"))
            sizeMax = o[QStringLiteral("max")].toInt();
    EXPECT_EQ(sizeMax, 1000);
}

TEST(RenderServiceTest, WithATokenEveryRequestNeedsIt)
{
    ServeHarness serve(Small(), QByteArrayLiteral("s3cret-token"), Quick);
    const auto client = serve.Client();
    for (const char* path : {"/healthz", "/metrics"}) {
        const httplib::Result r = client->Get(path);
        ExpectOneLineError(r, 401);
        EXPECT_EQ(r->get_header_value("WWW-Authenticate"), "Bearer");
    }
    ExpectOneLineError(client->Post("/render", "{}", "application/json"), 401);
    for (const char* wrong : {"Bearer s3cret-toke", "Bearer s3cret-token2", "bearer s3cret-token", "s3cret-token",
                              "Basic czNjcmV0LXRva2Vu", "Bearer "}) {
        const auto c = serve.Client();
        ExpectOneLineError(c->Get("/healthz", {{"Authorization", wrong}}), 401);
    }
    const httplib::Headers right = {{"Authorization", "Bearer s3cret-token"}};
    EXPECT_EQ(client->Get("/healthz", right)->status, 200);
    const httplib::Result picture = serve.Client()->Post("/render", right, "{}", "application/json");
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->status, 200);
}

TEST(RenderServiceTest, HealthSaysNotReadyWhenAWorkerCannotDraw)
{
    ServeHarness broken(Small(2, 2), {}, Quick, [](RenderSession&) { throw std::runtime_error("no GL"); });
    EXPECT_EQ(broken.Client()->Get("/healthz")->status, 503);
    ServeHarness fine(Small(2, 2), {}, Quick, [](RenderSession&) {});
    ASSERT_TRUE(WaitUntil([&] { return fine.Client()->Get("/healthz")->status == 200; }));
    const std::string metrics = fine.Client()->Get("/metrics")->body;
    for (const char* line : {"cubiform_ready 1\n", "cubiform_covers_cached 0\n", "cubiform_render_seconds_count 0\n",
                             "# TYPE cubiform_render_seconds histogram\n", "cubiform_received_bytes_total 0\n"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line << metrics;
}

TEST(RenderServiceTest, CountsAndCachedCoversShowInTheMetrics)
{
    ServeHarness serve(Small(1, 4), {}, Quick);
    const std::string cover = CoverBytes(PaintedCover(64, 48, Qt::green), OutputFormat::Png);
    for (int i = 0; i < 3; ++i) {
        const httplib::Result r = serve.Client()->Post("/render", httplib::MultipartFormDataItems{FilePart("front", cover)});
        ASSERT_TRUE(r);
        EXPECT_EQ(r->status, 200) << r->body;
    }
    const auto [metrics, readBytes] = MetricsCounting(serve, 3);
    EXPECT_NE(metrics.find("cubiform_render_seconds_count 3\n"), std::string::npos) << metrics;
    EXPECT_NE(metrics.find("cubiform_covers_cached 1\n"), std::string::npos) << metrics; // the same bytes, kept once
    EXPECT_NE(metrics.find("cubiform_sent_bytes_total " + std::to_string(21 + readBytes) + "\n"), std::string::npos) << metrics;
    EXPECT_EQ(metrics.find("cubiform_received_bytes_total 0\n"), std::string::npos) << metrics;
}

TEST(RenderServiceTest, ARequestPastItsTimeIsAnswered503AndTheWorkerGoesOn)
{
    Gate gate;
    ServeSettings settings = Small(1, 2);
    settings.TimeoutSeconds = 1;
    ServeHarness serve(settings, {}, gate.Work());
    ExpectOneLineError(serve.Client()->Post("/render", "{}", "application/json"), 503);
    gate.Open();
    const httplib::Result later = serve.Client()->Post("/render", "{}", "application/json");
    ASSERT_TRUE(later);
    EXPECT_EQ(later->status, 200);
}

TEST(RenderServiceTest, StoppingFinishesTheRequestsInFlight)
{
    Gate gate;
    auto serve = std::make_unique<ServeHarness>(Small(1, 2), QByteArray(), gate.Work());
    std::future<httplib::Result> drawing =
        std::async(std::launch::async, [&] { return serve->Client()->Post("/render", "{}", "application/json"); });
    ASSERT_TRUE(gate.WaitHeld(1));
    serve->Service().Stop();
    EXPECT_FALSE(serve->Client()->Get("/healthz") && serve->Client()->Get("/healthz")->status == 200);
    gate.Open();
    const httplib::Result r = drawing.get();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, 200);
    EXPECT_EQ(r->body, "picture");
    serve.reset(); // Run has returned: the harness joins it
}

TEST(RenderServiceTest, AModelIsDrawnByTheSameQueueAndLimitsAsAPicture)
{
    Gate gate;
    std::atomic<int> models{0};
    RenderWorkers::Work work = [&, held = gate.Work()](RenderSession& session, const RenderJob& job) {
        models += job.Model ? 1 : 0;
        RenderAnswer answer = held(session, job);
        if (job.Model)
            answer.Body = "glTF";
        return answer;
    };
    ServeSettings settings = Small(1, 1);
    settings.MaxBody = 4096;
    ServeHarness serve(settings, {}, work);
    std::future<httplib::Result> drawing =
        std::async(std::launch::async, [&] { return serve.Client()->Post("/model", "{}", "application/json"); });
    ASSERT_TRUE(gate.WaitHeld(1));
    std::future<httplib::Result> waiting =
        std::async(std::launch::async, [&] { return serve.Client()->Post("/render", "{}", "application/json"); });
    ASSERT_TRUE(WaitUntil([&] {
        const httplib::Result m = serve.Client()->Get("/metrics");
        return m && m->body.find("cubiform_queue_length 1\n") != std::string::npos;
    }));
    ExpectOneLineError(serve.Client()->Post("/model", "{}", "application/json"), 429);
    ExpectOneLineError(serve.Client()->Post("/model", R"({"frobnicate":1})", "application/json"), 400);
    ExpectOneLineError(serve.Client()->Post("/model", std::string(5000, 'x'), "application/json"), 413);
    ExpectOneLineError(serve.Client()->Post("/model", R"({"width":500})", "application/json"), 422);
    ExpectOneLineError(serve.Client()->Get("/model"), 405);
    gate.Open();

    const httplib::Result model = drawing.get();
    ASSERT_TRUE(model);
    EXPECT_EQ(model->status, 200);
    EXPECT_EQ(model->get_header_value("Content-Type"), "model/gltf-binary");
    EXPECT_EQ(model->body, "glTF");
    const httplib::Result picture = waiting.get();
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->get_header_value("Content-Type"), "image/png");
    EXPECT_EQ(models, 1);
    const std::string metrics = serve.Client()->Get("/metrics")->body; // render seconds come before the answer
    EXPECT_NE(metrics.find("cubiform_render_seconds_count 2\n"), std::string::npos) << metrics;
}
