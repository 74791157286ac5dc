#include "standalonehosthome.h"

#include "check/ordovantdm.h"
#include "host/standalone/branchschema.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

// Both checks against the standalone host: a real host.ini, a real SQLite branch database and a
// stand-in branch program that notes how it was started.

namespace {

struct Aufgabe
{
    int filiale;
    int gv;
    int herkunft;
    int erledigt = 0;
};

struct Dokument
{
    int filiale;
    int art;
    QString ablaufdatum;
};

bool execAll(QSqlQuery &query, const QString &sql, const QVector<QVariantList> &rows)
{
    if (!query.prepare(sql))
        return false;
    for (const QVariantList &row : rows) {
        for (const QVariant &value : row)
            query.addBindValue(value);
        if (!query.exec())
            return false;
    }
    return true;
}

bool createDatabase(const QString &path, const QVector<Aufgabe> &aufgaben, const QVector<Dokument> &dokumente)
{
    QVector<QVariantList> taskRows;
    for (const Aufgabe &a : aufgaben)
        taskRows.append({a.filiale, a.gv, a.herkunft, a.erledigt});
    QVector<QVariantList> belegRows;
    for (const Dokument &d : dokumente)
        belegRows.append({d.filiale, d.art, d.ablaufdatum});

    const QString connection = QStringLiteral("checks-standalone-fixture");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        // A fixture need not survive a power cut; without syncs it is written at once.
        ok = ok && query.exec(QStringLiteral("PRAGMA synchronous = OFF")) &&
             query.exec(QStringLiteral("PRAGMA journal_mode = MEMORY"));
        for (const char *sql : BranchSchema::tables)
            ok = ok && query.exec(QString::fromLatin1(sql));
        for (const char *sql : BranchSchema::indexes)
            ok = ok && query.exec(QString::fromLatin1(sql));
        ok =
            ok && db.transaction() &&
            execAll(query,
                    QStringLiteral(
                        "INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt) VALUES (?, ?, ?, ?)"),
                    taskRows) &&
            execAll(query, QStringLiteral("INSERT INTO beleg (filiale, art, ablaufdatum) VALUES (?, ?, ?)"),
                    belegRows) &&
            db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

QByteArray hostIni(int filiale)
{
    return QByteArrayLiteral("[Terminal]\nID=KASSE07\n"
                             "[Startparameter]\nTORVELIN=1\n"
                             "[Geschaeftsdatum]\nDatum=2026-03-10\n"
                             "[Verzeichnisse]\nFERTIG=fertig\n"
                             "[Warenabgabe]\n17=") +
           QByteArray::number(filiale) + '\n';
}

// The branch program: writes its arguments, one a line, into fertig/gestartet.txt.
bool installBranchProgram(const StandaloneHostHome &home)
{
    const QString script = QStringLiteral("fertig/torvelin.exe");
    if (!home.writeFile(script, QByteArrayLiteral("#!/bin/sh\n"
                                                  "cd \"$(dirname \"$0\")\"\n"
                                                  "printf '%s\\n' \"$@\" > gestartet.tmp\n"
                                                  "mv gestartet.tmp gestartet.txt\n")))
        return false;
    return QFile::setPermissions(home.filePath(script),
                                 QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

// Tasks of branch 42 of several types and origins, done tasks, and tasks of branch 43.
const QVector<Aufgabe> aufgaben{
    {42, 3, 11},    {42, 3, 11},   {42, 4, 11}, {42, 5, 2},  {42, 8, 50}, {42, 1, 7},
    {42, 3, 11, 1}, {42, 6, 9, 1}, {43, 3, 11}, {43, 3, 11}, {43, 7, 1},
};

} // namespace

Q_DECLARE_METATYPE(QVector<Dokument>)

class TestChecksStandalone : public QObject
{
    Q_OBJECT

private slots:
    // Sort-out task check
    void countsTheBranchsOpenTasksInDetail();
    void countsOnlyItsOwnBranch();
    void existenceQueryAnswersOneOrZero_data();
    void existenceQueryAnswersOneOrZero();

    // Expired reservations check
    void expiredAroundTheBusinessDate_data();
    void expiredAroundTheBusinessDate();
};

// --- Sort-out task check ---

void TestChecksStandalone::countsTheBranchsOpenTasksInDetail()
{
    StandaloneHostHome home;
    QVERIFY(home.isValid());
    QVERIFY(home.writeIni(hostIni(42)));
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), aufgaben, {}));
    QVERIFY(installBranchProgram(home));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(dm.GetAnzAufgaben(), 6);
    QCOMPARE(dm.GetAnzNachGV(), (TQVX_Aufgabe_GV_Integer_Array{0, 1, 0, 2, 1, 1, 0, 0, 1}));
    TQVX_Herkunfts_Integer_Array herkunft{};
    herkunft[11] = 3;
    herkunft[2] = 1;
    herkunft[50] = 1;
    herkunft[7] = 1;
    QCOMPARE(dm.GetAnzNachHerkunft(), herkunft);

