// settingswriter ROUTE NAME [ROUNDS]
// One writer of many that share a settings store, in the host directory ORDOVANT_HOME names. It waits
// for one line on standard input, so that all writers start together, then writes along its route:
//   datenmodul  the data module as terminal NAME (host.ini's): "GV" and "HERKUNFT" ROUNDS times, each
//               read back, and the last values printed as "GV=..." and "HERKUNFT=...";
//   speicher    the host's store itself: keys "NAME-0" to "NAME-<ROUNDS-1>" with the values
//               "NAME-<n>-wert", each read back, and "ZULETZT" the last key written;
//   sperre      takes the store's lock file NAME and ends at once holding it, as a writer killed
//               mid-save (it waits for nothing).
// Exits 0 only when every value read back was the one written and the host reported nothing, 1 with
// the reason on standard error otherwise, 2 on a wrong command line.

#include "check/delimitedlist.h"
#include "check/ordovantdm.h"
#include "host/hostbackend.h"
#include "host/qvxinfo.h"
#include "host/standalone/standalonehost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QScopeGuard>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <iostream>
#include <string>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "settingswriter: %s\n", qPrintable(message));
    return 1;
}

// A code with a blank needs quoting and the umlaut needs UTF-8: both must survive the shared store.
QString gvValue(const QString &terminal, int round)
{
    return joinDelimitedList({QStringLiteral("KUNDBEST"), QStringLiteral("%1 R%2").arg(terminal).arg(round)});
}

QString herkunftValue(int round)
{
    return joinDelimitedList({QStringLiteral("O"), QStringLiteral("Ä"), QString(QChar(u'A' + round % 26))});
}

// Writes one setting and reads it back; false (and a message) when the value read is another.
bool writeAndReadBack(TDMOrdovant &dataModule, const QString &name, const QString &value)
{
    dataModule.Einstellung_speichern(name, value);
    const QString read = dataModule.Einstellung_laden(name, QStringLiteral("<none>"));
    if (read == value)
        return true;
    fail(QStringLiteral("%1: wrote \"%2\", read \"%3\"").arg(name, value, read));
    return false;
}

QStringList hostReports()
{
    QFile log(QDir(qEnvironmentVariable("ORDOVANT_HOME")).filePath(QStringLiteral("ordovant.log")));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

int throughTheDataModule(const QString &terminal, int rounds)
{
    // The host this writer's home makes, gone again before the application.
    const auto restore = qScopeGuard([previous = installHostBackend(makeStandaloneHost())]() mutable {
        installHostBackend(std::move(previous));
    });
    const QString hostTerminal = QVXInfoTerminalID();
    if (hostTerminal != terminal)
        return fail(QStringLiteral("the host directory belongs to terminal \"%1\"").arg(hostTerminal));
    TDMOrdovant dataModule;
    int mismatches = 0;
    for (int round = 0; round < rounds; ++round) {
        mismatches += writeAndReadBack(dataModule, QStringLiteral("GV"), gvValue(terminal, round)) ? 0 : 1;
        mismatches += writeAndReadBack(dataModule, QStringLiteral("HERKUNFT"), herkunftValue(round)) ? 0 : 1;
    }
    std::printf("GV=%s\nHERKUNFT=%s\n", gvValue(terminal, rounds - 1).toUtf8().constData(),
                herkunftValue(rounds - 1).toUtf8().constData());
    const QStringList reports = hostReports();
    for (const QString &report : reports)
        fail(QStringLiteral("reported: %1").arg(report));
    return mismatches == 0 && reports.isEmpty() ? 0 : 1;
}

int throughTheStore(const QString &prefix, int rounds)
{
    StandaloneHost host;
    const auto store = host.createSimpleMask(QStringLiteral("ORDOVANT"), QStringLiteral("DM"), QString(),
                                             false, true, nullptr, QString(), QString());
    for (int n = 0; n < rounds; ++n) {
        const QString key = QStringLiteral("%1-%2").arg(prefix).arg(n);
        store->writeLocal(key, key + QStringLiteral("-wert"));
        store->writeLocal(QStringLiteral("ZULETZT"), key);
        if (const QString read = store->readLocalDef(key, QString()); read != key + QStringLiteral("-wert"))
            return fail(QStringLiteral("%1: read \"%2\"").arg(key, read));
    }
    return 0;
}

[[noreturn]] int leavingTheLock(const QString &lockFile, int)
{
    QLockFile lock(lockFile);
    const bool locked = lock.tryLock(0);
    std::fflush(nullptr);
    std::_Exit(locked ? 0 : 1);
}

struct Route
{
    const char *name;
    int (*write)(const QString &name, int rounds);
    bool waitsForTheStart;
};

const Route Routes[] = {
    {"datenmodul", throughTheDataModule, true},
    {"speicher", throughTheStore, true},
    {"sperre", leavingTheLock, false},
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = arguments.size() == 3;
    const int rounds = arguments.size() == 4 ? arguments.at(3).toInt(&ok) : 1;
    const Route *route = nullptr;
    for (const Route &candidate : Routes) {
        if (arguments.value(1) == QLatin1String(candidate.name))
            route = &candidate;
    }
    if (!route || !ok || rounds < 1) {
        std::fprintf(stderr, "usage: settingswriter datenmodul|speicher|sperre NAME [ROUNDS] "
                             "(with ORDOVANT_HOME set)\n");
        return 2;
    }
    // The program's own host, as the program installs it.
    installHostBackend(makeStandaloneHost());
    if (route->waitsForTheStart) {
        std::string start;
        std::getline(std::cin, start);
    }
    try {
        return route->write(arguments.at(2), rounds);
    } catch (const std::exception &e) {
        return fail(QString::fromUtf8(e.what()));
    }
}
