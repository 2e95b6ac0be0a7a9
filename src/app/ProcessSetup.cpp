#include "app/ProcessSetup.h"

#include <QByteArray>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void PrepareProcess(const QStringList& arguments)
{
    // A batch's and a service's workers each draw on their own thread.
    if (arguments.value(0) != QLatin1String("batch") && arguments.value(0) != QLatin1String("serve"))
        return;
    if (!qEnvironmentVariableIsSet("LP_NUM_THREADS"))
        qputenv("LP_NUM_THREADS", "0");
}

void PrepareWindowProcess()
{
#ifdef __GLIBC__
    mallopt(M_MMAP_THRESHOLD, WindowMmapThreshold);
    // A threshold set by hand leaves the trim threshold at 128 KiB, where
    // glibc's own sliding one keeps it at twice the mmap threshold: every
    // frame's copies of the window's image (a few MB) were then given back
    // and faulted in again, a third of the view's thread on a busy machine.
    mallopt(M_TRIM_THRESHOLD, 2 * WindowMmapThreshold);
#endif
}
