// One server for a chain's branches: the program works through PgBouncer in transaction pooling as it
// does directly, leaving nothing on the pooled connections; each branch's login role sees and writes
// only its branch's rows, whatever host.ini names; a list of servers whose first is down still
// answers; a server process stopped mid-statement ends the run through the watchdog; and across a
// wide-area link each piece of work costs the client one turn.

#include "check/ordovantdm.h"
#include "support/branchfixture.h"
#include "support/hostfiles.h"
#include "support/programrun.h"
#include "support/silentlistener.h"
#include "support/standalonehosthome.h"
#include "support/turnrelay.h"
#include "ui/infobox.h"

#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

constexpr int Zeitlimit = 2;
// Many processes at once on a small machine queue for the pool's few server connections: their limit
// is not what those cases test.
constexpr int CrowdZeitlimit = 20;
// A hang is the fault, not a slow machine: the bound is loose.
constexpr int EndsWithinMs = (Zeitlimit + 8) * 1000;
const QString SortOutCheck = QStringLiteral("TDMOrdovant.ExistAbsortierAufgaben");
const QString SettingsWrite = QStringLiteral("TDMOrdovant.Einstellung_speichern");

const QVector<TaskRow> TasksOf42And43{{42, 3, 11}, {42, 4, 1}, {43, 1, 2}, {43, 1, 2}, {43, 2, 5}};

QString pgBouncerHost()
{
    return qEnvironmentVariable("ORDOVANT_TEST_PGBOUNCER_HOST");
}

QString pgBouncerPort()
{
    return qEnvironmentVariable("ORDOVANT_TEST_PGBOUNCER_PORT");
}

// Terminal `terminal` of branch `filiale` with its settings on the server at host:port.
QByteArray hostIni(BranchFixture &branch, int filiale, const QString &role, const QString &host,
                   const QString &port, const QString &terminal = QStringLiteral("07"),
                   int zeitlimit = Zeitlimit)
{
    return QStringLiteral("[Terminal]\nID=%1\n[Startparameter]\nTORVELIN=ja\n[Warenabgabe]\n17=%2\n")
               .arg(terminal)
               .arg(filiale)
               .toUtf8() +
           branch.hostIniSection(role, zeitlimit, host, port) + branch.settingsInDatabase();
}

// The route's server: the test cluster itself, or the PgBouncer in front of it.
struct Route
{
    QString host;
    QString port;
};

