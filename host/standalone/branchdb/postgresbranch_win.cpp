#include "postgresbranch.h"

#include "host/hosterror.h"

// The Windows build brings no libpq (and with it no TLS libraries) to the workstations; ODBC serves
// PostgreSQL there.
std::unique_ptr<BranchSource> makePostgresBranch(const BranchDatabaseSettings &, ServerWatchdog::Report)
{
    throw HostError(QStringLiteral("Treiber=QPSQL gibt es unter Windows nicht: einen PostgreSQL-Server "
                                   "erreicht das Programm dort über ODBC (Treiber=QODBC)."));
}
