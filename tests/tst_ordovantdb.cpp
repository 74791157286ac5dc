#include "support/standalonehosthome.h"

#include "host/warenabgabemani.h"
#include "support/branchfixture.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QtTest>

#include <tuple>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

QString toolPath()
{
#ifdef ORDOVANT_DB_TOOL
    return QStringLiteral(ORDOVANT_DB_TOOL);
#else
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../tools/ordovant-db"));
#endif
}

struct ToolRun
{
    int exitCode = -1;
    QByteArray errors;
    QByteArray output;
};

ToolRun runTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(toolPath(), arguments);
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), tool.readAllStandardError(), tool.readAllStandardOutput()};
}

// Runs one query on a database file, or on a database of the test server, and returns every row with
// its columns joined by commas.
QStringList column(const QString &database, const QString &sql,
                   const QString &driver = QStringLiteral("QSQLITE"))
{
    QStringList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, QStringLiteral("check"));
        db.setDatabaseName(database);
        if (driver == QLatin1String("QSQLITE"))
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql)) {
                while (query.next()) {
                    QStringList row;
                    for (int i = 0; i < query.record().count(); ++i)
                        row << query.value(i).toString();
                    values << row.join(u',');
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return values;
}

QStringList serverRows(BranchFixture &server, const QString &sql)
{
    if (server.isMariaDb())
        return server.rows(sql);
    return column(server.databaseName(), sql, QStringLiteral("QPSQL"));
}

const QString TaskRows =
    QStringLiteral("SELECT filiale, gv, herkunft, erledigt FROM absortieraufgabe ORDER BY id");
const QString BelegRows = QStringLiteral("SELECT filiale, art, ablaufdatum, erledigt FROM beleg ORDER BY id");
const QString SettingRows =
    QStringLiteral("SELECT schluessel, wert FROM einstellung WHERE filiale = 42 ORDER BY schluessel");
const QString OtherBranchRows = QStringLiteral("SELECT schluessel, wert FROM einstellung WHERE filiale = 43");

QStringList onServer(const BranchFixture &server)
{
    // MariaDB's administrator, as the throw-away server has it: root on the socket, without a password.
    if (server.isMariaDb())
        return {QStringLiteral("--driver"), QStringLiteral("QODBC"), QStringLiteral("--name"),
                QStringLiteral("DRIVER={MariaDB Unicode};SOCKET=%1;DATABASE=%2;UID=root")
                    .arg(qEnvironmentVariable("ORDOVANT_TEST_MARIADB_SOCKET"), server.databaseName())};
    return {QStringLiteral("--driver"), QStringLiteral("QPSQL"), QStringLiteral("--name"),
            server.databaseName()};
}

#define REQUIRE_TEST_SERVER()                                                                                \
    if (const QString reason = BranchFixture::unavailable(QStringLiteral("QPSQL")); !reason.isEmpty())       \
    QSKIP(qPrintable(reason))

QByteArray fileContent(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestOrdovantDb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void createsEmptyDatabaseWithSchema();
    void givenRowsAreInserted();
    void noIndexOmitsIndexes();
    void existingFileIsKeptWithoutForce();
    void randomTasksAreDeterministic();
    void badArgumentsAreRefused_data();
    void badArgumentsAreRefused();
    void standaloneHostReadsTheFile();
    void serverGetsTheRowsOfAFile_data();
    void serverGetsTheRowsOfAFile();
    void serverRowsAreKeptWithoutForce();
    void serverWithoutTablesIsRefused();
    void copySettingsCopiesTheGroupOnce();
    void copySettingsThroughOdbc();
    void badStoreWritesNothing_data();
    void badStoreWritesNothing();
    void migrationTakesOnlyABranch_data();
    void migrationTakesOnlyABranch();

private:
    QString writeFile(const QString &name, const QByteArray &content);

    QTemporaryDir m_dir;
};

void TestOrdovantDb::initTestCase()
{
    QVERIFY2(QFileInfo(toolPath()).isExecutable(), qPrintable(toolPath()));
    QVERIFY(m_dir.isValid());
}

void TestOrdovantDb::createsEmptyDatabaseWithSchema()
{
    const QString path = m_dir.filePath(QStringLiteral("leer.db"));
    QCOMPARE(runTool({QStringLiteral("create"), path}).exitCode, 0);
    QCOMPARE(column(path, QStringLiteral("SELECT name FROM sqlite_master ORDER BY name")),
             QStringList({QStringLiteral("absortieraufgabe"), QStringLiteral("absortieraufgabe_offen"),
                          QStringLiteral("beleg"), QStringLiteral("beleg_offen")}));
    QCOMPARE(column(path, QStringLiteral("SELECT COUNT(*) FROM absortieraufgabe")),
             QStringList{QStringLiteral("0")});
}

void TestOrdovantDb::givenRowsAreInserted()
{
    const QString path = m_dir.filePath(QStringLiteral("zeilen.db"));
    QCOMPARE(runTool({QStringLiteral("create"), path, QStringLiteral("--task"), QStringLiteral("7,2,53"),
                      QStringLiteral("--task"), QStringLiteral("7,8,0,1"), QStringLiteral("--beleg"),
                      QStringLiteral("7,39,2024-06-14"), QStringLiteral("--beleg"), QStringLiteral("8,1,,1")})
                 .exitCode,
             0);
    QCOMPARE(column(path, QStringLiteral("SELECT filiale || ',' || gv || ',' || herkunft || ',' || erledigt "
                                         "FROM absortieraufgabe ORDER BY id")),
             QStringList({QStringLiteral("7,2,53,0"), QStringLiteral("7,8,0,1")}));
    QCOMPARE(column(path, QStringLiteral(
                              "SELECT filiale || ',' || art || ',' || IFNULL(ablaufdatum, 'NULL') || ',' "
                              "|| erledigt FROM beleg ORDER BY id")),
             QStringList({QStringLiteral("7,39,2024-06-14,0"), QStringLiteral("8,1,NULL,1")}));
}

void TestOrdovantDb::noIndexOmitsIndexes()
{
    const QString path = m_dir.filePath(QStringLiteral("ohneindex.db"));
    QCOMPARE(runTool({QStringLiteral("create"), path, QStringLiteral("--no-index")}).exitCode, 0);
    QCOMPARE(column(path, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index'")),
             QStringList{QStringLiteral("0")});
    QCOMPARE(column(path, QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table'")),
             QStringList{QStringLiteral("2")});
}

void TestOrdovantDb::existingFileIsKeptWithoutForce()
{
    const QString path = m_dir.filePath(QStringLiteral("vorhanden.db"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("wichtig");
    }
    const ToolRun refused = runTool({QStringLiteral("create"), path});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.errors.contains("--force"));
    QCOMPARE(fileContent(path), QByteArray("wichtig"));
    // A --force run that cannot build the new file leaves the old one.
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("vorhanden.db.neu")));
    QCOMPARE(runTool({QStringLiteral("create"), path, QStringLiteral("--force")}).exitCode, 1);
    QCOMPARE(fileContent(path), QByteArray("wichtig"));
    QVERIFY(QDir(m_dir.path()).rmdir(QStringLiteral("vorhanden.db.neu")));
    QCOMPARE(runTool({QStringLiteral("create"), path, QStringLiteral("--force"), QStringLiteral("--task"),
                      QStringLiteral("1,1,1")})
                 .exitCode,
             0);
    QCOMPARE(column(path, QStringLiteral("SELECT COUNT(*) FROM absortieraufgabe")),
             QStringList{QStringLiteral("1")});
#ifdef Q_OS_UNIX
    // Named through a link: the real file is replaced and keeps what lets the workstations read it.
    if (::geteuid() != 0)
        QSKIP("Needs root to give the database to another user");
    const QByteArray real = QFile::encodeName(path);
    QVERIFY(::chown(real.constData(), 1001, 2000) == 0 && ::chmod(real.constData(), 0640) == 0);
    const QString link = m_dir.filePath(QStringLiteral("verweis.db"));
    QVERIFY(QFile::link(path, link));
    QCOMPARE(runTool({QStringLiteral("create"), link, QStringLiteral("--force")}).exitCode, 0);
    QVERIFY(QFileInfo(link).isSymLink());
    struct stat after = {};
    QVERIFY(::stat(real.constData(), &after) == 0);
    QCOMPARE(std::tuple(after.st_uid, after.st_gid, after.st_mode & 07777), std::tuple(1001u, 2000u, 0640u));
    QCOMPARE(column(path, QStringLiteral("SELECT COUNT(*) FROM absortieraufgabe")),
             QStringList{QStringLiteral("0")});
#endif
}

void TestOrdovantDb::randomTasksAreDeterministic()
{
    const QStringList options{QStringLiteral("--random-tasks"), QStringLiteral("2000"),
                              QStringLiteral("--branches"),     QStringLiteral("3"),
                              QStringLiteral("--open-percent"), QStringLiteral("25")};
    const QString first = m_dir.filePath(QStringLiteral("zufall1.db"));
    const QString second = m_dir.filePath(QStringLiteral("zufall2.db"));
    const QString other = m_dir.filePath(QStringLiteral("zufall3.db"));
    QCOMPARE(
        runTool(QStringList{QStringLiteral("create"), first, QStringLiteral("--seed"), QStringLiteral("5")} +
                options)
            .exitCode,
        0);
    QCOMPARE(
        runTool(QStringList{QStringLiteral("create"), second, QStringLiteral("--seed"), QStringLiteral("5")} +
                options)
            .exitCode,
        0);
    QCOMPARE(
        runTool(QStringList{QStringLiteral("create"), other, QStringLiteral("--seed"), QStringLiteral("6")} +
                options)
            .exitCode,
        0);
    const QString rows =
        QStringLiteral("SELECT group_concat(filiale || ':' || gv || ':' || herkunft || ':' || "
                       "erledigt, ' ') FROM (SELECT * FROM absortieraufgabe ORDER BY id)");
    QCOMPARE(column(first, rows), column(second, rows));
    QVERIFY(column(first, rows) != column(other, rows));
    QCOMPARE(column(first, QStringLiteral("SELECT COUNT(*) FROM absortieraufgabe")),
             QStringList{QStringLiteral("2000")});
    QCOMPARE(
        column(first, QStringLiteral("SELECT MIN(filiale) || '-' || MAX(filiale) || ' ' || MIN(gv) || '-' || "
                                     "MAX(gv) || ' ' || MIN(herkunft) || '-' || MAX(herkunft) "
                                     "FROM absortieraufgabe")),
        QStringList{QStringLiteral("1-3 0-8 0-53")});
    const int open = column(first, QStringLiteral("SELECT COUNT(*) FROM absortieraufgabe WHERE erledigt = 0"))
                         .value(0)
                         .toInt();
    QVERIFY2(open > 400 && open < 600, qPrintable(QString::number(open)));
}

void TestOrdovantDb::badArgumentsAreRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("no command") << QStringList{};
    QTest::newRow("empty file name") << QStringList{QStringLiteral("create"), QString(),
                                                    QStringLiteral("--task"), QStringLiteral("42,3,1")};
    QTest::newRow("unknown command") << QStringList{QStringLiteral("drop"), QStringLiteral("x.db")};
    QTest::newRow("task not a number") << QStringList{QStringLiteral("create"), QStringLiteral("x.db"),
                                                      QStringLiteral("--task"), QStringLiteral("7,x,1")};
    QTest::newRow("task too short") << QStringList{QStringLiteral("create"), QStringLiteral("x.db"),
                                                   QStringLiteral("--task"), QStringLiteral("7,1")};
    QTest::newRow("percent above 100") << QStringList{
        QStringLiteral("create"), QStringLiteral("x.db"),           QStringLiteral("--random-tasks"),
        QStringLiteral("5"),      QStringLiteral("--open-percent"), QStringLiteral("101")};
    QTest::newRow("no branches") << QStringList{QStringLiteral("create"), QStringLiteral("x.db"),
                                                QStringLiteral("--branches"), QStringLiteral("0")};
    QTest::newRow("date not ISO") << QStringList{QStringLiteral("create"), QStringLiteral("x.db"),
                                                 QStringLiteral("--beleg"), QStringLiteral("7,1,14.06.2024")};
    QTest::newRow("server option for a file")
        << QStringList{QStringLiteral("create"), QStringLiteral("x.db"), QStringLiteral("--name"),
                       QStringLiteral("filiale")};
    QTest::newRow("file with a server") << QStringList{QStringLiteral("create"), QStringLiteral("x.db"),
                                                       QStringLiteral("--driver"), QStringLiteral("QPSQL")};
    QTest::newRow("password in options")
        << QStringList{QStringLiteral("create"), QStringLiteral("--driver"), QStringLiteral("QPSQL"),
                       QStringLiteral("--options"), QStringLiteral("sslmode=disable;Password=geheim")};
    QTest::newRow("password in the port")
        << QStringList{QStringLiteral("create"), QStringLiteral("--driver"), QStringLiteral("QPSQL"),
                       QStringLiteral("--port"), QStringLiteral("5432 password=geheim")};
    QTest::newRow("settings into a file")
        << QStringList{QStringLiteral("copy-settings"), QStringLiteral("x.db")};
    // Rows and branches the program would not read as meant: none reaches a file or a server.
    const QStringList copyToServer{QStringLiteral("copy-settings"), QStringLiteral("x.db"),
                                   QStringLiteral("--driver"), QStringLiteral("QPSQL"),
                                   QStringLiteral("--filiale")};
    QTest::newRow("settings of branch 40000") << copyToServer + QStringList{QStringLiteral("40000")};
    QTest::newRow("settings of branch 0") << copyToServer + QStringList{QStringLiteral("0")};
    QTest::newRow("task of a branch beyond 16 bits")
        << QStringList{QStringLiteral("create"), QStringLiteral("x.db"), QStringLiteral("--task"),
                       QStringLiteral("99999999999,3,11")};
    QTest::newRow("task neither open nor done")
        << QStringList{QStringLiteral("create"), QStringLiteral("x.db"), QStringLiteral("--task"),
                       QStringLiteral("42,3,11,7")};
    // Role names are taken whole, and never a predefined role's.
    const QStringList addRole{QStringLiteral("add-branch-role"), QStringLiteral("--filiale"),
                              QStringLiteral("42"), QStringLiteral("--driver"), QStringLiteral("QPSQL")};
    QTest::newRow("role name with a final newline") << addRole + QStringList{QStringLiteral("filiale_9\n")};
    QTest::newRow("role pg_monitor") << addRole + QStringList{QStringLiteral("pg_monitor")};
    QTest::newRow("check-branch-roles of a file") << QStringList{QStringLiteral("check-branch-roles")};
    QTest::newRow("random tasks beyond the bound")
        << QStringList{QStringLiteral("create"), QStringLiteral("x.db"), QStringLiteral("--random-tasks"),
                       QStringLiteral("10000001")};
}