// Runs one statement through `route` as `role` (empty: the cluster's administrator, PGUSER) on a
// connection of its own; the first column of its first row.
QString answer(const Route &route, const QString &database, const QString &sql, const QString &role = {})
{
    const QString name = QStringLiteral("central-probe");
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(route.host);
        db.setPort(route.port.toInt());
        db.setDatabaseName(database);
        db.setUserName(role);
        if (db.open()) {
            QSqlQuery query(db);
            result = query.exec(sql) && query.next() ? query.value(0).toString()
                                                     : QStringLiteral("error: ") + query.lastError().text();
        } else {
            result = QStringLiteral("error: ") + db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

// ordovant-db on the fixture's database: its exit code and what it printed.
std::pair<int, QString> ordovantDb(BranchFixture &branch, const QStringList &arguments)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(ProgramRun::databaseTool(),
               arguments + QStringList{QStringLiteral("--driver"), QStringLiteral("QPSQL"),
                                       QStringLiteral("--name"), branch.databaseName()});
    if (!tool.waitForFinished())
        return {-1, QStringLiteral("hung")};
    return {tool.exitCode(), QString::fromUtf8(tool.readAll())};
}

std::pair<int, QString> addBranchRole(BranchFixture &branch, const QString &role, int filiale,
                                      const QStringList &more = {})
{
    return ordovantDb(branch, QStringList{QStringLiteral("add-branch-role"), role,
                                          QStringLiteral("--filiale"), QString::number(filiale)} +
                                  more);
}

QString readWholeFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

Q_DECLARE_METATYPE(Route)

namespace {

// What a start or a save asks of the server.
enum class Run { NoWork, Notice, Expired, Save };

// The floor of a client across a link: the route's own client library connects and asks for the count,
// once: libpq's psql, or MariaDB's client. psqlODBC connects without TLS unless told.
int referenceTurns(BranchFixture &branch, TurnRelay &relay)
{
    QProcess client;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QString count =
        QStringLiteral("SELECT COUNT(*) FROM absortieraufgabe WHERE filiale = 42 AND erledigt = 0");
    if (branch.isMariaDb()) {
        environment.insert(QStringLiteral("MYSQL_PWD"),
                           qEnvironmentVariable("ORDOVANT_TEST_MARIADB_PASSWORD"));
        client.setProcessEnvironment(environment);
        client.start(QStringLiteral("mariadb"),
                     {QStringLiteral("--no-defaults"), QStringLiteral("--protocol=TCP"), QStringLiteral("-h"),
                      QStringLiteral("127.0.0.1"), QStringLiteral("-P"), relay.port(), QStringLiteral("-u"),
                      QStringLiteral("ordovant"), branch.databaseName(), QStringLiteral("-e"), count});
    } else {
        if (branch.isOdbc())
            environment.insert(QStringLiteral("PGSSLMODE"), QStringLiteral("disable"));
        client.setProcessEnvironment(environment);
        client.start(QStringLiteral("psql"),
                     {QStringLiteral("-X"), QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                      QStringLiteral("-p"), relay.port(), QStringLiteral("-U"), QStringLiteral("ordovant"),
                      QStringLiteral("-d"), branch.databaseName(), QStringLiteral("-c"), count});
    }
    if (!client.waitForFinished() || client.exitCode() != 0)
        return -1;
    return relay.turns();
}

} // namespace

Q_DECLARE_METATYPE(Run)

class TestCentralServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Many clients at once, directly and through the pooler (the checks' own cases run through it in
    // tst_checks_standalone).
    void manyStartsAtOnce_data() { addRoutes(); }
    void manyStartsAtOnce();
    void concurrentWritersLoseNothing_data() { addRoutes(); }
    void concurrentWritersLoseNothing();
    void poolKeepsTheServersDefaults_data();
    void poolKeepsTheServersDefaults();

    // Branch roles on one server.
    void addBranchRoleTakesOnlyABoundRole_data();
    void addBranchRoleTakesOnlyABoundRole();
    void checkBranchRolesFindsWhatChanged_data();
    void checkBranchRolesFindsWhatChanged();
    void branchRoleKeepsToItsBranch_data();
    void branchRoleKeepsToItsBranch();

    // A list of servers.
    void failoverToTheNextServer_data();
    void failoverToTheNextServer();

    // A server process that stops answering.
    void stoppedBackendEndsTheRun();

    // A wide-area link.
    void clientTurnsBeyondTheFloor_data();
    void clientTurnsBeyondTheFloor();

private:
    static void addRoutes();
};

void TestCentralServer::initTestCase()
{
    if (const QString reason = BranchFixture::unavailable(QStringLiteral("QPSQL")); !reason.isEmpty())
        QSKIP(qPrintable(reason));
}

void TestCentralServer::addRoutes()
{
    QTest::addColumn<Route>("route");
    QTest::newRow("direct") << Route{qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT")};
    QTest::newRow("PgBouncer, transaction pooling") << Route{pgBouncerHost(), pgBouncerPort()};
}

#define REQUIRE_ROUTE(route)                                                                                 \
    if ((route).port.isEmpty())                                                                              \
    QSKIP("no PgBouncer: run under tests/support/with-pgbouncer.sh (./test.sh does)")

// Each start counts branch 42, which has no open task, and so ends by itself; a failure is a report.
void TestCentralServer::manyStartsAtOnce()
{
    QFETCH(Route, route);
    REQUIRE_ROUTE(route);
    constexpr int Starts = 24;
    StandaloneHostHome root;
    BranchFixture branch(QStringLiteral("QPSQL"), root.path());
    QVERIFY2(branch.create({{43, 1, 2}, {42, 1, 2, 1}}), qPrintable(branch.error()));

    std::vector<std::unique_ptr<StandaloneHostHome>> homes;
    std::vector<std::unique_ptr<ProgramRun>> starts;
    for (int i = 0; i < Starts; ++i) {
        homes.push_back(std::make_unique<StandaloneHostHome>());
        QVERIFY(homes.back()->writeIni(hostIni(branch, 42, QStringLiteral("ordovant"), route.host, route.port,
                                               QStringLiteral("%1").arg(i, 2, 10, QLatin1Char('0')),
                                               CrowdZeitlimit)));
        starts.push_back(std::make_unique<ProgramRun>(*homes.back()));
    }
    for (auto &start : starts)
        QVERIFY(start->start({"-KD"}));
    for (int i = 0; i < Starts; ++i) {
        QVERIFY2(starts[i]->finish((CrowdZeitlimit + 10) * 1000),
                 qPrintable(QStringLiteral("start %1 hung").arg(i)));
        QVERIFY2(starts[i]->exitedCleanly() && homes[i]->logLines().isEmpty(),
                 qPrintable(QStringLiteral("start %1: %2").arg(i).arg(starts[i]->transcript())));
    }
}

// Eight workstations save and read back at the same moment; each keeps its last values.
void TestCentralServer::concurrentWritersLoseNothing()
{
    QFETCH(Route, route);
    REQUIRE_ROUTE(route);
    constexpr int Writers = 8;
    constexpr int Rounds = 5;
    StandaloneHostHome root;
    BranchFixture branch(QStringLiteral("QPSQL"), root.path());
    QVERIFY2(branch.create({}), qPrintable(branch.error()));

    std::vector<std::unique_ptr<StandaloneHostHome>> homes;
    std::vector<std::unique_ptr<ProgramRun>> writers;
    for (int i = 0; i < Writers; ++i) {
        const QString terminal = QStringLiteral("T%1").arg(i);
        homes.push_back(std::make_unique<StandaloneHostHome>());
        QVERIFY(homes.back()->writeIni(hostIni(branch, 42, QStringLiteral("ordovant"), route.host, route.port,
                                               terminal, CrowdZeitlimit)));
        writers.push_back(std::make_unique<ProgramRun>(*homes.back()));
        QVERIFY(writers.back()->start({"datenmodul", terminal.toUtf8(), QByteArray::number(Rounds)},
                                      ProgramRun::settingsWriter()));
    }
    for (auto &writer : writers)
        QVERIFY(writer->sendStartLine());
    QStringList lastValues;
    for (auto &writer : writers) {
        QVERIFY(writer->finish((CrowdZeitlimit + 10) * 1000));
        QVERIFY2(writer->exitedCleanly(), writer->standardError().constData());
        lastValues << QString::fromUtf8(writer->standardOutput()).split(u'\n', Qt::SkipEmptyParts);
    }
    // Every writer's last GV is on the server, under its own key of branch 42.
    for (int i = 0; i < Writers; ++i) {
        const QString gv = lastValues.filter(QStringLiteral("GV=")).value(i).mid(3);
        QCOMPARE(answer({qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT")},
                        branch.databaseName(),
                        QStringLiteral("SELECT wert FROM einstellung WHERE filiale = 42 AND "
                                       "schluessel = 'ORDOVANT/DM/GVT%1'")
                            .arg(i)),
                 gv);
    }
}

void TestCentralServer::poolKeepsTheServersDefaults_data()
{
    QTest::addColumn<QString>("route");
    QTest::newRow("QPSQL") << QStringLiteral("QPSQL");
    QTest::newRow("QODBC-PostgreSQL") << QStringLiteral("QODBC-PostgreSQL");
}

// The program works through the pooler; then a client of its role on its database gets a server
// connection of that role's pool, which holds only those the program used, and finds the server's
// defaults there.
void TestCentralServer::poolKeepsTheServersDefaults()
{
    QFETCH(QString, route);
    const Route pooler{pgBouncerHost(), pgBouncerPort()};
    REQUIRE_ROUTE(pooler);
    if (const QString reason = BranchFixture::unavailable(route); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    StandaloneHostHome home;
    BranchFixture branch(route, home.path());
    QVERIFY2(branch.create({{43, 1, 2}}), qPrintable(branch.error()));
    QVERIFY(home.writeIni(hostIni(branch, 42, QStringLiteral("ordovant"), pooler.host, pooler.port)));
    {
        InstalledStandaloneHost host;
        TDMOrdovant dm;
        QVERIFY(!dm.ExistAbsortierAufgaben(true));
        dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("FILUML"));
        QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QString()), QStringLiteral("FILUML"));
    }
    QVERIFY2(home.logLines().isEmpty(), qPrintable(home.logLines().join(u'\n')));
    const QString settings = QStringLiteral(
        "SELECT current_setting('statement_timeout') || ' ' || current_setting('extra_float_digits')");
    const Route direct{qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT")};
    const QString defaults = answer(direct, branch.databaseName(), settings, QStringLiteral("ordovant"));
    QVERIFY2(!defaults.startsWith(QLatin1String("error")), qPrintable(defaults));
    QCOMPARE(answer(pooler, branch.databaseName(), settings, QStringLiteral("ordovant")), defaults);
}

void TestCentralServer::addBranchRoleTakesOnlyABoundRole_data()
{
    QTest::addColumn<QString>("setUp"); // as the administrator; %1 is the role
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");
    QTest::addColumn<QStringList>("branchAfter"); // the role's row of filialrolle

    const QStringList none;
    const QStringList branch42{QStringLiteral("42")};
    QTest::newRow("new role") << QString() << none << 0 << "%1 of branch 42 was created as" << branch42;
    QTest::newRow("plain login role")
        << "CREATE ROLE %1 LOGIN" << none << 0 << "%1 of branch 42 is now" << branch42;
    // Every attribute beyond LOGIN.
    for (const char *attribute : {"SUPERUSER", "BYPASSRLS", "CREATEROLE", "CREATEDB", "REPLICATION"})
        QTest::newRow(attribute) << QStringLiteral("CREATE ROLE %1 LOGIN ") + QLatin1String(attribute) << none
                                 << 1 << QStringLiteral("\"%1\" has ") + QLatin1String(attribute) << none;
    // Every owner: of the database (and so of schema public), of a schema, of the function that names
    // the branch, of a table.
    QTest::newRow("owner of the database")
        << "CREATE ROLE %1 LOGIN; DO $$BEGIN EXECUTE format('ALTER DATABASE %I OWNER TO %1', "
           "current_database()); END$$"
        << none << 1 << "\"%1\" owns database " << none;
    QTest::newRow("owner of schema public") << "CREATE ROLE %1 LOGIN; ALTER SCHEMA public OWNER TO %1" << none
                                            << 1 << "\"%1\" owns schema public" << none;
    QTest::newRow("owner of ordovant_filiale()")
        << "CREATE ROLE %1 LOGIN; ALTER FUNCTION ordovant_filiale() OWNER TO %1" << none << 1
        << "\"%1\" owns function ordovant_filiale()" << none;
    QTest::newRow("owner of beleg") << "CREATE ROLE %1 LOGIN; ALTER TABLE beleg OWNER TO %1" << none << 1
                                    << "\"%1\" owns sequence beleg_id_seq, table beleg" << none;
    // Every membership but the group, whatever its options.
    for (const char *predefined :
         {"pg_execute_server_program", "pg_read_server_files", "pg_write_server_files"})
        QTest::newRow(predefined) << QStringLiteral("CREATE ROLE %1 LOGIN IN ROLE ") +
                                         QLatin1String(predefined)
                                  << none << 1
                                  << QStringLiteral("\"%1\" is a member of \"%2\"")
                                         .arg(QStringLiteral("%1"), QLatin1String(predefined))
                                  << none;
    QTest::newRow("NOINHERIT member of a BYPASSRLS role")
        << "CREATE ROLE %1_b BYPASSRLS; CREATE ROLE %1 LOGIN NOINHERIT IN ROLE %1_b" << none << 1
        << "\"%1\" is a member of \"%1_b\"" << none;
    QTest::newRow("named in a policy of its own")
        << "CREATE ROLE %1 LOGIN; CREATE POLICY alle ON beleg FOR SELECT TO %1 USING (true)" << none << 1
        << "\"%1\" is named in policy alle on table beleg" << none;
    QTest::newRow("member of a member of beleg's owner")
        << "CREATE ROLE %1_o; ALTER TABLE beleg OWNER TO %1_o; CREATE ROLE %1_m IN ROLE %1_o; "
           "CREATE ROLE %1 LOGIN IN ROLE %1_m"
        << none << 1 << "\"%1\" is a member of \"%1_m\"" << none;
    const QString ofBranch43 =
        QStringLiteral("CREATE ROLE %1 LOGIN; INSERT INTO filialrolle VALUES ('%1', 43)");
    QTest::newRow("role of another branch")
        << ofBranch43 << none << 1 << "\"%1\" is the role of branch 43 already"
        << QStringList{QStringLiteral("43")};
    QTest::newRow("role of another branch, --move-branch")
        << ofBranch43 << QStringList{QStringLiteral("--move-branch")} << 0
        << "%1 moved from branch 43 to branch 42" << branch42;
}

void TestCentralServer::addBranchRoleTakesOnlyABoundRole()
{
    QFETCH(QString, setUp);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QFETCH(QStringList, branchAfter);
    QTemporaryDir root;
    BranchFixture branch(QStringLiteral("QPSQL"), root.path());
    QVERIFY2(branch.create({}), qPrintable(branch.error()));
    QVERIFY2(branch.exec(readWholeFile(QStringLiteral(CENTRAL_SERVER_SQL))), qPrintable(branch.error()));
    // Roles belong to the cluster: names of this database's own.
    const QString role = branch.databaseName() + QStringLiteral("_r");
    if (!setUp.isEmpty())
        QVERIFY2(branch.exec(setUp.arg(role)), qPrintable(branch.error()));

    const auto [code, output] = addBranchRole(branch, role, 42, options);
    QVERIFY2(code == exitCode && output.contains(says.arg(role)), qPrintable(output));
    QCOMPARE(branch.rows(QStringLiteral("SELECT filiale FROM filialrolle WHERE rolle = '%1'").arg(role)),
             branchAfter);
}

void TestCentralServer::checkBranchRolesFindsWhatChanged_data()
{
    QTest::addColumn<QString>("afterwards"); // as the administrator, once the role is added; %1 is the role
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("says");

    QTest::newRow("nothing changed") << QString() << 0 << "\"%1\", branch 42: fine";
    QTest::newRow("member of pg_read_server_files since")
        << "GRANT pg_read_server_files TO %1" << 1
        << "\"%1\", branch 42: is a member of \"pg_read_server_files\"";
    QTest::newRow("role dropped since") << "DROP ROLE %1" << 1 << "\"%1\", branch 42: no such role";
}

// The rule add-branch-role keeps, asked again later.
void TestCentralServer::checkBranchRolesFindsWhatChanged()
{
    QFETCH(QString, afterwards);
    QFETCH(int, exitCode);
    QFETCH(QString, says);
    QTemporaryDir root;
    BranchFixture branch(QStringLiteral("QPSQL"), root.path());
    QVERIFY2(branch.create({}), qPrintable(branch.error()));
    QVERIFY2(branch.exec(readWholeFile(QStringLiteral(CENTRAL_SERVER_SQL))), qPrintable(branch.error()));
    const QString role = branch.databaseName() + QStringLiteral("_c");
    const auto [added, addOutput] = addBranchRole(branch, role, 42);
    QVERIFY2(added == 0, qPrintable(addOutput));
    if (!afterwards.isEmpty())
        QVERIFY2(branch.exec(afterwards.arg(role)), qPrintable(branch.error()));

    const auto [code, output] = ordovantDb(branch, {QStringLiteral("check-branch-roles")});
    QVERIFY2(code == exitCode && output.contains(says.arg(role)), qPrintable(output));
}

void TestCentralServer::branchRoleKeepsToItsBranch_data()
{
    QTest::addColumn<int>("roleBranch"); // the branch of the role the workstation logs in as
    QTest::addColumn<int>("filiale");    // the branch its host.ini names
    QTest::addColumn<int>("tasks");
    QTest::addColumn<bool>("writes");

    QTest::newRow("42's role, its own branch") << 42 << 42 << 2 << true;
    QTest::newRow("43's role, its own branch") << 43 << 43 << 3 << true;
    QTest::newRow("42's role, host.ini names 43") << 42 << 43 << 0 << false;
    QTest::newRow("43's role, host.ini names 42") << 43 << 42 << 0 << false;
}

// Two branch roles on one server, made by ordovant-db; the other branch holds a stored choice.
void TestCentralServer::branchRoleKeepsToItsBranch()
{
    QFETCH(int, roleBranch);
    QFETCH(int, filiale);
    QFETCH(int, tasks);
    QFETCH(bool, writes);
    StandaloneHostHome home;
    BranchFixture branch(QStringLiteral("QPSQL"), home.path());
    QVERIFY2(branch.create(TasksOf42And43), qPrintable(branch.error()));
    QVERIFY2(branch.exec(readWholeFile(QStringLiteral(CENTRAL_SERVER_SQL))), qPrintable(branch.error()));
    // Roles belong to the cluster: a pair per database.
    const auto roleOf = [&](int branchNumber) {
        return QStringLiteral("%1_k%2").arg(branch.databaseName()).arg(branchNumber);
    };
    for (const int branchNumber : {42, 43}) {
        const auto [code, toolOutput] = addBranchRole(branch, roleOf(branchNumber), branchNumber);
        QVERIFY2(code == 0, qPrintable(toolOutput));
        QVERIFY2(toolOutput.contains(QStringLiteral("\\password ") + roleOf(branchNumber)),
                 qPrintable(toolOutput));
        QVERIFY(branch.exec(QStringLiteral("ALTER ROLE %1 PASSWORD '%2'")
                                .arg(roleOf(branchNumber), qEnvironmentVariable("PGPASSWORD"))));
    }
    const int otherBranch = roleBranch == 42 ? 43 : 42;
    QVERIFY(branch.exec(QStringLiteral("INSERT INTO einstellung (filiale, schluessel, wert) VALUES "
                                       "(%1, 'ORDOVANT/DM/GV07', 'RESERV')")
                            .arg(otherBranch)));
    QVERIFY(home.writeIni(hostIni(branch, filiale, roleOf(roleBranch), {}, {})));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QCOMPARE(dm.ExistAbsortierAufgaben(true), tasks > 0);
    QCOMPARE(dm.GetAnzAufgaben(), tasks);
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("<vorgabe>")),
             QStringLiteral("<vorgabe>"));
    dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("FILUML"));
    QCOMPARE(HostFiles::hasReport(home.logLines(), QStringLiteral("07"), SettingsWrite), !writes);
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("<vorgabe>")),
             writes ? QStringLiteral("FILUML") : QStringLiteral("<vorgabe>"));
    // The other branch's choice is untouched.
    QCOMPARE(answer({qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT")}, branch.databaseName(),
                    QStringLiteral("SELECT wert FROM einstellung WHERE filiale = %1").arg(otherBranch)),
             QStringLiteral("RESERV"));
}

