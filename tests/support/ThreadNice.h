#pragma once
// The calling thread's own nice value (Linux keeps one per thread).
#ifdef __linux__
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

inline int ThreadNice()
{
    return getpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)));
}
#endif