void TestOrdovantDb::badArgumentsAreRefused()
{
    QFETCH(QStringList, arguments);
    for (QString &argument : arguments) {
        if (argument == QLatin1String("x.db"))
            argument = m_dir.filePath(argument);
    }
    const ToolRun run = runTool(arguments);
    QCOMPARE(run.exitCode, 2);
    QVERIFY(!run.errors.isEmpty());
    QVERIFY(!run.errors.contains("geheim"));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("x.db"))));
}

void TestOrdovantDb::standaloneHostReadsTheFile()
{
    StandaloneHostHome home;
    QCOMPARE(runTool({QStringLiteral("create"), home.filePath(QStringLiteral("filiale.db")),
                      QStringLiteral("--task"), QStringLiteral("4,3,20"), QStringLiteral("--task"),
                      QStringLiteral("4,3,21"), QStringLiteral("--task"), QStringLiteral("5,3,20")})
                 .exitCode,
             0);
    InstalledStandaloneHost installed;
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    QCOMPARE(TWarenabgabeMani().Anzahl_AbsortAufg_Detailliert(4, false, -1, herkunft, gv), 2);
    QCOMPARE(gv[3], 2);
    QCOMPARE(herkunft[20], 1);
    QCOMPARE(herkunft[21], 1);
}

