#include "serve/DeadlineStream.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

DeadlineStream::DeadlineStream(int sock, std::chrono::microseconds readTimeout, std::chrono::microseconds writeTimeout,
                               std::int64_t bytesPerSecond)
    : sock_(sock), readTimeout_(readTimeout), writeTimeout_(writeTimeout), bytesPerSecond_(std::max<std::int64_t>(1, bytesPerSecond))
{
}

void DeadlineStream::StartRequest(std::optional<Clock::time_point> deadline)
{
    deadline_ = deadline;
    headersDone_ = false;
    requestBytes_ = 0;
    written_ = 0;
}

bool DeadlineStream::WaitForRequest(std::chrono::milliseconds timeout, const std::atomic<socket_t>& running,
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

bool DeadlineStream::is_readable() const
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

bool DeadlineStream::is_writable() const
{
    return Poll(POLLOUT, std::chrono::duration_cast<std::chrono::milliseconds>(writeTimeout_)) > 0;
}

ssize_t DeadlineStream::read(char* ptr, size_t size)
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

ssize_t DeadlineStream::write(const char* ptr, size_t size)
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

ssize_t DeadlineStream::ReadSome(char* ptr, size_t size)
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

int DeadlineStream::Poll(short events, std::chrono::milliseconds timeout) const
{
    pollfd fd{sock_, events, 0};
    int ready;
    do
        ready = ::poll(&fd, 1, static_cast<int>(std::max<std::int64_t>(0, timeout.count())));
    while (ready < 0 && errno == EINTR);
    return ready;
}

ssize_t DeadlineStream::Receive(char* ptr, size_t size)
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

void DeadlineStream::Address(bool peer, std::string& ip, int& port) const
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
