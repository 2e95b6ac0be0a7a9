#pragma once
// cpp-httplib's server, held to what a real network sends it:
// - each connection has a thread of its own, up to a cap; a connection past
//   the cap is answered 503 at once on the accepting thread, so a request
//   that gets in never waits for a thread behind slow or idle clients;
// - a request's line, headers and body must all come within a deadline from
//   its first byte, which grows with the body received (a client sending at
//   least the given rate never misses it). The library's own timeout applies
//   to each read, so a client sending a byte now and then would otherwise
//   hold its thread for as long as the header and body limits let it;
// - a keep-alive connection waits for its next request a while, and not at
//   all once the connections near the cap;
// - a listen backlog wider than the library's 5.
#include <httplib.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

class DeadlineServer : public httplib::Server {
public:
    DeadlineServer();

    // From a request's first byte until its last; 0 turns it off. Every
    // `bytesPerSecond` of body received adds a second.
    void SetRequestDeadline(std::chrono::milliseconds deadline, std::int64_t bytesPerSecond);
    // Connections served at once (at least 1).
    void SetConnectionLimit(int connections);
    int ConnectionLimit() const { return limit_; }
    // Connections being served now.
    int Connections() const { return connections_.load(); }
    // The body of an answer given outside the library's routing (503 past
    // the cap, 408 for a late request line, 414 for an endless one); also
    // told of each.
    void SetPlainAnswer(std::function<std::string(int status)> body) { plainAnswer_ = std::move(body); }
    // Header lines ("Name: value\r\n") those answers carry besides.
    void SetPlainHeaders(std::string lines) { plainHeaders_ = std::move(lines); }
    // After binding: the listen backlog. False when the socket refuses it.
    bool SetListenBacklog(int backlog);

    // True on a connection's thread (a handler, the error handler) once the
    // request being read there missed its deadline.
    static bool Late();
    // From a handler: the connection ends after this answer (a body left
    // unread, say).
    static void CloseAfterAnswer();

private:
    class ConnectionThreads;
    friend class ConnectionThreads;

    // The library's loop over a connection's requests, over a stream that
    // keeps the deadline.
    bool process_and_close_socket(socket_t sock) override;
    // Past the cap: 503 without a thread of its own.
    void Refuse(socket_t sock);
    void WritePlain(socket_t sock, int status, bool wait);

    std::chrono::milliseconds deadline_{5000};
    std::int64_t bytesPerSecond_ = 16 * 1024;
    int limit_ = 512;
    std::atomic<int> connections_{0};
    std::function<std::string(int)> plainAnswer_;
    std::string plainHeaders_;
};
