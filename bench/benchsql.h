#pragma once

#include "host/standalone/branchdb/branchsql.h"

#include <array>
#include <string>

// ordovant's statements as it sends them, for the references to run the same ones.
namespace BenchSql {

// The "?" placeholders numbered $1, $2, ... as QPSQL hands them to the server.
inline std::string numbered(const std::string &sql)
{
    std::string result;
    int n = 0;
    for (char c : sql) {
        if (c == '?')
            result += '$' + std::to_string(++n);
        else
            result += c;
    }
    return result;
}

// The kinds of the expired check: reservations and selections, in the order ordovant binds them.
inline constexpr std::array<int, 2> ExpiredKinds{32, 33};

// The expired check's SELECT on a server and on SQLite, bound in this order: the business date (ISO),
// the branch, the kinds.
inline std::string expiredOnServer()
{
    return BranchSql::openBelegeOfKinds(ExpiredKinds.size()).toStdString();
}

inline std::string expiredOnSqlite()
{
    return BranchSql::openBelegeOfKindsSqlite(ExpiredKinds.size()).toStdString();
}

} // namespace BenchSql
