#include "serve/DeadlineServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Request line and headers together; the library bounds each header line
// but not their number, nor the request line's length.
constexpr std::size_t HeaderBytesLimit = 64 * 1024;

// The socket of one connection, read through a buffer as the library's own
// stream reads it, with the per-read timeouts and each request's deadline.
class DeadlineStream final : public httplib::Stream {
public:
    DeadlineStream(int sock, std::chrono::microseconds readTimeout, std::chrono::microseconds writeTimeout,
                   std::int64_t bytesPerSecond)
        : sock_(sock), readTimeout_(readTimeout), writeTimeout_(writeTimeout), bytesPerSecond_(std::max<std::int64_t>(1, bytesPerSecond))
    {
    }

    void StartRequest(std::optional<Clock::time_point> deadline)
    {
        deadline_ = deadline;
        headersDone_ = false;
        requestBytes_ = 0;
        written_ = 0;
    }
    void HeadersDone() { headersDone_ = true; }
    void EndRequest() { deadline_.reset(); }
    void CloseAfter() { closeAfter_ = true; }

    bool Expired() const { return expired_; }
    bool TooLong() const { return tooLong_; }
    bool Closing() const { return closeAfter_; }
    std::size_t RequestBytes() const { return requestBytes_; }
    std::size_t Written() const { return written_; }
    bool Buffered() const { return offset_ < filled_; }

    // Waits up to `timeout` for a request's first byte, while `running` and
    // until `giveUp` says so.
    bool WaitForRequest(std::chrono::milliseconds timeout, const std::atomic<socket_t>& running,
                        const std::function<bool()>& giveUp)
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
            if (giveUp && giveUp())
                return false;
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
        if (expired_ || tooLong_)
            return -1;
        if (!headersDone_ && requestBytes_ >= HeaderBytesLimit) {
            tooLong_ = true;
            return -1;
        }
        const ssize_t n = ReadSome(ptr, size);
        if (n > 0)
            requestBytes_ += static_cast<std::size_t>(n);
        return n;
    }

    ssize_t write(const char* ptr, size_t size) override
    {
        if (!is_writable())
            return -1;
        ssize_t sent;
        do // a client gone away is an error here, never a signal
            sent = ::send(sock_, ptr, size, MSG_NOSIGNAL);
        while (sent < 0 && errno == EINTR);
        if (sent > 0)
            written_ += static_cast<std::size_t>(sent);
        return sent;
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(false, ip, port); }
    socket_t socket() const override { return sock_; }

private:
    static constexpr std::size_t BufferSize = 16 * 1024;

    ssize_t ReadSome(char* ptr, size_t size)
    {
        if (Buffered()) {
            const size_t n = std::min(size, filled_ - offset_);
            std::memcpy(ptr, buffer_.get() + offset_, n);
            offset_ += n;
            return static_cast<ssize_t>(n);
        }
        if (!is_readable())
            return -1;
        if (size >= BufferSize)
            return Receive(ptr, size);
        if (!buffer_) // not before a request comes: idle connections cost no buffer
            buffer_.reset(new char[BufferSize]);
        offset_ = filled_ = 0;
        const ssize_t got = Receive(buffer_.get(), BufferSize);
        if (got <= 0)
            return got;
        filled_ = static_cast<size_t>(got);
        const size_t n = std::min(size, filled_);
        std::memcpy(ptr, buffer_.get(), n);
        offset_ = n;
        return static_cast<ssize_t>(n);
    }

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
        // A body earns its time as it comes: a client that keeps the rate
        // never misses the deadline, one that trickles soon does.
        if (got > 0 && headersDone_ && deadline_)
            *deadline_ += std::chrono::microseconds(got * std::int64_t{1'000'000} / bytesPerSecond_);
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
    std::int64_t bytesPerSecond_;
    std::unique_ptr<char[]> buffer_;
    size_t offset_ = 0;
    size_t filled_ = 0;
    std::optional<Clock::time_point> deadline_;
    bool headersDone_ = false;
    std::size_t requestBytes_ = 0;
    std::size_t written_ = 0;
    bool tooLong_ = false;
    bool closeAfter_ = false;
    mutable bool expired_ = false;
};