QString TestOrdovantDb::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_dir.filePath(name));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) != content.size())
        return {};
    return file.fileName();
}

// The server gets the same rows as a file made with the same options.
void TestOrdovantDb::serverGetsTheRowsOfAFile_data()
{
    QTest::addColumn<QString>("route");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("tasks");
    for (const QString &route : {QStringLiteral("QPSQL"), QStringLiteral("QODBC-MariaDB")}) {
        QTest::addRow("%s: given", qPrintable(route))
            << route << QStringList{QStringLiteral("--task"),  QStringLiteral("7,2,53"),
                                    QStringLiteral("--task"),  QStringLiteral("7,8,0,1"),
                                    QStringLiteral("--beleg"), QStringLiteral("7,39,2024-06-14"),
                                    QStringLiteral("--beleg"), QStringLiteral("8,1,,1")}
            << 2;
        QTest::addRow("%s: random", qPrintable(route))
            << route << QStringList{QStringLiteral("--random-tasks"), QStringLiteral("2500"),
                                    QStringLiteral("--branches"),     QStringLiteral("3"),
                                    QStringLiteral("--open-percent"), QStringLiteral("25"),
                                    QStringLiteral("--seed"),         QStringLiteral("5")}
            << 2500;
    }
}

void TestOrdovantDb::serverGetsTheRowsOfAFile()
{
    QFETCH(QString, route);
    QFETCH(QStringList, rows);
    QFETCH(int, tasks);
    if (const QString reason = BranchFixture::unavailable(route); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    BranchFixture server(route, m_dir.path());
    QVERIFY2(server.create({}), qPrintable(server.error()));
    const QString file =
        m_dir.filePath(QStringLiteral("vergleich-%1.db")
                           .arg(QString::fromUtf8(QTest::currentDataTag()).remove(u':').remove(u' ')));
    QCOMPARE(runTool(QStringList{QStringLiteral("create"), file} + rows).exitCode, 0);
    const ToolRun filled = runTool(QStringList{QStringLiteral("create")} + onServer(server) + rows);
    QVERIFY2(filled.exitCode == 0, filled.errors.constData());
    QCOMPARE(serverRows(server, TaskRows).size(), tasks);
    QCOMPARE(serverRows(server, TaskRows), column(file, TaskRows));
    QCOMPARE(serverRows(server, BelegRows), column(file, BelegRows));
}

void TestOrdovantDb::serverRowsAreKeptWithoutForce()
{
    REQUIRE_TEST_SERVER();
    BranchFixture server(QStringLiteral("QPSQL"), m_dir.path());
    QVERIFY2(server.create({{1, 2, 3}}, {{1, 4, QVariant()}}), qPrintable(server.error()));
    const QStringList create = QStringList{QStringLiteral("create")} + onServer(server) +
                               QStringList{QStringLiteral("--task"), QStringLiteral("4,5,6")};
    const ToolRun refused = runTool(create);
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.errors.contains("--force"));
    QCOMPARE(serverRows(server, TaskRows), QStringList{QStringLiteral("1,2,3,0")});
    QCOMPARE(runTool(create + QStringList{QStringLiteral("--force")}).exitCode, 0);
    QCOMPARE(serverRows(server, TaskRows), QStringList{QStringLiteral("4,5,6,0")});
    QCOMPARE(serverRows(server, BelegRows), QStringList{});
}

