#pragma once

#include "host/hosttypes.h"

class QProcess;

// Lets the process open its first window in the requested state where the platform knows one.
void setStartWindowState(QProcess &process, TWindowState state);
