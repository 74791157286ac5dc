#include "postgresbranch.h"

#include "libpqbranch.h"

std::unique_ptr<BranchSource> makePostgresBranch(const BranchDatabaseSettings &settings)
{
    return std::make_unique<LibpqBranch>(settings);
}
