#include "serve/DeadlineServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The socket of one connection, read through a buffer as the library's own
// stream reads it, with the per-read timeouts and, while a request's headers
// come in, the deadline.
class DeadlineStream final : public httplib::Stream {
public:
    DeadlineStream(int sock, std::chrono::microseconds readTimeout, std::chrono::microseconds writeTimeout)
        : sock_(sock), readTimeout_(readTimeout), writeTimeout_(writeTimeout), buffer_(64 * 1024)
    {
    }

    void StartDeadline(Clock::time_point deadline) { deadline_ = deadline; }
    void EndDeadline() { deadline_.reset(); }
    bool Expired() const { return expired_; }
    bool Buffered() const { return offset_ < filled_; }

    // Waits up to `timeout` for a request's first byte, while `running`.
    bool WaitForRequest(std::chrono::milliseconds timeout, const std::atomic<socket_t>& running)
    {
        if (Buffered())
            return true;
        const Clock::time_point end = Clock::now() + timeout;
        while (running != INVALID_SOCKET) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
            if (left.count() <= 0)
                return false;
            const int ready = Poll(POLLIN, std::min(left, std::chrono::milliseconds(100)));
            if (ready != 0)
                return ready > 0;
        }
        return false;
    }

    bool is_readable() const override
    {
        if (Buffered())
            return true;
        std::chrono::microseconds wait = readTimeout_;
        if (deadline_) {
            const auto left = std::chrono::duration_cast<std::chrono::microseconds>(*deadline_ - Clock::now());
            if (left.count() <= 0) {
                expired_ = true;
                return false;
            }
            wait = std::min(wait, left);
        }
        if (Poll(POLLIN, std::chrono::duration_cast<std::chrono::milliseconds>(wait + std::chrono::microseconds(999))) > 0)
            return true;
        if (deadline_ && Clock::now() >= *deadline_)
            expired_ = true;
        return false;
    }

    bool is_writable() const override
    {
        return Poll(POLLOUT, std::chrono::duration_cast<std::chrono::milliseconds>(writeTimeout_)) > 0;
    }

    ssize_t read(char* ptr, size_t size) override
    {
        if (expired_)
            return -1;
        if (Buffered()) {
            const size_t n = std::min(size, filled_ - offset_);
            std::memcpy(ptr, buffer_.data() + offset_, n);
            offset_ += n;
            return static_cast<ssize_t>(n);
        }
        if (!is_readable())
            return -1;
        if (size >= buffer_.size())
            return Receive(ptr, size);
        offset_ = filled_ = 0;
        const ssize_t got = Receive(buffer_.data(), buffer_.size());
        if (got <= 0)
            return got;
        filled_ = static_cast<size_t>(got);
        const size_t n = std::min(size, filled_);
        std::memcpy(ptr, buffer_.data(), n);
        offset_ = n;
        return static_cast<ssize_t>(n);
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!is_writable())
            return -1;
        ssize_t sent;
        do // a client gone away is an error here, never a signal
            sent = ::send(sock_, ptr, size, MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(false, ip, port); }
    socket_t socket() const override { return sock_; }

private:
    int Poll(short events, std::chrono::milliseconds timeout) const
    {
        pollfd fd{sock_, events, 0};
        int ready;
        do
            ready = ::poll(&fd, 1, static_cast<int>(std::max<std::int64_t>(0, timeout.count())));
        while (ready < 0 && errno == EINTR);
        return ready;
    }

    ssize_t Receive(char* ptr, size_t size)
    {
        ssize_t got;
        do
            got = ::recv(sock_, ptr, size, 0);
        while (got < 0 && errno == EINTR);
        return got;
    }

    void Address(bool peer, std::string& ip, int& port) const
    {
        sockaddr_storage address{};
        socklen_t length = sizeof(address);
        auto* any = reinterpret_cast<sockaddr*>(&address);
        if ((peer ? ::getpeername(sock_, any, &length) : ::getsockname(sock_, any, &length)) != 0)
            return;
        char text[INET6_ADDRSTRLEN] = {};
        if (address.ss_family == AF_INET) {
            const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
            ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof(text));
            port = ntohs(v4->sin_port);
        } else if (address.ss_family == AF_INET6) {
            const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
            ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof(text));
            port = ntohs(v6->sin6_port);
        }
        ip = text;
    }

    int sock_;
    std::chrono::microseconds readTimeout_;
    std::chrono::microseconds writeTimeout_;
    std::vector<char> buffer_;
    size_t offset_ = 0;
    size_t filled_ = 0;
    std::optional<Clock::time_point> deadline_;
    mutable bool expired_ = false;
};

thread_local const DeadlineStream* current = nullptr;

std::chrono::microseconds Micro(time_t seconds, time_t micro)
{
    return std::chrono::seconds(seconds) + std::chrono::microseconds(micro);
}

} // namespace

bool DeadlineServer::HeadersLate() { return current && current->Expired(); }

bool DeadlineServer::process_and_close_socket(socket_t sock)
{
    DeadlineStream stream(sock, Micro(read_timeout_sec_, read_timeout_usec_), Micro(write_timeout_sec_, write_timeout_usec_));
    current = &stream;
    bool answered = false;
    for (size_t count = keep_alive_max_count_; count > 0 && svr_sock_ != INVALID_SOCKET; --count) {
        if (!stream.WaitForRequest(std::chrono::seconds(keep_alive_timeout_sec_), svr_sock_))
            break;
        if (headerDeadline_.count() > 0)
            stream.StartDeadline(Clock::now() + headerDeadline_);
        bool closed = false;
        answered = process_request(stream, count == 1, closed, [&stream](httplib::Request&) { stream.EndDeadline(); });
        stream.EndDeadline();
        if (!answered || closed || stream.Expired())
            break;
    }
    current = nullptr;
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return answered;
}
