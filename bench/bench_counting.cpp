// The sort-out check's detailed count against the same grouped query through the SQLite C API, on
// the branch database of ORDOVANT_HOME. Start it with -KD so that the check does not start printing.
//
// usage: ORDOVANT_HOME=DIR bench_counting -KD --label=TEXT [--steady-only] [--goal=G] [--benchmark_...]

#include "benchhost.h"
#include "benchtable.h"
#include "medianreporter.h"
#include "sqlitereference.h"

#include "check/ordovantdm.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

// Steady state: the host and its open database live on, as they do for the count that follows the
// options dialog; the call before the loop opened the database and prepared the query.
void ordovantSteady(benchmark::State &state)
{
    installFreshHost();
    TDMOrdovant dataModule;
    dataModule.ExistAbsortierAufgaben(true);
    for (auto _ : state)
        benchmark::DoNotOptimize(dataModule.ExistAbsortierAufgaben(true));
}

void referenceSteady(benchmark::State &state, const BenchHost &host)
{
    SqliteReference reference(host.databasePath);
    TQVX_Herkunfts_Integer_Array nachHerkunft{};
    TQVX_Aufgabe_GV_Integer_Array nachGV{};
    reference.countOpenTasks(host.filiale, nachHerkunft, nachGV);
    for (auto _ : state)
        benchmark::DoNotOptimize(reference.countOpenTasks(host.filiale, nachHerkunft, nachGV));
}

// A fresh host each time: host.ini read, the database opened, the query prepared and run, all closed.
void ordovantFreshHost(benchmark::State &state)
{
    for (auto _ : state) {
        installFreshHost();
        TDMOrdovant dataModule;
        benchmark::DoNotOptimize(dataModule.ExistAbsortierAufgaben(true));
    }
}

void referenceFreshConnection(benchmark::State &state, const BenchHost &host)
{
    TQVX_Herkunfts_Integer_Array nachHerkunft{};
    TQVX_Aufgabe_GV_Integer_Array nachGV{};
    for (auto _ : state) {
        SqliteReference reference(host.databasePath);
        benchmark::DoNotOptimize(reference.countOpenTasks(host.filiale, nachHerkunft, nachGV));
    }
}

// Times mean something only when both sides count the same, and count something.
bool sameCounts(const BenchHost &host)
{
    installFreshHost();
    TDMOrdovant dataModule;
    const bool found = dataModule.ExistAbsortierAufgaben(true);
    SqliteReference reference(host.databasePath);
    TQVX_Herkunfts_Integer_Array nachHerkunft{};
    TQVX_Aufgabe_GV_Integer_Array nachGV{};
    const qint32 total = reference.countOpenTasks(host.filiale, nachHerkunft, nachGV);
    if (found && total == dataModule.GetAnzAufgaben() && nachGV == dataModule.GetAnzNachGV() &&
        nachHerkunft == dataModule.GetAnzNachHerkunft())
        return true;
    std::fprintf(stderr, "bench_counting: ordovant found %s, counted %d; the reference counted %d\n",
                 found ? "tasks" : "no tasks", dataModule.GetAnzAufgaben(), total);
    return false;
}

void registerBenchmark(const char *name, void (*function)(benchmark::State &))
{
    benchmark::RegisterBenchmark(name, function)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

void registerBenchmark(const char *name, void (*function)(benchmark::State &, const BenchHost &),
                       const BenchHost &host)
{
    benchmark::RegisterBenchmark(name, function, host)->Unit(benchmark::kMicrosecond)->UseRealTime();
}

int runBenchmarks()
{
    // Without -KD every counted run would start the branch program's printing.
    if (!QCoreApplication::arguments().contains(QStringLiteral("-KD"), Qt::CaseInsensitive)) {
        std::fputs("bench_counting: start it with -KD\n", stderr);
        return 2;
    }
    const std::string label = argumentValue(QStringLiteral("label"), QStringLiteral("?")).toStdString();
    const double goal = argumentValue(QStringLiteral("goal"), QStringLiteral("1.2")).toDouble();
    const bool steadyOnly = QCoreApplication::arguments().contains(QStringLiteral("--steady-only"));

    const BenchHost host = BenchHost::fromEnvironment();
    if (!sameCounts(host))
        return 1;
    registerBenchmark("ordovant/steady", ordovantSteady);
    registerBenchmark("reference/steady", referenceSteady, host);
    if (!steadyOnly) {
        registerBenchmark("ordovant/fresh", ordovantFreshHost);
        registerBenchmark("reference/fresh", referenceFreshConnection, host);
    }
    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (reporter.failed())
        return 1;

    using BenchTable::Quantity;
    BenchTable::printRow("Counting " + label, reporter.medianSeconds("ordovant/steady"),
                         reporter.medianSeconds("reference/steady"), Quantity::Seconds, goal);
    if (!steadyOnly)
        BenchTable::printRow("Counting " + label + ", fresh host", reporter.medianSeconds("ordovant/fresh"),
                             reporter.medianSeconds("reference/fresh"), Quantity::Seconds, 0);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    return runBenchmarkProgram(argc, argv, runBenchmarks);
}
