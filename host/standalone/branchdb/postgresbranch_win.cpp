#include "postgresbranch.h"

#include "serverbranch.h"

std::unique_ptr<BranchSource> makePostgresBranch(const BranchDatabaseSettings &settings)
{
    return std::make_unique<ServerBranch>(settings);
}
