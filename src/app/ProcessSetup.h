#pragma once
// What holds for the whole process is set here, by the program itself, once
// and before any thread or library starts; the libraries change none of it.
#include <QStringList>

// For a batch (the arguments after the program's name start with "batch"):
// each worker stands for one core, so the software GL (llvmpipe), which
// otherwise draws with a thread per core in every context, draws on the
// worker's own thread. Its thread count is LP_NUM_THREADS, read once when
// the driver loads; a user's own value stands. Nothing for other commands.
void PrepareProcess(const QStringList& arguments);

// For the window, which loads cover after cover: the few-megabyte blocks
// each cover brings and takes (rows being read, the GL's own buffers) come
// from the heap and are reused, rather than each becoming a mapping of its
// own under glibc's sliding limit. Three 24 MP covers settled at 324 MiB
// with it and 365 MiB without (bench/window-cover.sh's program). Freed
// blocks up to twice that size stay with the heap for the next frame.
void PrepareWindowProcess();
constexpr int WindowMmapThreshold = 8 << 20;