void TestOrdovantDb::serverWithoutTablesIsRefused()
{
    REQUIRE_TEST_SERVER();
    BranchFixture server(QStringLiteral("QPSQL"), m_dir.path());
    QVERIFY2(server.create({}, {}, false), qPrintable(server.error()));
    const ToolRun refused = runTool(QStringList{QStringLiteral("create")} + onServer(server));
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.errors.contains("schema/postgresql.sql"));
    QCOMPARE(serverRows(server, QStringLiteral("SELECT to_regclass('absortieraufgabe') IS NULL")),
             QStringList{QStringLiteral("true")});
}

// As the program's role, which may only write einstellung; the other groups of the store stay out, and
// the values below the group, which no workstation reads, are named as not copied.
void TestOrdovantDb::copySettingsCopiesTheGroupOnce()
{
    REQUIRE_TEST_SERVER();
    BranchFixture server(QStringLiteral("QPSQL"), m_dir.path());
    QVERIFY2(server.create({}), qPrintable(server.error()));
    // Branch 43's row of the same key stays as it is.
    QVERIFY2(
        server.exec(QStringLiteral("INSERT INTO einstellung (filiale, schluessel, wert) VALUES "
                                   "(42, 'ORDOVANT/DM/GV07', 'ALT'), (42, 'ORDOVANT/DM/GV08', 'RESERV'), "
                                   "(43, 'ORDOVANT/DM/GV07', 'FREMD')")),
        qPrintable(server.error()));
    const QStringList copy{
        QStringLiteral("copy-settings"),
        writeFile(QStringLiteral("kopie.ini"),
                  "[ORDOVANT/DM]\nGV07=KUNDBEST|RESERV\nHERKUNFT07=O|K\nWARENANFOEIGFIL07=a,b\nGV0/7=V\n"
                  "GV07%5C=W\n[ORDOVANT/DM/ALT]\nGV07=X\n[ORDOVANT]\nGV07=Y\n[ANDERE]\nGV07=Z\n"),
        QStringLiteral("--host-ini"),
        writeFile(QStringLiteral("host.ini"), "[Warenabgabe]\n17=42\n" + server.hostIniSection())};
    const QStringList expected{
        QStringLiteral("ORDOVANT/DM/GV07,KUNDBEST|RESERV"), QStringLiteral("ORDOVANT/DM/GV08,RESERV"),
        QStringLiteral("ORDOVANT/DM/HERKUNFT07,O|K"), QStringLiteral("ORDOVANT/DM/WARENANFOEIGFIL07,a,b")};
    for (int run = 1; run <= 2; ++run) {
        const ToolRun copied = runTool(copy);
        QVERIFY2(copied.exitCode == 1, copied.errors.constData());
        for (const char *value : {"ORDOVANT/DM/ALT/GV07=X", "ORDOVANT/DM/GV0/7=V", "ORDOVANT/DM/GV07\\=W"})
            QVERIFY2(copied.errors.contains(value), copied.errors.constData());
        QVERIFY2(copied.errors.contains("copied 3 values into einstellung, 3 not"),
                 copied.errors.constData());
        QCOMPARE(serverRows(server, SettingRows), expected);
        QCOMPARE(serverRows(server, OtherBranchRows), QStringList{QStringLiteral("ORDOVANT/DM/GV07,FREMD")});
    }
}

