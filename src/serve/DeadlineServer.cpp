#include "serve/DeadlineServer.h"

#include "serve/DeadlineStream.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

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
    answer += plainHeaders_ + "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
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
