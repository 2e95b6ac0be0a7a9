#pragma once
// Work nobody watches happen (the window reading a cover while its view
// turns) runs on threads of lower priority than the rest of the process, so
// that on a machine with few cores the view's thread and the GL's own
// threads get a core first when they need one. It still takes every core
// nobody else wants, so it is hardly slower on a quiet machine.
class ThreadPool;

// The nice value the background threads run at where threads have one of
// their own (Linux); elsewhere they keep the process's priority.
constexpr int BackgroundNice = 10;

// A pool of threads that lowered their own priority when they started (they
// cannot raise it again) and whose parallel work (ParallelRows, RunAside)
// stays on that pool. Never destroyed, as ThreadPool::Current's.
ThreadPool& BackgroundThreadPool();

// Lowers the calling thread's priority to BackgroundNice (never raises it);
// false where that cannot be done for one thread alone.
bool LowerThisThreadsPriority();
