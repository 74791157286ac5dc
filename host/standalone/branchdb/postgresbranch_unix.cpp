#include "postgresbranch.h"

#include "libpqbranch.h"

std::unique_ptr<BranchSource> makePostgresBranch(const BranchDatabaseSettings &settings,
                                                 ServerWatchdog::Report report)
{
    return std::make_unique<LibpqBranch>(settings, std::move(report));
}
