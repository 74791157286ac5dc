// The expired reservations check against the same SELECT straight through the database's C API
// (SQLite or libpq, after host.ini's driver), on the branch database of ORDOVANT_HOME.
//
// usage: ORDOVANT_HOME=DIR bench_expired --label=TEXT [--goal=G] [--benchmark_...]

#include "benchhost.h"
#include "benchtable.h"
#include "medianreporter.h"
#include "pgreference.h"
#include "sqlitereference.h"

#include "check/ordovantdm.h"

#include <cstdio>
#include <memory>

namespace {

// The host and its open database live on; the call before the loop opened the database.
void ordovantSteady(benchmark::State &state)
{
    installFreshHost();
    TDMOrdovant dataModule;
    dataModule.ExistAbgelaufeneBelege();
    for (auto _ : state)
        benchmark::DoNotOptimize(dataModule.ExistAbgelaufeneBelege());
}

std::unique_ptr<ExpiredReference> connect(const BenchHost &host)
{
    if (host.server)
        return std::make_unique<PgReference>(host.conninfo);
    return std::make_unique<SqliteReference>(host.databasePath);
}

void referenceSteady(benchmark::State &state, const BenchHost &host)
{
    const auto reference = connect(host);
    int rows = 0;
    reference->anyExpired(host.filiale, host.businessDate, rows);
    for (auto _ : state)
        benchmark::DoNotOptimize(reference->anyExpired(host.filiale, host.businessDate, rows));
}

// Times mean something only when both sides give the same answer over a non-empty list.
bool sameAnswer(const BenchHost &host)
{
    installFreshHost();
    TDMOrdovant dataModule;
    const bool ordovant = dataModule.ExistAbgelaufeneBelege();
    int rows = 0;
    const bool expected = connect(host)->anyExpired(host.filiale, host.businessDate, rows);
    if (!logIsEmpty(host))
        return false;
    if (rows > 0 && ordovant == expected)
        return true;
    std::fprintf(stderr, "bench_expired: ordovant answered %d, the reference %d over %d documents\n",
                 ordovant, expected, rows);
    return false;
}

int runBenchmarks()
{
    const std::string label = argumentValue(QStringLiteral("label"), QStringLiteral("?")).toStdString();
    const double goal = argumentValue(QStringLiteral("goal"), QStringLiteral("1.2")).toDouble();
    const BenchHost host = BenchHost::fromEnvironment();
    if (!sameAnswer(host))
        return 1;
    benchmark::RegisterBenchmark("ordovant", ordovantSteady)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("reference", referenceSteady, host)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.failed())
        return 1;
    BenchTable::printRow("Expired check, " + label, reporter.medianSeconds("ordovant"),
                         reporter.medianSeconds("reference"), BenchTable::Quantity::Seconds, goal);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return runBenchmarkProgram(argc, argv, runBenchmarks);
}
