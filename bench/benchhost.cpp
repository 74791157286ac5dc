#include "benchhost.h"

#include "host/hostbackend.h"
#include "host/standalone/hostconfig.h"
#include "host/hosttypes.h"
#include "host/standalone/standalonehost.h"
#include "medianreporter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

BenchHost BenchHost::fromEnvironment()
{
    if (qEnvironmentVariableIsEmpty("ORDOVANT_HOME")) {
        std::fputs("ORDOVANT_HOME must name the prepared host directory\n", stderr);
        std::exit(2);
    }
    try {
        HostConfig config;
        BenchHost host;
        host.databasePath = QFile::encodeName(config.databasePath()).toStdString();
        host.filiale =
            config.warenabgabeSetting(int(TZWL_SM_SimpleMaskKeys::FilialNummer), QString()).toInt();
        host.businessDate = config.businessDate().toString(Qt::ISODate).toStdString();
        if (host.filiale > 0)
            return host;
        std::fprintf(stderr, "%s names no branch\n", qPrintable(config.iniPath()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    std::exit(2);
}

void installFreshHost()
{
    installHostBackend(makeStandaloneHost());
}

int runBenchmarkProgram(int argc, char *argv[], int (*run)())
{
    std::vector<char *> arguments = benchmarkArguments(argc, argv);
    int count = int(arguments.size()) - 1;
    benchmark::Initialize(&count, arguments.data());
    QCoreApplication application(count, arguments.data());
    const int result = run();
    installHostBackend(nullptr);
    return result;
}

QString argumentValue(const QString &name, const QString &fallback)
{
    const QString prefix = QStringLiteral("--") + name + u'=';
    for (const QString &argument : QCoreApplication::arguments()) {
        if (argument.startsWith(prefix))
            return argument.mid(prefix.size());
    }
    return fallback;
}
