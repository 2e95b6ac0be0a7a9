#include "window/InputBurst.h"

#include <QElapsedTimer>

namespace {

// One per process: the pointer and the keyboard are too.
QElapsedTimer& LastStep()
{
    static QElapsedTimer last;
    return last;
}

} // namespace

void NoteInputBurst()
{
    LastStep().start();
}

bool InputBurstRunning()
{
    return LastStep().isValid() && !LastStep().hasExpired(InputBurstPauseMs);
}
