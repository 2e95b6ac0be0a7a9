#pragma once
// cpp-httplib's server with a deadline on each request's line and headers
// as a whole. Its own read timeout applies to each read, so a client that
// sends a byte now and then would hold a connection thread for as long as
// the header limit lets it; here such a client loses its connection once
// the deadline passes (answered 408 when its request line has come).
#include <httplib.h>

#include <chrono>

class DeadlineServer : public httplib::Server {
public:
    // From a request's first byte until its last header; 0 turns it off.
    void SetHeaderDeadline(std::chrono::milliseconds deadline) { headerDeadline_ = deadline; }

    // True on a connection's thread (a handler, the error handler) once the
    // request being answered there missed its header deadline.
    static bool HeadersLate();

private:
    // The library's loop over a connection's requests, over a stream that
    // keeps the deadline.
    bool process_and_close_socket(socket_t sock) override;

    std::chrono::milliseconds headerDeadline_{5000};
};
