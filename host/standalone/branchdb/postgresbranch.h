#pragma once

#include "branchsource.h"
#include "host/standalone/config/hostconfig.h"
#include "serverwatchdog.h"

#include <memory>

// The branch database on a PostgreSQL server (Treiber=QPSQL): through libpq itself on Linux, one
// round trip per piece of work. The Windows build has no libpq and refuses it with a HostError that
// names ODBC.
std::unique_ptr<BranchSource> makePostgresBranch(const BranchDatabaseSettings &settings,
                                                 ServerWatchdog::Report report);
