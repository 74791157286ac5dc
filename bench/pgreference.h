#pragma once

#include <string>

struct pg_conn;

// The floor for the expired check on a branch server: ordovant's SELECT straight through libpq, on
// one connection made with the parameters ordovant uses, the statement prepared once.
class PgReference final
{
public:
    explicit PgReference(const std::string &conninfo);
    ~PgReference();
    PgReference(const PgReference &) = delete;
    PgReference &operator=(const PgReference &) = delete;

    // Reads every open reservation and selection of the branch (kinds 32 and 33); true when the server
    // found one expired before `heute` (ISO).
    bool anyExpired(int filiale, const std::string &heute, int &rows);

private:
    [[noreturn]] void fail(const char *what) const;

    pg_conn *m_connection = nullptr;
    bool m_prepared = false;
};
