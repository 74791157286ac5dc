// The program against a branch server that fails it: each fault is reported under the label of the
// routine that met it, no notice opens, the process ends with exit code 0 within its time limit and
// a little more, no file of the host directory changes and no password reaches the log. And what
// the server refuses or loses between two questions is a reported failure, not a crash or a lie.

#include "check/ordovantdm.h"
#include "support/branchfixture.h"
#include "support/hostfiles.h"
#include "support/programrun.h"
#include "support/silentlistener.h"
#include "support/standalonehosthome.h"

#include <QElapsedTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int Zeitlimit = 2;
// A hang is the fault, not a slow machine: the bound is loose.
constexpr int EndsWithinMs = (Zeitlimit + 6) * 1000;
const QString SortOutCheck = QStringLiteral("TDMOrdovant.ExistAbsortierAufgaben");
const QString SettingsWrite = QStringLiteral("TDMOrdovant.Einstellung_speichern");
const QString SettingsRead = QStringLiteral("TDMOrdovant.Einstellung_laden");

const QVector<TaskRow> OpenTasksOf42{{42, 3, 11}, {42, 4, 1}};

// The server routes of the fixture.
const QStringList ServerRoutes{QStringLiteral("QPSQL"), QStringLiteral("QODBC-PostgreSQL"),
                               QStringLiteral("QODBC-MariaDB")};

// A host directory of terminal 07 of branch 42 whose branch database is a fresh one on the server.
class ServerBranch final
{
public:
    explicit ServerBranch(const QString &route) : branch(route, home.path()) {}

    // Terminal 07 of branch 42, the database at `host`:`port` (empty: the test server).
    QByteArray hostIni(const QString &role = QStringLiteral("ordovant"))
    {
        return "[Terminal]\nID=07\n[Startparameter]\nTORVELIN=ja\n[Warenabgabe]\n17=42\n" +
               branch.hostIniSection(role, Zeitlimit, host, port);
    }

    StandaloneHostHome home;
    BranchFixture branch;
    QString host;
    QString port;
    ProgramRun ordovant{home};
    // What a fault keeps alive while the program runs: silent listeners.
    std::vector<std::unique_ptr<SilentListener>> silentServers;

    // A run may take the connect limit once per host of a list, and a little more.
    int endsWithinMs() const { return EndsWithinMs + Zeitlimit * 1000 * int(host.count(u',')); }
};

using Fault = std::function<bool(ServerBranch &)>;

const auto nothingListening = Fault([](ServerBranch &s) {
    s.host = QStringLiteral("127.0.0.1");
    s.port = SilentListener::freePort();
    return !s.port.isEmpty();
});
// `count` listeners that accept and never answer, as a list of hosts (QPSQL only) where more.
Fault silentServers(int count)
{
    return [count](ServerBranch &s) {
        QStringList hosts, ports;
        for (int i = 0; i < count; ++i) {
            s.silentServers.push_back(std::make_unique<SilentListener>());
            hosts << QStringLiteral("127.0.0.1");
            ports << s.silentServers.back()->port();
            if (!s.silentServers.back()->isListening())
                return false;
        }
        s.host = hosts.join(u',');
        s.port = ports.join(u',');
        return true;
    };
}
const auto silent = silentServers(1);

bool skipUnavailable(const QString &route)
{
    return !BranchFixture::unavailable(route).isEmpty();
}

} // namespace

Q_DECLARE_METATYPE(Fault)

class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void faultEndsTheRunCleanly_data();
    void faultEndsTheRunCleanly();
    void serverGoneBetweenTwoChecks_data();
    void serverGoneBetweenTwoChecks();
    void refusedWriteKeepsTheStoredValue_data();
    void refusedWriteKeepsTheStoredValue();
    void stepCostsOneLimit_data();
    void stepCostsOneLimit();
};

void TestServer::initTestCase()
{
    for (const QString &route : ServerRoutes) {
        if (const QString reason = BranchFixture::unavailable(route); !reason.isEmpty())
            qWarning("%s skipped: %s", qPrintable(route), qPrintable(reason));
    }
}

