// Clients that send slowly, too much, or too many connections lose theirs
// instead of holding the service's connection threads.
#include "support/ServeHarness.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

// A loopback connection written and read by hand.
class RawClient {
public:
    explicit RawClient(int port) : fd_(::socket(AF_INET, SOCK_STREAM, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<std::uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~RawClient() { ::close(fd_); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connected() const { return connected_; }
    bool Send(const std::string& bytes) { return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size()); }
    // Whether the service has answered or closed within `ms`.
    bool Ended(int ms)
    {
        pollfd fd{fd_, POLLIN, 0};
        return ::poll(&fd, 1, ms) > 0;
    }
    // Everything the service sends until it closes (bounded).
    std::string Rest()
    {
        std::string all;
        char buffer[4096];
        for (int i = 0; i < 1000 && Ended(10000); ++i) {
            const ssize_t n = ::recv(fd_, buffer, sizeof(buffer), 0);
            if (n <= 0)
                break;
            all.append(buffer, static_cast<std::size_t>(n));
        }
        return all;
    }
    // `bytes` one at a time, every `ms`, until the service answers or closes;
    // `between` runs after each byte. How many were sent.
    std::size_t Trickle(const std::string& bytes, int ms, const std::function<void()>& between = {})
    {
        std::size_t sent = 0;
        while (sent < bytes.size() && !Ended(ms) && Send(bytes.substr(sent, 1))) {
            ++sent;
            if (between)
                between();
        }
        return sent;
    }

private:
    int fd_;
    bool connected_ = false;
};

ServeSettings OneSecondReads()
{
    ServeSettings s;
    s.Workers = 1;
    s.Queue = 1;
    s.ReadTimeoutSeconds = 1;
    return s;
}

RenderAnswer Quick(RenderSession&, const RenderJob&) { return {200, QByteArrayLiteral("picture"), 0.01}; }

std::string Chunked(const std::string& path, const std::string& type)
{
    return "POST " + path + " HTTP/1.1\r\nHost: x\r\nContent-Type: " + type + "\r\nTransfer-Encoding: chunked\r\n\r\n";
}

void ExpectStatus(const std::string& answer, const std::string& status)
{
    EXPECT_EQ(answer.rfind("HTTP/1.1 " + status, 0), 0u) << answer;
    EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer;
    EXPECT_NE(answer.find("{\"error\":"), std::string::npos) << answer;
}

} // namespace

TEST(SlowClientTest, ARequestTrickledInAnyPartIs408WhileOthersAreAnswered)
{
    const struct {
        const char* Part;
        std::string Sent;     // at once
        std::string Trickled; // a byte at a time, each well within the read timeout
    } cases[] = {
        {"request line", "", "GET /healthz HTTP/1.1" + std::string(100, ' ')},
        {"headers", "GET /healthz HTTP/1.1\r\nHost: x\r\n", "X-Slow: " + std::string(200, 'a')},
        {"body", "POST /render HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 300\r\n\r\n",
         "{\"width\":" + std::string(290, ' ')},
        {"chunked body", Chunked("/render", "application/json"), std::string(100, '1') + "\r\n"},
    };
    ServeHarness serve(OneSecondReads(), {}, Quick);
    for (const auto& c : cases) {
        RawClient slow(serve.Port());
        ASSERT_TRUE(slow.Connected());
        ASSERT_TRUE(c.Sent.empty() || slow.Send(c.Sent));
        int answered = 0;
        const std::size_t sent = slow.Trickle(c.Trickled, 200, [&] {
            const httplib::Result health = serve.Client()->Get("/healthz");
            answered += health && health->status == 200 ? 1 : 0;
        });
        EXPECT_LT(sent, c.Trickled.size()) << c.Part << ": the connection was held for every byte";
        EXPECT_EQ(answered, static_cast<int>(sent)) << c.Part;
        ExpectStatus(slow.Rest(), "408");
    }
}

TEST(SlowClientTest, AnEndlessRequestLineIs414NotKeptInMemory)
{
    ServeHarness serve(OneSecondReads(), {}, Quick);
    RawClient endless(serve.Port());
    ASSERT_TRUE(endless.Send("GET /"));
    const std::string piece(4096, 'a');
    std::size_t sent = 0;
    while (sent < 1024 && !endless.Ended(1) && endless.Send(piece))
        ++sent;
    EXPECT_LT(sent, 1024u) << "read on past 4 MB";
    ExpectStatus(endless.Rest(), "414");
}

TEST(SlowClientTest, RequestsSentTogetherAreAllAnswered)
{
    ServeHarness serve(OneSecondReads(), {}, Quick);
    // Requests that arrive in one piece are read from what came with the
    // first, each within its own deadline.
    RawClient kept(serve.Port());
    ASSERT_TRUE(kept.Connected());
    ASSERT_TRUE(kept.Send("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"
                          "POST /render HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 2\r\n\r\n{}"
                          "POST /render HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n"
                          "1\r\n{\r\n1\r\n}\r\n0\r\n\r\n"
                          "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
    const std::string answers = kept.Rest();
    std::size_t count = 0;
    for (std::size_t at = answers.find("HTTP/1.1 200"); at != std::string::npos; at = answers.find("HTTP/1.1 200", at + 1))
        ++count;
    EXPECT_EQ(count, 4u) << answers;
    EXPECT_NE(answers.find("picture"), std::string::npos) << answers;
}

TEST(SlowClientTest, PastTheConnectionCapA503ComesAtOnce)
{
    ServeSettings settings = OneSecondReads();
    settings.ReadTimeoutSeconds = 30; // the held connections stay until let go
    settings.MaxConnections = 2;
    ServeHarness serve(settings, {}, Quick);
    auto held = std::make_unique<RawClient>(serve.Port());
    RawClient other(serve.Port());
    ASSERT_TRUE(held->Send("GET /healthz HTTP/1.1\r\n"));
    ASSERT_TRUE(other.Send("GET /healthz HTTP/1.1\r\n"));
    // Both are taken once the service has accepted them.
    const auto health = [&serve](int wanted, httplib::Headers* headers, std::string* body) {
        int status = 0;
        for (int i = 0; i < 100 && status != wanted; ++i) {
            if (i > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            const httplib::Result r = serve.Client()->Get("/healthz");
            status = r ? r->status : 0;
            if (r && headers && body) {
                *headers = r->headers;
                *body = r->body;
            }
        }
        return status;
    };
    httplib::Headers headers;
    std::string body;
    ASSERT_EQ(health(503, &headers, &body), 503);
    EXPECT_EQ(headers.find("Retry-After")->second, "1");
    EXPECT_NE(body.find("{\"error\":"), std::string::npos) << body;

    held.reset(); // its place frees up
    EXPECT_EQ(health(200, nullptr, nullptr), 200);
}

TEST(SlowClientTest, ABodyPastTheLimitIs413ChunkedOrNot)
{
    const std::string part = "--b\r\nContent-Disposition: form-data; name=\"front\"; filename=\"f.png\"\r\n\r\n";
    const struct {
        const char* Kind;
        std::string Head;
        std::string Chunk; // sent again and again until answered
        const char* Status;
    } cases[] = {
        {"chunked JSON", Chunked("/render", "application/json"), "400\r\n" + std::string(1024, ' ') + "\r\n", "413"},
        {"chunked cover", Chunked("/model", "multipart/form-data; boundary=b") + "47\r\n" + part + "\r\n",
         "400\r\n" + std::string(1024, 'x') + "\r\n", "413"},
        // Refused from its headers: the body is never waited for.
        {"declared length", "POST /render HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 1000000000\r\n\r\n",
         "", "413"},
        {"chunked within", Chunked("/render", "application/json") + "2\r\n{}\r\n0\r\n\r\n", "", "200"},
    };
    ServeSettings settings = OneSecondReads();
    settings.MaxBody = 64 * 1024;
    ServeHarness serve(settings, {}, Quick);
    for (const auto& c : cases) {
        RawClient client(serve.Port());
        ASSERT_TRUE(client.Send(c.Head)) << c.Kind;
        // Answered while the client still sends, not after a megabyte.
        std::size_t sent = 0;
        while (!c.Chunk.empty() && sent < 1024 && !client.Ended(5) && client.Send(c.Chunk))
            ++sent;
        EXPECT_LT(sent, 1024u) << c.Kind;
        const std::string answer = client.Rest();
        EXPECT_EQ(answer.rfind(std::string("HTTP/1.1 ") + c.Status, 0), 0u) << c.Kind << answer;
    }
}