// The program's statements through ODBC: the branch from --filiale, a second run changes nothing.
void TestOrdovantDb::copySettingsThroughOdbc()
{
    const QString route = QStringLiteral("QODBC-MariaDB");
    if (const QString reason = BranchFixture::unavailable(route); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    BranchFixture server(route, m_dir.path());
    QVERIFY2(server.create({}), qPrintable(server.error()));
    QVERIFY2(
        server.exec(QStringLiteral("INSERT INTO einstellung (filiale, schluessel, wert) VALUES "
                                   "(42, 'ORDOVANT/DM/GV07', 'ALT'), (43, 'ORDOVANT/DM/GV07', 'FREMD')")),
        qPrintable(server.error()));
    const QStringList copy = QStringList{QStringLiteral("copy-settings"),
                                         writeFile(QStringLiteral("einstellungen-odbc.ini"),
                                                   "[ORDOVANT/DM]\nGV07=KUNDBEST|Ä|RESERV\nHERKUNFT07=O\n"),
                                         QStringLiteral("--filiale"), QStringLiteral("42")} +
                             onServer(server);
    for (int run = 1; run <= 2; ++run) {
        const ToolRun copied = runTool(copy);
        QVERIFY2(copied.exitCode == 0, copied.errors.constData());
        QCOMPARE(serverRows(server, SettingRows),
                 (QStringList{QStringLiteral("ORDOVANT/DM/GV07,KUNDBEST|Ä|RESERV"),
                              QStringLiteral("ORDOVANT/DM/HERKUNFT07,O")}));
        QCOMPARE(serverRows(server, OtherBranchRows), QStringList{QStringLiteral("ORDOVANT/DM/GV07,FREMD")});
    }
}

void TestOrdovantDb::badStoreWritesNothing_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("missing") << QByteArray();
    QTest::newRow("binary") << QByteArray("[ORDOVANT/DM]\nGV07=KUNDBEST\n").append('\0');
    QTest::newRow("not INI") << QByteArray("[ORDOVANT/DM]\nGV07=KUNDBEST\nkein Schluessel\n");
}

