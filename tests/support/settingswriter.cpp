// settingswriter TERMINAL ROUNDS
// One workstation of many that share a settings store: with ORDOVANT_HOME naming the host directory of
// TERMINAL, it writes "GV" and "HERKUNFT" ROUNDS times through the data module and reads each value
// back. It waits for one line on standard input before it writes, so that all writers start together.
// Prints the last values written as "GV=..." and "HERKUNFT=..." and exits 0 only when every value read
// back was the one written and the host reported nothing.

#include "check/delimitedlist.h"
#include "check/ordovantdm.h"
#include "host/qvxinfo.h"
#include "host/standalone/standalonehost.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
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

int run(const QString &terminal, int rounds)
{
    const QString hostTerminal = QVXInfoTerminalID();
    if (hostTerminal != terminal)
        return fail(QStringLiteral("the host directory belongs to terminal \"%1\"").arg(hostTerminal));

    std::string start;
    std::getline(std::cin, start);

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    bool ok = false;
    const int rounds = arguments.size() == 3 ? arguments.at(2).toInt(&ok) : 0;
    if (!ok || rounds < 1) {
        std::fprintf(stderr, "usage: settingswriter TERMINAL ROUNDS (with ORDOVANT_HOME set)\n");
        return 2;
    }
    // The program's own host, as the program installs it.
    installHostBackend(makeStandaloneHost());
    try {
        return run(arguments.at(1), rounds);
    } catch (const std::exception &e) {
        return fail(QString::fromUtf8(e.what()));
    }
}
