#include "postgresbranch.h"

#include "serverbranch.h"

std::unique_ptr<BranchSource> makePostgresBranch(const BranchDatabaseSettings &settings,
                                                 ServerWatchdog::Report report)
{
    return std::make_unique<ServerBranch>(settings, std::move(report));
}