void TestOrdovantDb::badStoreWritesNothing()
{
    REQUIRE_TEST_SERVER();
    QFETCH(QByteArray, content);
    BranchFixture server(QStringLiteral("QPSQL"), m_dir.path());
    QVERIFY2(server.create({}), qPrintable(server.error()));
    const QString store = m_dir.filePath(QStringLiteral("kaputt-%1.ini").arg(QTest::currentDataTag()));
    if (!content.isNull())
        QVERIFY(!writeFile(QFileInfo(store).fileName(), content).isEmpty());
    const ToolRun refused = runTool(QStringList{QStringLiteral("copy-settings"), store} + onServer(server) +
                                    QStringList{QStringLiteral("--filiale"), QStringLiteral("42")});
    QCOMPARE(refused.exitCode, 1);
    QVERIFY(refused.errors.contains(store.toUtf8()));
    QCOMPARE(serverRows(server, SettingRows), QStringList{});
}

void TestOrdovantDb::migrationTakesOnlyABranch_data()
{
    QTest::addColumn<QString>("filiale");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("row");
    const QString untouched = QStringLiteral(R"({"schluessel":"ORDOVANT/DM/GV07","wert":"KUNDBEST"})");
    QTest::newRow("branch 42") << QStringLiteral("42") << 0
                               << QStringLiteral(
                                      R"({"schluessel":"ORDOVANT/DM/GV07","wert":"KUNDBEST","filiale":42})");
    // psql ends a script with 3 when ON_ERROR_STOP stops it.
    QTest::newRow("branch -1") << QStringLiteral("-1") << 3 << untouched;
    QTest::newRow("branch 0") << QStringLiteral("0") << 3 << untouched;
}

