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
