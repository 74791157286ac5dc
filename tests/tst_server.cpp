// The program against a branch server that fails it: each fault is reported under the label of the
// routine that met it, no notice opens, the process ends with exit code 0 within its time limit and
// a little more, no file of the host directory changes and no password reaches the log. And what
// the server refuses or loses between two questions is a reported failure, not a crash or a lie.

#include "standalonehosthome.h"

#include "check/ordovantdm.h"
#include "support/branchfixture.h"
#include "support/hostfiles.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTcpServer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

constexpr int Zeitlimit = 2;
// A hang is the fault, not a slow machine: the bound is loose.
constexpr int EndsWithinMs = (Zeitlimit + 6) * 1000;
const QString SortOutCheck = QStringLiteral("TDMOrdovant.ExistAbsortierAufgaben");
const QString SettingsWrite = QStringLiteral("TDMOrdovant.Einstellung_speichern");

const QVector<TaskRow> OpenTasksOf42{{42, 3, 11}, {42, 4, 1}};

// A host directory of terminal 07 of branch 42 whose branch database is a fresh one on the server.
class ServerBranch final
{
public:
    ServerBranch() : branch(QStringLiteral("QPSQL"), home.path()) {}

    // Terminal 07 of branch 42, the database at `host`:`port`.
    QByteArray hostIni(const QString &role = QStringLiteral("ordovant")) const
    {
        return "[Terminal]\nID=07\n[Startparameter]\nTORVELIN=ja\n[Warenabgabe]\n17=42\n" +
               branch.hostIniSection(role, Zeitlimit, host, port);
    }

    StandaloneHostHome home;
    BranchFixture branch;
    QString host = qEnvironmentVariable("PGHOST");
    QString port = qEnvironmentVariable("PGPORT");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // What a fault keeps alive while the program runs: a silent listener, a locking session.
    std::unique_ptr<QTcpServer> silentServer;
    std::unique_ptr<QSqlDatabase> lockingSession;
};

using Fault = std::function<bool(ServerBranch &)>;

QString freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return QString::number(probe.serverPort());
}

bool lockTasks(ServerBranch &server)
{
    const QString name = QStringLiteral("locking-session");
    server.lockingSession =
        std::make_unique<QSqlDatabase>(QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name));
    server.lockingSession->setDatabaseName(server.branch.databaseName());
    return server.lockingSession->open() && server.lockingSession->transaction() &&
           QSqlQuery(*server.lockingSession)
               .exec(QStringLiteral("LOCK TABLE absortieraufgabe IN ACCESS EXCLUSIVE MODE"));
}

void releaseLock(ServerBranch &server)
{
    if (!server.lockingSession)
        return;
    const QString name = server.lockingSession->connectionName();
    server.lockingSession->rollback();
    server.lockingSession->close();
    server.lockingSession.reset();
    QSqlDatabase::removeDatabase(name);
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
    void serverGoneBetweenTwoChecks();
    void refusedWriteKeepsTheStoredValue();
};

void TestServer::initTestCase()
{
    if (const QString reason = BranchFixture::unavailable(QStringLiteral("QPSQL")); !reason.isEmpty())
        QSKIP(qPrintable(reason));
}

void TestServer::faultEndsTheRunCleanly_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<bool>("withTables");

    QTest::newRow("nothing listening") << Fault([](ServerBranch &s) {
        s.host = QStringLiteral("127.0.0.1");
        s.port = freePort();
        return true;
    }) << true;
    QTest::newRow("accepts and never answers") << Fault([](ServerBranch &s) {
        s.silentServer = std::make_unique<QTcpServer>();
        s.host = QStringLiteral("127.0.0.1");
        s.port = QString::number(
            s.silentServer->listen(QHostAddress::LocalHost) ? s.silentServer->serverPort() : 0);
        return s.silentServer->isListening();
    }) << true;
    QTest::newRow("table locked by another session") << Fault(lockTasks) << true;
    QTest::newRow("wrong password") << Fault([](ServerBranch &s) {
        s.environment.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("falsch"));
        return true;
    }) << true;
    QTest::newRow("missing table") << Fault([](ServerBranch &) { return true; }) << false;
    QTest::newRow("missing column") << Fault([](ServerBranch &s) {
        return s.branch.exec(QStringLiteral("ALTER TABLE absortieraufgabe DROP COLUMN herkunft"));
    }) << true;
}

void TestServer::faultEndsTheRunCleanly()
{
    QFETCH(Fault, fault);
    QFETCH(bool, withTables);
    ServerBranch server;
    QVERIFY2(server.branch.create(OpenTasksOf42, {}, withTables), qPrintable(server.branch.error()));
    QVERIFY(fault(server));
    QVERIFY(server.home.writeIni(server.hostIni()));
    const auto before = HostFiles::snapshot(server.home.path());

    QProcess ordovant;
    server.environment.insert(QStringLiteral("ORDOVANT_HOME"), server.home.path());
    server.environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ordovant.setProcessEnvironment(server.environment);
    QElapsedTimer clock;
    clock.start();
    ordovant.start(QStringLiteral(ORDOVANT_BINARY), QStringList());
    const bool finished = ordovant.waitForFinished(EndsWithinMs);
    const qint64 elapsed = clock.elapsed();
    releaseLock(server);
    if (!finished) {
        ordovant.kill();
        ordovant.waitForFinished();
    }
    QVERIFY2(finished, "the program hung or opened a notice");
    QVERIFY2(elapsed < EndsWithinMs, qPrintable(QString::number(elapsed)));
    QCOMPARE(ordovant.exitStatus(), QProcess::NormalExit);
    QCOMPARE(ordovant.exitCode(), 0);

    const QStringList log = HostFiles::logLines(server.home.path());
    QVERIFY2(HostFiles::hasReport(log, QStringLiteral("07"), SortOutCheck, QStringLiteral("Filialdatenbank")),
             qPrintable(log.join(u'\n')));
    QVERIFY(!log.join(u'\n').contains(qEnvironmentVariable("PGPASSWORD")));
    QCOMPARE(HostFiles::describeChanges(before, HostFiles::snapshot(server.home.path())), QString());
}

void TestServer::serverGoneBetweenTwoChecks()
{
    ServerBranch server;
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

void TestServer::refusedWriteKeepsTheStoredValue()
{
    ServerBranch server;
    QVERIFY2(server.branch.create({}), qPrintable(server.branch.error()));
    QVERIFY(server.branch.exec(
        QStringLiteral("INSERT INTO einstellung VALUES ('ORDOVANT/DM/GV07', 'KUNDBEST|RESERV')")));
    QVERIFY(server.home.writeIni(server.hostIni(QStringLiteral("ordovant_lesend")) +
                                 server.branch.settingsInDatabase()));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("FILUML"));
    QVERIFY(HostFiles::hasReport(server.home.logLines(), QStringLiteral("07"), SettingsWrite));
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QString()), QStringLiteral("KUNDBEST|RESERV"));
}

QTEST_GUILESS_MAIN(TestServer)

#include "tst_server.moc"
