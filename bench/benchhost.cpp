#include "benchhost.h"

#include "host/hostbackend.h"
#include "host/hostconfig.h"
#include "host/hosttypes.h"
#include "host/standalonehost.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <exception>

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

void releaseHost()
{
    installHostBackend(nullptr);
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
