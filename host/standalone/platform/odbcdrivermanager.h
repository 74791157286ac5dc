#pragma once

#include <QHash>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// A function of the ODBC driver manager, which the QODBC plugin has loaded already; the program does
// not link it, so that a start on SQLite or QPSQL does not load it. Null where there is none.
QFunctionPointer odbcDriverManagerFunction(const char *name);

// What the driver manager knows: its registered drivers (odbcinst.ini on Unix, the registry on
// Windows) with the library file each loads where it says so, and its data sources with the driver
// each names.
struct OdbcInstallation
{
    QHash<QString, QString> driverLibraries; // registered name, as DRIVER= gives it -> library or empty
    QHash<QString, QString> dataSources;     // data source name -> registered name of its driver
};

// None where there is no driver manager.
std::optional<OdbcInstallation> odbcInstallation();