void TestServer::faultEndsTheRunCleanly_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("withTables");
    QTest::addColumn<QString>("failed"); // what the report says failed

    const auto wrongPassword = Fault([](ServerBranch &s) {
        s.ordovant.setVariable(QStringLiteral("PGPASSWORD"), QStringLiteral("falsch"));
        s.branch.setOdbcPassword(QStringLiteral("falsch"));
        return true;
    });
    const auto tableLocked = Fault([](ServerBranch &s) { return s.branch.lockTasks(); });
    const auto noFault = Fault([](ServerBranch &) { return true; });
    const auto columnMissing = Fault([](ServerBranch &s) {
        return s.branch.exec(QStringLiteral("ALTER TABLE absortieraufgabe DROP COLUMN herkunft"));
    });
    for (const QString &route : ServerRoutes) {
        const QByteArray r = route.toUtf8();
        QTest::addRow("%s: nothing listening", r.constData())
            << route << nothingListening << true << "Verbinden";
        QTest::addRow("%s: table locked by another session", r.constData())
            << route << tableLocked << true << "Zählen";
        QTest::addRow("%s: wrong password", r.constData()) << route << wrongPassword << true << "Verbinden";
        QTest::addRow("%s: missing table", r.constData()) << route << noFault << false << "Zählen";
        QTest::addRow("%s: missing column", r.constData()) << route << columnMissing << true << "Zählen";
        QTest::addRow("%s: accepts and never answers", r.constData())
            << route << silent << true << "Verbinden";
    }
    // libpq tries each host of a list for the whole connect limit.
    QTest::newRow("QPSQL: three hosts accept and never answer")
        << QStringLiteral("QPSQL") << silentServers(3) << true << "Verbinden";
}

void TestServer::faultEndsTheRunCleanly()
{
    QFETCH(QString, route);
    QFETCH(Fault, fault);
    QFETCH(bool, withTables);
    QFETCH(QString, failed);
    if (skipUnavailable(route))
        QSKIP(qPrintable(BranchFixture::unavailable(route)));
    ServerBranch server(route);
    QVERIFY2(server.branch.create(OpenTasksOf42, {}, withTables), qPrintable(server.branch.error()));
    QVERIFY(fault(server));
    QVERIFY(server.home.writeIni(server.hostIni()));
    const auto before = server.home.snapshot();

    QElapsedTimer clock;
    clock.start();
    QVERIFY(server.ordovant.start());
    const bool finished = server.ordovant.finish(server.endsWithinMs());
    const qint64 elapsed = clock.elapsed();
    server.branch.releaseLock();
    QVERIFY2(finished, "the program hung or opened a notice");
    QVERIFY2(elapsed < server.endsWithinMs(), qPrintable(QString::number(elapsed)));
    server.ordovant.expect(ProgramRun::Outcome::EndsWithReport, {SortOutCheck, failed});

    const QString log = server.home.logLines().join(u'\n');
    for (const char *password : {"PGPASSWORD", "ORDOVANT_TEST_MARIADB_PASSWORD"}) {
        if (!qEnvironmentVariableIsEmpty(password))
            QVERIFY(!log.contains(qEnvironmentVariable(password)));
    }
    QCOMPARE(server.home.changesSince(before), QString());
}

void TestServer::serverGoneBetweenTwoChecks_data()
{
    QTest::addColumn<QString>("route");
    // The connections of the database are ended from the PostgreSQL side.
    QTest::newRow("QPSQL") << QStringLiteral("QPSQL");
    QTest::newRow("QODBC-PostgreSQL") << QStringLiteral("QODBC-PostgreSQL");
}

