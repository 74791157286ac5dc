#include "benchhost.h"

#include "host/hostbackend.h"
#include "host/hosttypes.h"
#include "host/standalone/config/hostconfig.h"
#include "host/standalone/standalonehost.h"
#include "medianreporter.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <vector>

namespace {

// One key='value' pair of a libpq connection string.
std::string conninfoPair(const char *key, const QString &value)
{
    QString quoted = value;
    quoted.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return std::string(key) + "='" + quoted.toStdString() + "' ";
}

// What QPSQL hands to PQconnectdb for these settings, less the password, which libpq finds itself.
std::string connectionString(const BranchDatabaseSettings &settings)
{
    std::string text;
    if (!settings.host.isEmpty())
        text += conninfoPair("host", settings.host);
    if (settings.port > 0)
        text += conninfoPair("port", QString::number(settings.port));
    text += conninfoPair("dbname", settings.name);
    if (!settings.user.isEmpty())
        text += conninfoPair("user", settings.user);
    text += conninfoPair("connect_timeout", QString::number(settings.timeoutSeconds));
    for (const QString &option : settings.options.split(u';', Qt::SkipEmptyParts))
        text += option.trimmed().toStdString() + ' ';
    return text;
}

} // namespace

BenchHost BenchHost::fromEnvironment()
{
    if (qEnvironmentVariableIsEmpty("ORDOVANT_HOME")) {
        std::fputs("ORDOVANT_HOME must name the prepared host directory\n", stderr);
        std::exit(2);
    }
    try {
        HostConfig config;
        BenchHost host;
        const BranchDatabaseSettings database = config.database();
        host.server = database.driver == QLatin1String("QPSQL");
        if (host.server)
            host.conninfo = connectionString(database);
        else
            host.databasePath = QFile::encodeName(database.path).toStdString();
        host.filiale =
            config.warenabgabeSetting(int(TZWL_SM_SimpleMaskKeys::FilialNummer), QString()).toInt();
        host.businessDate = config.businessDate().toString(Qt::ISODate).toStdString();
        host.logPath = QFile::encodeName(config.logPath()).toStdString();
        if (host.filiale > 0)
            return host;
        std::fprintf(stderr, "%s names no branch\n", qPrintable(config.iniPath()));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s\n", e.what());
    }
    std::exit(2);
}

bool logIsEmpty(const BenchHost &host)
{
    const QFileInfo log(QFile::decodeName(host.logPath.c_str()));
    if (!log.exists() || log.size() == 0)
        return true;
    std::fprintf(stderr, "ordovant reported errors in %s\n", host.logPath.c_str());
    return false;
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
