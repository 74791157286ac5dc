#pragma once

#include <QtGlobal>

// A function of the ODBC driver manager, which the QODBC plugin has loaded already; the program does
// not link it, so that a start on SQLite or QPSQL does not load it. Null where there is none.
QFunctionPointer odbcDriverManagerFunction(const char *name);