// The settings table of an earlier schema, keyed by the setting alone, moved to one branch.
void TestOrdovantDb::migrationTakesOnlyABranch()
{
    REQUIRE_TEST_SERVER();
    QFETCH(QString, filiale);
    QFETCH(int, exitCode);
    QFETCH(QString, row);
    BranchFixture server(QStringLiteral("QPSQL"), m_dir.path());
    QVERIFY2(server.create({}), qPrintable(server.error()));
    QVERIFY2(
        server.exec(QStringLiteral("DROP TABLE einstellung")) &&
            server.exec(
                QStringLiteral("CREATE TABLE einstellung (schluessel text PRIMARY KEY, wert text)")) &&
            server.exec(QStringLiteral("INSERT INTO einstellung VALUES ('ORDOVANT/DM/GV07', 'KUNDBEST')")),
        qPrintable(server.error()));
    QProcess psql;
    psql.setProcessChannelMode(QProcess::MergedChannels);
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-d"), server.databaseName(), QStringLiteral("-v"),
                QStringLiteral("filiale=") + filiale, QStringLiteral("-f"), QStringLiteral(MIGRATION_SQL)});
    if (!psql.waitForStarted())
        QSKIP("no psql here");
    QVERIFY(psql.waitForFinished(120000));
    QVERIFY2(psql.exitCode() == exitCode, psql.readAll().constData());
    QCOMPARE(server.rows(QStringLiteral("SELECT row_to_json(e)::text FROM einstellung e")), QStringList{row});
}

QTEST_MAIN(TestOrdovantDb)
#include "tst_ordovantdb.moc"
