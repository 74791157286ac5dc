#include "bafilter.h"

#include "hostbackend.h"

void BA_Filter_Clear(TQVX_BA_Filter &filter)
{
    hostBackend().baFilterClear(filter);
}
