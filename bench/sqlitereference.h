#pragma once

#include "expiredreference.h"
#include "host/hosttypes.h"

#include <string>

struct sqlite3;
struct sqlite3_stmt;

// The floor for the database work of the checks: the same queries on the same file straight through
// the SQLite C API, opened read-only, each statement prepared once.
class SqliteReference final : public ExpiredReference
{
public:
    explicit SqliteReference(const std::string &path);
    ~SqliteReference() override;

    // The grouped count of the branch's open sort-out tasks; returns the total.
    qint32 countOpenTasks(int filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                          TQVX_Aufgabe_GV_Integer_Array &nachGV);

    bool anyExpired(int filiale, const std::string &heute, int &rows) override;

private:
    sqlite3_stmt *prepared(sqlite3_stmt *&statement, const char *sql);
    [[noreturn]] void fail(const char *what) const;

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_count = nullptr;
    sqlite3_stmt *m_belege = nullptr;
};
