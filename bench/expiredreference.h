#pragma once

#include <string>

// The floor for the expired check: ordovant's SELECT straight through the database's C API, on one
// connection, the statement prepared once.
class ExpiredReference
{
public:
    virtual ~ExpiredReference() = default;
    ExpiredReference(const ExpiredReference &) = delete;
    ExpiredReference &operator=(const ExpiredReference &) = delete;

    // Reads every open reservation and selection of the branch (kinds 32 and 33); true when one of them
    // expired before `heute` (ISO).
    virtual bool anyExpired(int filiale, const std::string &heute, int &rows) = 0;

protected:
    ExpiredReference() = default;
};