    // Finding tasks has the branch program print them.
    const QString started = home.filePath(QStringLiteral("fertig/gestartet.txt"));
    QTRY_VERIFY(QFile::exists(started));
    QCOMPARE(home.readFile(QStringLiteral("fertig/gestartet.txt")), QByteArray("-AutoAufgDruck\n"));
    QVERIFY(home.logLines().isEmpty());
}

void TestChecksStandalone::countsOnlyItsOwnBranch()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni(hostIni(43)));
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), aufgaben, {}));
    QVERIFY(installBranchProgram(home));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(dm.GetAnzAufgaben(), 3);
    QCOMPARE(dm.GetAnzNachGV(), (TQVX_Aufgabe_GV_Integer_Array{0, 0, 0, 2, 0, 0, 0, 1, 0}));
    QCOMPARE(dm.GetAnzNachHerkunft()[11], 2);
    QCOMPARE(dm.GetAnzNachHerkunft()[1], 1);
    QTRY_VERIFY(QFile::exists(home.filePath(QStringLiteral("fertig/gestartet.txt"))));
}

void TestChecksStandalone::existenceQueryAnswersOneOrZero_data()
{
    QTest::addColumn<int>("filiale");
    QTest::addColumn<bool>("found");
    QTest::newRow("branch with tasks") << 42 << true;
    QTest::newRow("branch with only done tasks") << 44 << false;
    QTest::newRow("branch without tasks") << 45 << false;
}

void TestChecksStandalone::existenceQueryAnswersOneOrZero()
{
    QFETCH(int, filiale);
    QFETCH(bool, found);
    StandaloneHostHome home;
    QVERIFY(home.writeIni(hostIni(filiale)));
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")),
                           aufgaben + QVector<Aufgabe>{{44, 3, 11, 1}}, {}));
    QVERIFY(installBranchProgram(home));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QCOMPARE(dm.ExistAbsortierAufgaben(false), found);
    QCOMPARE(dm.GetAnzAufgaben(), found ? 1 : 0);
    QCOMPARE(dm.GetAnzNachGV(), TQVX_Aufgabe_GV_Integer_Array{});
    if (found)
        QTRY_VERIFY(QFile::exists(home.filePath(QStringLiteral("fertig/gestartet.txt"))));
    else
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("fertig/gestartet.txt"))));
}

// --- Expired reservations check ---

void TestChecksStandalone::expiredAroundTheBusinessDate_data()
{
    QTest::addColumn<QVector<Dokument>>("dokumente");
    QTest::addColumn<bool>("expired");

    // The business date is 2026-03-10.
    QTest::newRow("reservation expired yesterday")
        << QVector<Dokument>{{42, 32, "2026-03-11"}, {42, 32, "2026-03-09"}} << true;
    QTest::newRow("selection expired long ago") << QVector<Dokument>{{42, 33, "2025-12-31"}} << true;
    QTest::newRow("expires today") << QVector<Dokument>{{42, 32, "2026-03-10"}} << false;
    QTest::newRow("expires tomorrow") << QVector<Dokument>{{42, 33, "2026-03-11"}} << false;
    QTest::newRow("expired at another branch") << QVector<Dokument>{{43, 32, "2026-03-01"}} << false;
    QTest::newRow("expired document of another kind") << QVector<Dokument>{{42, 31, "2026-03-01"}} << false;
    QTest::newRow("no documents") << QVector<Dokument>{} << false;
}

void TestChecksStandalone::expiredAroundTheBusinessDate()
{
    QFETCH(QVector<Dokument>, dokumente);
    QFETCH(bool, expired);
    StandaloneHostHome home;
    QVERIFY(home.writeIni(hostIni(42)));
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), aufgaben, dokumente));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QCOMPARE(dm.ExistAbgelaufeneBelege(), expired);
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbgelaufen);
    QVERIFY(home.logLines().isEmpty());
}

QTEST_GUILESS_MAIN(TestChecksStandalone)

#include "tst_checks_standalone.moc"
