// Clients that send their request slowly lose their connection instead of
// holding one of the service's connection threads.
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

} // namespace

TEST(SlowClientTest, HeadersSentAByteAtATimeLoseTheConnectionAt408)
{
    ServeHarness serve(OneSecondReads(), {}, Quick);
    RawClient slow(serve.Port());
    ASSERT_TRUE(slow.Connected());
    ASSERT_TRUE(slow.Send("GET /healthz HTTP/1.1\r\nHost: x\r\n"));
    // Each byte well within the read timeout; the header limit is far off.
    const std::string header = "X-Slow: " + std::string(200, 'a');
    std::size_t sent = 0;
    while (sent < header.size() && !slow.Ended(200) && slow.Send(header.substr(sent, 1)))
        ++sent;
    EXPECT_LT(sent, header.size()) << "the connection was held for every byte";
    const std::string answer = slow.Rest();
    EXPECT_EQ(answer.rfind("HTTP/1.1 408", 0), 0u) << answer;
    EXPECT_NE(answer.find("Connection: close"), std::string::npos) << answer;
    EXPECT_NE(answer.find("\"error\""), std::string::npos) << answer;

    // Others are answered all along, and after it.
    const httplib::Result health = serve.Client()->Get("/healthz");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
}

TEST(SlowClientTest, ASlowRequestLineIsDroppedAndRequestsSentTogetherAreAllAnswered)
{
    ServeHarness serve(OneSecondReads(), {}, Quick);
    {
        RawClient slow(serve.Port());
        ASSERT_TRUE(slow.Connected());
        const std::string line = "GET /healthz HTTP/1.1" + std::string(100, ' ');
        std::size_t sent = 0;
        while (sent < line.size() && !slow.Ended(200) && slow.Send(line.substr(sent, 1)))
            ++sent;
        EXPECT_LT(sent, line.size());
        EXPECT_EQ(slow.Rest(), ""); // no request line, nothing to answer: closed
    }
    // Requests that arrive in one piece are read from what came with the
    // first, each within its own deadline.
    RawClient kept(serve.Port());
    ASSERT_TRUE(kept.Connected());
    ASSERT_TRUE(kept.Send("GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n"
                          "POST /render HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\nContent-Length: 2\r\n\r\n{}"
                          "GET /healthz HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
    const std::string answers = kept.Rest();
    std::size_t count = 0;
    for (std::size_t at = answers.find("HTTP/1.1 200"); at != std::string::npos; at = answers.find("HTTP/1.1 200", at + 1))
        ++count;
    EXPECT_EQ(count, 3u) << answers;
    EXPECT_NE(answers.find("picture"), std::string::npos) << answers;
}
