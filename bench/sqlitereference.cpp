#include "sqlitereference.h"

#include "benchsql.h"

#include <sqlite3.h>

#include <stdexcept>

SqliteReference::SqliteReference(const std::string &path)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        const std::string message = m_db ? sqlite3_errmsg(m_db) : "out of memory";
        sqlite3_close(m_db);
        throw std::runtime_error(path + ": " + message);
    }
}

SqliteReference::~SqliteReference()
{
    sqlite3_finalize(m_count);
    sqlite3_finalize(m_belege);
    sqlite3_close(m_db);
}

void SqliteReference::fail(const char *what) const
{
    throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(m_db));
}

sqlite3_stmt *SqliteReference::prepared(sqlite3_stmt *&statement, const char *sql)
{
    if (!statement && sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
        fail(sql);
    return statement;
}

qint32 SqliteReference::countOpenTasks(int filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                       TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    sqlite3_stmt *query = prepared(m_count, "SELECT gv, herkunft, count(*) FROM absortieraufgabe "
                                            "WHERE filiale = ? AND erledigt = 0 GROUP BY gv, herkunft");
    nachHerkunft.fill(0);
    nachGV.fill(0);
    sqlite3_bind_int(query, 1, filiale);
    qint64 total = 0;
    int rc;
    while ((rc = sqlite3_step(query)) == SQLITE_ROW) {
        const int gv = sqlite3_column_int(query, 0);
        const int herkunft = sqlite3_column_int(query, 1);
        const int count = sqlite3_column_int(query, 2);
        total += count;
        if (gv >= 0 && gv < GeschaeftsvorfallAnzahl)
            nachGV[gv] += count;
        if (herkunft >= 0 && herkunft < HerkunftAnzahl)
            nachHerkunft[herkunft] += count;
    }
    sqlite3_reset(query);
    if (rc != SQLITE_DONE)
        fail("count");
    return qint32(total);
}

bool SqliteReference::anyExpired(int filiale, const std::string &heute, int &rows)
{
    static const std::string sql = BenchSql::expiredOnSqlite();
    sqlite3_stmt *query = prepared(m_belege, sql.c_str());
    sqlite3_bind_text(query, 1, heute.c_str(), int(heute.size()), SQLITE_STATIC);
    sqlite3_bind_int(query, 2, filiale);
    for (int i = 0; i < int(BenchSql::ExpiredKinds.size()); ++i)
        sqlite3_bind_int(query, 3 + i, BenchSql::ExpiredKinds[i]);
    bool expired = false;
    rows = 0;
    int rc;
    while ((rc = sqlite3_step(query)) == SQLITE_ROW) {
        ++rows;
        // ordovant keeps every column of every row, so the floor reads them all too.
        sqlite3_column_int(query, 0);
        sqlite3_column_int(query, 1);
        if (sqlite3_column_int(query, 2) != 0)
            expired = true;
    }
    sqlite3_reset(query);
    if (rc != SQLITE_DONE)
        fail("belege");
    return expired;
}
