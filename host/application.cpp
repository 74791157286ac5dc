#include "application.h"

#include "hostbackend.h"

void TApplication::Terminate()
{
    hostBackend().applicationTerminate();
}

bool TApplication::Terminated()
{
    return hostBackend().applicationTerminated();
}
