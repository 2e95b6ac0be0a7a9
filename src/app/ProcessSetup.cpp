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
    mallopt(M_MMAP_THRESHOLD, 8 << 20);
#endif
}
