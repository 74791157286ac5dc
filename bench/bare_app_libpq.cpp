// The floor of a run without work against a branch server: a Qt Widgets program that constructs its
// application object, connects with libpq and runs ordovant's grouped count of the branch's open
// tasks, every row read.
//
// usage: bare_app_libpq CONNINFO BRANCH     (the password from libpq's own sources)

#include "benchsql.h"
#include "host/hosttypes.h"

#include <libpq-fe.h>

#include <QApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    if (argc != 3) {
        std::fputs("usage: bare_app_libpq CONNINFO BRANCH\n", stderr);
        return 2;
    }
    PGconn *connection = PQconnectdb(argv[1]);
    if (PQstatus(connection) != CONNECTION_OK) {
        std::fprintf(stderr, "bare_app_libpq: %s", PQerrorMessage(connection));
        PQfinish(connection);
        return 1;
    }
    const std::string sql = BenchSql::numbered(BranchSql::CountOpenTasks.toStdString());
    const char *branch[] = {argv[2]};
    PGresult *result = PQexecParams(connection, sql.c_str(), 1, nullptr, branch, nullptr, nullptr, 0);
    int status = 0;
    if (PQresultStatus(result) == PGRES_TUPLES_OK) {
        // Tallied as ordovant tallies them.
        TQVX_Aufgabe_GV_Integer_Array nachGV{};
        TQVX_Herkunfts_Integer_Array nachHerkunft{};
        long total = 0;
        for (int row = 0; row < PQntuples(result); ++row) {
            const long gv = std::strtol(PQgetvalue(result, row, 0), nullptr, 10);
            const long herkunft = std::strtol(PQgetvalue(result, row, 1), nullptr, 10);
            const long count = std::strtol(PQgetvalue(result, row, 2), nullptr, 10);
            total += count;
            if (gv >= 0 && gv < GeschaeftsvorfallAnzahl)
                nachGV[gv] += qint32(count);
            if (herkunft >= 0 && herkunft < HerkunftAnzahl)
                nachHerkunft[herkunft] += qint32(count);
        }
    } else {
        std::fprintf(stderr, "bare_app_libpq: %s", PQerrorMessage(connection));
        status = 1;
    }
    PQclear(result);
    PQfinish(connection);
    return status;
}
