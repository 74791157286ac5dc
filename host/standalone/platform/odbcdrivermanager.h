#pragma once

#include <QStringList>
#include <QtGlobal>

#include <optional>

// A function of the ODBC driver manager, which the QODBC plugin has loaded already; the program does
// not link it, so that a start on SQLite or QPSQL does not load it. Null where there is none.
QFunctionPointer odbcDriverManagerFunction(const char *name);

// The drivers the driver manager has registered (odbcinst.ini on Unix, the registry on Windows), by
// the names a connection string's DRIVER= gives; none where there is no driver manager.
std::optional<QStringList> registeredOdbcDrivers();
