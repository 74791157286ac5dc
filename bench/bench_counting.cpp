// The sort-out check's detailed count against the same grouped query through the SQLite C API, on
// the branch database of ORDOVANT_HOME. Start it with -KD so that the check does not start printing.
// With --reference-home=DIR the reference is ordovant's own count on that host directory instead: the
// same branch reached another way (directly, where ORDOVANT_HOME goes through a pooler).
//
// usage: ORDOVANT_HOME=DIR bench_counting -KD --label=TEXT [--reference-home=DIR] [--steady-only]
//        [--goal=G] [--benchmark_...]

#include "benchhost.h"
#include "benchtable.h"
#include "medianreporter.h"
#include "sqlitereference.h"

#include "check/ordovantdm.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

// The host directory of each side; installed afresh by each benchmark, as the two take turns.
struct Homes
{
    QByteArray ordovant = qgetenv("ORDOVANT_HOME");
    QByteArray reference = QFile::encodeName(argumentValue(QStringLiteral("reference-home"), QString()));
};

void installHostOf(const QByteArray &home)
{
    qputenv("ORDOVANT_HOME", home);
    installFreshHost();
}

// Steady state: the host and its open database live on, as they do for the count that follows the
// options dialog; the call before the loop opened the database and prepared the query.
void ordovantSteady(benchmark::State &state, const QByteArray &home)
{
    installHostOf(home);
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
void ordovantFreshHost(benchmark::State &state, const QByteArray &home)
{
    for (auto _ : state) {
        installHostOf(home);
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

struct Counts
{
    bool found = false;
    qint32 total = 0;
    TQVX_Herkunfts_Integer_Array nachHerkunft{};
    TQVX_Aufgabe_GV_Integer_Array nachGV{};

    bool operator==(const Counts &) const = default;
};

Counts ordovantCounts(const QByteArray &home)
{
    installHostOf(home);
    TDMOrdovant dataModule;
    const bool found = dataModule.ExistAbsortierAufgaben(true);
    return {found, dataModule.GetAnzAufgaben(), dataModule.GetAnzNachHerkunft(), dataModule.GetAnzNachGV()};
}

Counts referenceCounts(const BenchHost &host)
{
    Counts counts;
    SqliteReference reference(host.databasePath);
    counts.total = reference.countOpenTasks(host.filiale, counts.nachHerkunft, counts.nachGV);
    counts.found = counts.total > 0;
    return counts;
}

// Times mean something only when both sides count the same, and count something.
bool sameCounts(const Homes &homes, const BenchHost &host)
{
    const Counts ordovant = ordovantCounts(homes.ordovant);
    const Counts reference =
        homes.reference.isEmpty() ? referenceCounts(host) : ordovantCounts(homes.reference);
    if (ordovant.found && ordovant == reference)
        return true;
    std::fprintf(stderr, "bench_counting: ordovant found %s, counted %d; the reference counted %d\n",
                 ordovant.found ? "tasks" : "no tasks", ordovant.total, reference.total);
    return false;
}

template <typename... Arguments>
void registerBenchmark(const char *name, void (*function)(benchmark::State &, const Arguments &...),
                       const Arguments &...arguments)
{
    benchmark::RegisterBenchmark(name, function, arguments...)->Unit(benchmark::kMicrosecond)->UseRealTime();
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
    const Homes homes;
    if (!sameCounts(homes, host) || !logIsEmpty(host))
        return 1;
    registerBenchmark("ordovant/steady", ordovantSteady, homes.ordovant);
    if (homes.reference.isEmpty())
        registerBenchmark("reference/steady", referenceSteady, host);
    else
        registerBenchmark("reference/steady", ordovantSteady, homes.reference);
    if (!steadyOnly) {
        registerBenchmark("ordovant/fresh", ordovantFreshHost, homes.ordovant);
        if (homes.reference.isEmpty())
            registerBenchmark("reference/fresh", referenceFreshConnection, host);
        else
            registerBenchmark("reference/fresh", ordovantFreshHost, homes.reference);
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
