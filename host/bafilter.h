#pragma once

#include "hosttypes.h"

// Puts a filter into its empty state.
void BA_Filter_Clear(TQVX_BA_Filter &filter);