void TestServer::serverGoneBetweenTwoChecks()
{
    QFETCH(QString, route);
    if (skipUnavailable(route))
        QSKIP(qPrintable(BranchFixture::unavailable(route)));
    ServerBranch server(route);
    QVERIFY2(server.branch.create(OpenTasksOf42), qPrintable(server.branch.error()));
    QVERIFY(server.home.writeIni(server.hostIni()));
    InstalledStandaloneHost host;
    TDMOrdovant dm;
    QVERIFY(dm.ExistAbsortierAufgaben(true));

    QVERIFY(
        server.branch.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                          "WHERE datname = current_database() AND pid <> pg_backend_pid()")));
    QVERIFY(!dm.ExistAbsortierAufgaben(true));
    QVERIFY(HostFiles::hasReport(server.home.logLines(), QStringLiteral("07"), SortOutCheck));
    // The next question connects afresh.
    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(dm.GetAnzAufgaben(), 2);
}

void TestServer::refusedWriteKeepsTheStoredValue_data()
{
    QTest::addColumn<QString>("route");
    for (const QString &route : ServerRoutes)
        QTest::newRow(qPrintable(route)) << route;
}

void TestServer::refusedWriteKeepsTheStoredValue()
{
    QFETCH(QString, route);
    if (skipUnavailable(route))
        QSKIP(qPrintable(BranchFixture::unavailable(route)));
    ServerBranch server(route);
    QVERIFY2(server.branch.create({}), qPrintable(server.branch.error()));
    QVERIFY(server.branch.exec(QStringLiteral("INSERT INTO einstellung (filiale, schluessel, wert) VALUES "
                                              "(42, 'ORDOVANT/DM/GV07', 'KUNDBEST|RESERV')")));
    QVERIFY(server.home.writeIni(server.hostIni(QStringLiteral("ordovant_lesend")) +
                                 server.branch.settingsInDatabase()));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("FILUML"));
    QVERIFY(HostFiles::hasReport(server.home.logLines(), QStringLiteral("07"), SettingsWrite));
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QString()), QStringLiteral("KUNDBEST|RESERV"));
}

void TestServer::stepCostsOneLimit_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<QString>("thenSays"); // what the step's later questions are told at once

    const auto settingsLocked =
        Fault([](ServerBranch &s) { return s.branch.lockTable(QStringLiteral("einstellung")); });
    for (const QString &route : ServerRoutes) {
        const QByteArray r = route.toUtf8();
        QTest::addRow("%s: silent server", r.constData())
            << route << silent << "kein neuer Verbindungsversuch";
        QTest::addRow("%s: settings locked", r.constData()) << route << settingsLocked << "aufgebraucht";
    }
}

// The questions of one step (the notice's or the options dialog's settings reads) share one limit: the
// first waits for it, the others are refused at once. The next step asks the server again.
void TestServer::stepCostsOneLimit()
{
    QFETCH(QString, route);
    QFETCH(Fault, fault);
    QFETCH(QString, thenSays);
    if (skipUnavailable(route))
        QSKIP(qPrintable(BranchFixture::unavailable(route)));
    ServerBranch server(route);
    QVERIFY2(server.branch.create({}), qPrintable(server.branch.error()));
    QVERIFY2(fault(server), qPrintable(server.branch.error()));
    QVERIFY(server.home.writeIni(server.hostIni() + server.branch.settingsInDatabase()));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QElapsedTimer clock;
    clock.start();
    for (const char *key : {"GV", "HERKUNFT", "GV"})
        QCOMPARE(dm.Einstellung_laden(QLatin1String(key), QStringLiteral("<vorgabe>")), QString());
    // One limit, not three; the margin is for a slow machine.
    QVERIFY2(clock.elapsed() < 2 * Zeitlimit * 1000, qPrintable(QString::number(clock.elapsed())));
    QCoreApplication::processEvents();
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("<vorgabe>")), QString());

    const QStringList log = server.home.logLines();
    QCOMPARE(log.size(), 4);
    for (int i = 0; i < 4; ++i)
        QVERIFY2(HostFiles::hasReport({log.at(i)}, QStringLiteral("07"), SettingsRead) &&
                     log.at(i).contains(thenSays) == (i == 1 || i == 2),
                 qPrintable(log.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestServer)

#include "tst_server.moc"
