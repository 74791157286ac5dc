#pragma once

#include <QString>

#include <string>

// What a benchmark needs to know of the host directory in ORDOVANT_HOME, read the way the standalone
// host reads it, so that the reference works on the same file and branch as ordovant.
struct BenchHost
{
    bool server = false;      // QPSQL
    std::string databasePath; // QSQLITE
    std::string conninfo;     // QPSQL: libpq's connection string with the parameters ordovant passes
    int filiale = 0;
    std::string businessDate; // ISO
    std::string logPath;      // the host's ordovant.log

    // Exits the program with a message when ORDOVANT_HOME is not set or names no usable branch.
    static BenchHost fromEnvironment();
};

// True when ordovant has reported nothing in the host's log: a check that failed answers "nothing
// found", which must not pass for the real answer.
bool logIsEmpty(const BenchHost &host);

// Installs a newly made standalone host, as a new process would have it.
void installFreshHost();

// Runs `run` inside an application object, with Google Benchmark set up from the program's
// arguments and the repetition defaults of the table; frees the installed host before the
// application ends. Returns what `run` returns.
int runBenchmarkProgram(int argc, char *argv[], int (*run)());

// The value of "--NAME=VALUE" among the program's arguments, or `fallback`.
QString argumentValue(const QString &name, const QString &fallback);
