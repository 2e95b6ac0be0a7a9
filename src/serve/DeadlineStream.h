#pragma once
// The socket of one connection, read through a buffer as cpp-httplib's own
// stream reads it, with the per-read timeouts and each request's deadline
// (see DeadlineServer).
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class DeadlineStream final : public httplib::Stream {
public:
    using Clock = std::chrono::steady_clock;

    // Request line and headers together; the library bounds each header line
    // but not their number, nor the request line's length.
    static constexpr std::size_t HeaderBytesLimit = 64 * 1024;

    DeadlineStream(int sock, std::chrono::microseconds readTimeout, std::chrono::microseconds writeTimeout,
                   std::int64_t bytesPerSecond);

    void StartRequest(std::optional<Clock::time_point> deadline);
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
                        const std::function<bool()>& giveUp);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override { Address(true, ip, port); }
    void get_local_ip_and_port(std::string& ip, int& port) const override { Address(false, ip, port); }
    socket_t socket() const override { return sock_; }

private:
    static constexpr std::size_t BufferSize = 16 * 1024;

    ssize_t ReadSome(char* ptr, size_t size);
    int Poll(short events, std::chrono::milliseconds timeout) const;
    ssize_t Receive(char* ptr, size_t size);
    void Address(bool peer, std::string& ip, int& port) const;

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
