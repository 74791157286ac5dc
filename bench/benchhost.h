#pragma once

#include <QString>

#include <string>

// What a benchmark needs to know of the host directory in ORDOVANT_HOME, read the way the standalone
// host reads it, so that the reference works on the same file and branch as ordovant.
struct BenchHost
{
    std::string databasePath;
    int filiale = 0;
    std::string businessDate; // ISO

    // Exits the program with a message when ORDOVANT_HOME is not set or names no usable branch.
    static BenchHost fromEnvironment();
};

// Installs a newly made standalone host, as a new process would have it.
void installFreshHost();

// Frees the installed host while the application object still exists, since its database
// connection must close before Qt's SQL module goes away.
void releaseHost();

// The value of "--NAME=VALUE" among the program's arguments, or `fallback`.
QString argumentValue(const QString &name, const QString &fallback);
