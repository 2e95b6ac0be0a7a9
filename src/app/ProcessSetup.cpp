#include "app/ProcessSetup.h"

#include <QByteArray>

void PrepareProcess(const QStringList& arguments)
{
    if (arguments.value(0) != QLatin1String("batch"))
        return;
    if (!qEnvironmentVariableIsSet("LP_NUM_THREADS"))
        qputenv("LP_NUM_THREADS", "0");
}
