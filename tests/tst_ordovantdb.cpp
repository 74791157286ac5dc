#include "standalonehosthome.h"

#include "host/warenabgabemani.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

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
};

ToolRun runTool(const QStringList &arguments)
{
    QProcess tool;
    tool.start(toolPath(), arguments);
    if (!tool.waitForFinished(120000) || tool.exitStatus() != QProcess::NormalExit)
        return {};
    return {tool.exitCode(), tool.readAllStandardError()};
}

// Runs one query on a database file and returns the first column of every row.
QStringList column(const QString &path, const QString &sql)
{
    QStringList values;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            if (query.exec(sql)) {
                while (query.next())
                    values << query.value(0).toString();
            }
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    return values;
}

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

private:
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
    QCOMPARE(runTool({QStringLiteral("create"), path, QStringLiteral("--force"), QStringLiteral("--task"),
                      QStringLiteral("1,1,1")})
                 .exitCode,
             0);
    QCOMPARE(column(path, QStringLiteral("SELECT COUNT(*) FROM absortieraufgabe")),
             QStringList{QStringLiteral("1")});
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

QTEST_MAIN(TestOrdovantDb)
#include "tst_ordovantdb.moc"