void TestCentralServer::failoverToTheNextServer_data()
{
    QTest::addColumn<bool>("silent"); // the first server accepts and never answers, else nothing listens
    QTest::newRow("nothing listening first") << false;
    QTest::newRow("a silent server first") << true;
}

void TestCentralServer::failoverToTheNextServer()
{
    QFETCH(bool, silent);
    StandaloneHostHome home;
    BranchFixture branch(QStringLiteral("QPSQL"), home.path());
    QVERIFY2(branch.create(TasksOf42And43), qPrintable(branch.error()));
    SilentListener silentServer;
    const QString firstPort = silent ? silentServer.port() : SilentListener::freePort();
    QVERIFY(!firstPort.isEmpty());
    QVERIFY(home.writeIni(hostIni(branch, 42, QStringLiteral("ordovant"),
                                  QStringLiteral("127.0.0.1,") + qEnvironmentVariable("PGHOST"),
                                  firstPort + u',' + qEnvironmentVariable("PGPORT"))));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QVERIFY2(dm.ExistAbsortierAufgaben(true), qPrintable(home.logLines().join(u'\n')));
    QCOMPARE(dm.GetAnzAufgaben(), 2);
}

// The program's statement waits for a lock; its server process is stopped, then the lock goes: the
// server would answer now, but its process cannot. Only the program's own watchdog ends the wait.
void TestCentralServer::stoppedBackendEndsTheRun()
{
    StandaloneHostHome home;
    BranchFixture branch(QStringLiteral("QPSQL"), home.path());
    QVERIFY2(branch.create(TasksOf42And43), qPrintable(branch.error()));
    // Time enough to find and stop the server process before the server's own limit ends the wait.
    QVERIFY(home.writeIni(hostIni(branch, 42, QStringLiteral("ordovant"), {}, {}, QStringLiteral("07"), 4)));
    QVERIFY2(branch.lockTasks(), qPrintable(branch.error()));
    const auto before = home.snapshot();

    ProgramRun ordovant(home);
    QVERIFY(ordovant.start({"-KD"}));
    QString backend;
    const Route direct{qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT")};
    QTRY_VERIFY_WITH_TIMEOUT(
        !(backend = answer(direct, QStringLiteral("postgres"),
                           QStringLiteral("SELECT pid FROM pg_stat_activity WHERE datname = '%1' AND "
                                          "usename = 'ordovant' AND wait_event_type = 'Lock'")
                               .arg(branch.databaseName())))
             .startsWith(QLatin1String("error")),
        EndsWithinMs);
    QCOMPARE(QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-STOP"), backend}), 0);
    branch.releaseLock();

    const bool finished = ordovant.finish(EndsWithinMs);
    QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-CONT"), backend});
    QVERIFY2(finished, "the program waited for the stopped server process");
    ordovant.expect(ProgramRun::Outcome::EndsWithReport, {SortOutCheck, QStringLiteral("keine Antwort")});
    QCOMPARE(home.changesSince(before), QString());
}

void TestCentralServer::clientTurnsBeyondTheFloor_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<Run>("run");
    QTest::addColumn<int>("beyondTheFloor"); // client turns beyond the floor's connect and one query

    // With the settings on the server: the notice reads three of them, a save writes two new keys.
    const struct
    {
        const char *route;
        int noWork, notice, expired, save;
    } routes[] = {
        // One round trip per piece of work, nothing after connecting.
        {"QPSQL", 0, 3, 0, 1},
        {"QPSQL-PgBouncer", 0, 3, 0, 1},
        // As psqlODBC 13 and MariaDB Connector/ODBC 3.1 go about it: psqlODBC's two statements after
        // connecting, per piece BEGIN with the limit, the statement, its columns looked up in the
        // catalog, COMMIT, and for a text value the statement prepared, described, run and freed one
        // round trip each. MariaDB's driver: four statements after connecting, Qt's type query, per
        // statement a prepare and a run.
        {"QODBC-PostgreSQL", 5, 24, 5, 21},
        {"QODBC-MariaDB", 6, 12, 6, 12},
    };
    for (const auto &r : routes) {
        QTest::addRow("%s: start without work", r.route)
            << QString::fromLatin1(r.route) << Run::NoWork << r.noWork;
        QTest::addRow("%s: start with work", r.route)
            << QString::fromLatin1(r.route) << Run::Notice << r.notice;
        QTest::addRow("%s: -A", r.route) << QString::fromLatin1(r.route) << Run::Expired << r.expired;
        QTest::addRow("%s: save", r.route) << QString::fromLatin1(r.route) << Run::Save << r.save;
    }
}

// Each run through a relay that counts, beside the floor through the same relay.
void TestCentralServer::clientTurnsBeyondTheFloor()
{
    QFETCH(QString, route);
    QFETCH(Run, run);
    QFETCH(int, beyondTheFloor);
    if (const QString reason = BranchFixture::unavailable(route); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    StandaloneHostHome home;
    BranchFixture branch(route, home.path());
    QVERIFY2(branch.create(run == Run::Notice ? TasksOf42And43 : QVector<TaskRow>{}),
             qPrintable(branch.error()));
    TurnRelay relay(branch.isMariaDb() ? qEnvironmentVariable("ORDOVANT_TEST_MARIADB_SOCKET")
                    : route == QLatin1String("QPSQL-PgBouncer") ? pgBouncerPort()
                                                                : qEnvironmentVariable("PGPORT"));
    QVERIFY(!relay.port().isEmpty());
    const int floor = referenceTurns(branch, relay);
    QVERIFY(floor > 0);
    QVERIFY(home.writeIni(QByteArrayLiteral("[Terminal]\nID=07\n[Warenabgabe]\n17=42\n") +
                          branch.hostIniSection(QStringLiteral("ordovant"), Zeitlimit,
                                                QStringLiteral("127.0.0.1"), relay.port()) +
                          branch.settingsInDatabase()));
    {
        InstalledStandaloneHost host;
        TDMOrdovant dm;
        switch (run) {
        case Run::NoWork:
            QVERIFY(!dm.ExistAbsortierAufgaben(true));
            break;
        case Run::Notice: {
            QVERIFY(dm.ExistAbsortierAufgaben(true));
            TInfoboxFrm notice;
            notice.show();
            QVERIFY(QTest::qWaitForWindowExposed(&notice));
            break;
        }
        case Run::Expired:
            QVERIFY(!dm.ExistAbgelaufeneBelege());
            break;
        case Run::Save:
            dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("KUNDBEST|RESERV"));
            dm.Einstellung_speichern(QStringLiteral("HERKUNFT"), QStringLiteral("O"));
            break;
        }
    }
    // The notice's start has no branch program to print with; the server's work must be clean.
    const QString log = home.logLines().join(u'\n');
    QVERIFY2(!log.contains(QLatin1String("Filialdatenbank")), qPrintable(log));
    QCOMPARE(relay.turns() - floor, beyondTheFloor);
}

QTEST_MAIN(TestCentralServer)

#include "tst_centralserver.moc"
