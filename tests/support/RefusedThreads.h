#pragma once
// Thread starts that fail as std::thread's do when the process may start no
// more threads (pthread_create's EAGAIN).
#include "concurrency/ThreadPool.h"

#include <atomic>
#include <memory>
#include <system_error>
#include <thread>

// Starts `allowed` threads, then refuses every start.
inline ThreadStarter StartsRefusedAfter(int allowed)
{
    const auto left = std::make_shared<std::atomic<int>>(allowed);
    return [left](std::function<void()> body) {
        if (left->fetch_sub(1) <= 0)
            throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again),
                                    "no thread for the test");
        return std::thread(std::move(body));
    };
}
