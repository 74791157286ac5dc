#include "pgreference.h"

#include "benchsql.h"

#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr const char *StatementName = "belege";

struct ResultDeleter
{
    void operator()(PGresult *result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultDeleter>;

} // namespace

PgReference::PgReference(const std::string &conninfo) : m_connection(PQconnectdb(conninfo.c_str()))
{
    if (PQstatus(m_connection) != CONNECTION_OK) {
        const std::string message = PQerrorMessage(m_connection);
        PQfinish(m_connection);
        throw std::runtime_error("libpq: " + message);
    }
}

PgReference::~PgReference()
{
    PQfinish(m_connection);
}

void PgReference::fail(const char *what) const
{
    throw std::runtime_error(std::string(what) + ": " + PQerrorMessage(m_connection));
}

bool PgReference::anyExpired(int filiale, const std::string &heute, int &rows)
{
    if (!m_prepared) {
        // No parameter types: the server infers them, as it does for QPSQL's PREPARE.
        const Result prepared(PQprepare(m_connection, StatementName,
                                        BenchSql::numbered(BenchSql::expiredOnServer()).c_str(),
                                        int(2 + BenchSql::ExpiredKinds.size()), nullptr));
        if (PQresultStatus(prepared.get()) != PGRES_COMMAND_OK)
            fail("prepare");
        m_prepared = true;
    }
    std::vector<std::string> texts{heute, std::to_string(filiale)};
    for (int kind : BenchSql::ExpiredKinds)
        texts.push_back(std::to_string(kind));
    std::vector<const char *> values;
    for (const std::string &text : texts)
        values.push_back(text.c_str());
    const Result result(
        PQexecPrepared(m_connection, StatementName, int(values.size()), values.data(), nullptr, nullptr, 0));
    if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
        fail("belege");
    // A row per group of alike documents: the kind, expiry date given, expired, their number.
    rows = 0;
    bool expired = false;
    long sum = 0;
    for (int row = 0; row < PQntuples(result.get()); ++row) {
        // ordovant keeps every column of every row, so the floor reads them all too.
        sum += std::strtol(PQgetvalue(result.get(), row, 0), nullptr, 10);
        sum += std::strtol(PQgetvalue(result.get(), row, 1), nullptr, 10);
        if (std::strtol(PQgetvalue(result.get(), row, 2), nullptr, 10) != 0)
            expired = true;
        rows += int(std::strtol(PQgetvalue(result.get(), row, 3), nullptr, 10));
    }
    benchmark::DoNotOptimize(sum);
    return expired;
}