thread_local DeadlineStream* current = nullptr;
// Set on the accepting thread while it refuses a connection past the cap.
thread_local bool refusing = false;

std::chrono::microseconds Micro(time_t seconds, time_t micro)
{
    return std::chrono::seconds(seconds) + std::chrono::microseconds(micro);
}

// After an answer given before the request was all read: the client's
// answer would be lost to a reset if the socket closed on unread bytes, so
// they are read away while they come, for two seconds at most.
void Linger(int sock)
{
    ::shutdown(sock, SHUT_WR);
    const Clock::time_point end = Clock::now() + std::chrono::seconds(2);
    char scratch[16 * 1024];
    for (std::size_t total = 0; total < (std::size_t{8} << 20);) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd fd{sock, POLLIN, 0};
        if (left <= 0 || ::poll(&fd, 1, static_cast<int>(std::min<std::int64_t>(left, 500))) <= 0)
            return;
        const ssize_t n = ::recv(sock, scratch, sizeof(scratch), 0);
        if (n <= 0)
            return;
        total += static_cast<std::size_t>(n);
    }
}

const char* Reason(int status)
{
    switch (status) {
    case 408: return "Request Timeout";
    case 414: return "URI Too Long";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

} // namespace

// A thread for each connection, up to the cap; a thread left without work
// waits a while for the next connection, then ends.
class DeadlineServer::ConnectionThreads final : public httplib::TaskQueue {
public:
    explicit ConnectionThreads(DeadlineServer& server) : server_(server) {}
    ~ConnectionThreads() override { shutdown(); }
    ConnectionThreads(const ConnectionThreads&) = delete;
    ConnectionThreads& operator=(const ConnectionThreads&) = delete;

    void enqueue(std::function<void()> fn) override
    {
        JoinRetired();
        std::unique_lock lock(mutex_);
        if (server_.connections_ >= server_.limit_ || !Place(fn)) {
            lock.unlock();
            refusing = true; // the task only refuses: no thread is waited for
            fn();
            refusing = false;
        }
    }

    void shutdown() override
    {
        {
            std::unique_lock lock(mutex_);
            stopping_ = true;
            wake_.notify_all();
            gone_.wait(lock, [this] { return threads_.empty(); });
        }
        JoinRetired();
    }

private:
    // With the lock held: the task goes to a waiting thread or a new one.
    bool Place(std::function<void()>& fn)
    {
        jobs_.push_back(std::move(fn));
        ++server_.connections_;
        if (idle_ >= jobs_.size()) {
            wake_.notify_one();
            return true;
        }
        threads_.emplace_back();
        const auto self = std::prev(threads_.end());
        try {
            *self = std::thread([this, self] { Work(self); });
            return true;
        } catch (const std::system_error&) { // no thread to be had: refused as past the cap
            threads_.erase(self);
            fn = std::move(jobs_.back());
            jobs_.pop_back();
            --server_.connections_;
            return false;
        }
    }

    void Work(std::list<std::thread>::iterator self)
    {
        std::unique_lock lock(mutex_);
        for (;;) {
            ++idle_;
            wake_.wait_for(lock, std::chrono::seconds(30), [this] { return !jobs_.empty() || stopping_; });
            --idle_;
            if (jobs_.empty()) {
                retired_.push_back(std::move(*self));
                threads_.erase(self);
                if (threads_.empty())
                    gone_.notify_all();
                return;
            }
            std::function<void()> fn = std::move(jobs_.front());
            jobs_.pop_front();
            lock.unlock();
            fn();
            fn = nullptr;
            --server_.connections_;
            lock.lock();
        }
    }

    void JoinRetired()
    {
        std::vector<std::thread> done;
        {
            const std::lock_guard lock(mutex_);
            done.swap(retired_);
        }
        for (std::thread& t : done)
            t.join();
    }

    DeadlineServer& server_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable gone_;
    std::deque<std::function<void()>> jobs_;
    std::list<std::thread> threads_;
    std::vector<std::thread> retired_;
    std::size_t idle_ = 0;
    bool stopping_ = false;
};

DeadlineServer::DeadlineServer()
{
    new_task_queue = [this] { return new ConnectionThreads(*this); };
}

void DeadlineServer::SetRequestDeadline(std::chrono::milliseconds deadline, std::int64_t bytesPerSecond)
{
    deadline_ = deadline;
    bytesPerSecond_ = std::max<std::int64_t>(1, bytesPerSecond);
}

void DeadlineServer::SetConnectionLimit(int connections) { limit_ = std::max(1, connections); }

bool DeadlineServer::SetListenBacklog(int backlog)
{
    // Listening again on a listening socket only changes its backlog.
    const socket_t sock = svr_sock_;
    return sock != INVALID_SOCKET && ::listen(sock, backlog) == 0;
}

bool DeadlineServer::Late() { return current && current->Expired(); }

void DeadlineServer::CloseAfterAnswer()
{
    if (current)
        current->CloseAfter();
}

void DeadlineServer::WritePlain(socket_t sock, int status, bool wait)
{
    const std::string body = plainAnswer_ ? plainAnswer_(status) : std::string();
    std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + Reason(status) + "\r\n";
    if (status == 503)
        answer += "Retry-After: 1\r\n";
    answer += "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
              "\r\nConnection: close\r\n\r\n" + body;
    const int flags = MSG_NOSIGNAL | (wait ? 0 : MSG_DONTWAIT);
    std::size_t sent = 0;
    while (sent < answer.size()) {
        if (wait) {
            pollfd fd{sock, POLLOUT, 0};
            if (::poll(&fd, 1, static_cast<int>(write_timeout_sec_ * 1000 + write_timeout_usec_ / 1000)) <= 0)
                return;
        }
        const ssize_t n = ::send(sock, answer.data() + sent, answer.size() - sent, flags);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return;
        sent += static_cast<std::size_t>(n);
    }
}

void DeadlineServer::Refuse(socket_t sock)
{
    // A fresh socket's send buffer takes the few hundred bytes at once.
    WritePlain(sock, 503, false);
    ::shutdown(sock, SHUT_WR);
    // What the client sent already is read away, so that closing does not
    // reset the connection before it reads the answer.
    char scratch[4096];
    for (int i = 0; i < 16 && ::recv(sock, scratch, sizeof(scratch), MSG_DONTWAIT) > 0; ++i) {
    }
    ::close(sock);
}

bool DeadlineServer::process_and_close_socket(socket_t sock)
{
    if (refusing) {
        Refuse(sock);
        return false;
    }
    DeadlineStream stream(sock, Micro(read_timeout_sec_, read_timeout_usec_), Micro(write_timeout_sec_, write_timeout_usec_),
                          bytesPerSecond_);
    current = &stream;
    // Between requests a connection waits, unless others need its place.
    const auto crowded = [this] { return 4 * std::int64_t{connections_.load()} >= 3 * std::int64_t{limit_}; };
    bool answered = false;
    for (size_t count = keep_alive_max_count_; count > 0 && svr_sock_ != INVALID_SOCKET; --count) {
        const bool first = count == keep_alive_max_count_;
        if (!stream.WaitForRequest(std::chrono::seconds(keep_alive_timeout_sec_), svr_sock_,
                                   first ? std::function<bool()>() : crowded))
            break;
        stream.StartRequest(deadline_.count() > 0 ? std::optional(Clock::now() + deadline_) : std::nullopt);
        bool closed = false;
        answered = process_request(stream, count == 1, closed, [&stream](httplib::Request&) { stream.HeadersDone(); });
        stream.EndRequest();
        if (stream.Written() == 0 && stream.RequestBytes() > 0) {
            // The library answers nothing for a request line that never came whole.
            if (stream.Expired() || stream.TooLong())
                WritePlain(sock, stream.Expired() ? 408 : 414, true);
            break;
        }
        if (!answered || closed || stream.Expired() || stream.Closing())
            break;
    }
    current = nullptr;
    if (stream.Closing() || stream.Expired())
        Linger(sock);
    ::shutdown(sock, SHUT_RDWR);
    ::close(sock);
    return answered;
}
