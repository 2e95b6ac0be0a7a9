#include "app/ProcessSetup.h"

#include <QByteArray>

#ifdef __GLIBC__
#include <malloc.h>
#endif

void PrepareProcess(const QStringList& arguments)
{
    if (arguments.value(0) != QLatin1String("batch"))
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
