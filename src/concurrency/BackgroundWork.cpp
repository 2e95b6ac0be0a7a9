#include "concurrency/BackgroundWork.h"

#include "concurrency/ThreadPool.h"

#include <cerrno>
#include <thread>
#include <utility>

#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

bool LowerThisThreadsPriority()
{
#ifdef __linux__
    // Linux keeps a nice value per thread; elsewhere setpriority would lower
    // the whole process, the window's thread with it.
    const auto self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno != 0)
        return false;
    return now >= BackgroundNice || setpriority(PRIO_PROCESS, self, BackgroundNice) == 0;
#else
    return false;
#endif
}

ThreadPool& BackgroundThreadPool()
{
    static ThreadPool* const pool = new ThreadPool(
        [](std::function<void()> body) {
            return std::thread([body = std::move(body)] {
                LowerThisThreadsPriority();
                body();
            });
        },
        ThreadPool::NestedWork::StaysHere);
    return *pool;
}
