#include "standalonehosthome.h"

#include "host/aufgabenmani.h"
#include "host/bafilter.h"
#include "host/belegauswahldm.h"
#include "host/hosterror.h"
#include "host/standalone/branchdb/beleglist.h"
#include "host/standalone/branchdb/branchschema.h"
#include "host/vrlist.h"
#include "host/warenabgabemani.h"
#include "support/branchfixture.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace {

// Builds a branch database with the shared schema through a connection of its own.
bool createDatabase(const QString &path, const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege = {})
{
    const QString connection = QStringLiteral("fixture");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        for (const char *sql : BranchSchema::tables)
            ok = ok && query.exec(QString::fromLatin1(sql));
        for (const char *sql : BranchSchema::indexes)
            ok = ok && query.exec(QString::fromLatin1(sql));
        ok = ok && db.transaction();
        ok = ok &&
             query.prepare(QStringLiteral("INSERT INTO absortieraufgabe (filiale, gv, herkunft, erledigt) "
                                          "VALUES (?, ?, ?, ?)"));
        for (const TaskRow &task : tasks) {
            query.addBindValue(task.filiale);
            query.addBindValue(task.gv);
            query.addBindValue(task.herkunft);
            query.addBindValue(task.erledigt);
            ok = ok && query.exec();
        }
        ok = ok && query.prepare(QStringLiteral("INSERT INTO beleg (filiale, art, ablaufdatum, erledigt) "
                                                "VALUES (?, ?, ?, ?)"));
        for (const BelegRow &beleg : belege) {
            query.addBindValue(beleg.filiale);
            query.addBindValue(beleg.art);
            query.addBindValue(beleg.ablaufdatum);
            query.addBindValue(beleg.erledigt);
            ok = ok && query.exec();
        }
        ok = ok && db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

struct FileState
{
    QByteArray hash;
    QDateTime modified;
    friend bool operator==(const FileState &, const FileState &) = default;
};

FileState fileState(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return {QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256),
            QFileInfo(path).lastModified()};
}

TQVX_Aufgabe_Art_Erw_Set arten(std::initializer_list<int> members)
{
    TQVX_Aufgabe_Art_Erw_Set set;
    for (int member : members)
        set.include(member);
    return set;
}

const QString CountAtExitSwitch = QStringLiteral("--count-at-exit");

// Child process: counts through the host that stays installed until the process ends, as the
// program does, and prints the total.
int runCountAtExit()
{
    installHostBackend(makeStandaloneHost());
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    const qint32 total = TWarenabgabeMani().Anzahl_AbsortAufg_Detailliert(7, false, -1, herkunft, gv);
    std::printf("%d\n", total);
    return 0;
}

} // namespace

Q_DECLARE_METATYPE(QVector<Beleg>)

class TestBranchDatabase : public QObject
{
    Q_OBJECT

private slots:
    // Counting sort-out tasks
    void countsPerTypeAndOrigin();
    void outOfRangeIdsCountInTotalOnly();
    void countWithoutTasksClearsArrays();
    void countRepeatedOnOneComponent();
    void databasePathFromHostIni();

    // Existence of tasks
    void aufgabenVorhanden_data();
    void aufgabenVorhanden();

    // Documents
    void belegeExpiredAroundBusinessDate();
    void belegeFilteredByKind();
    void belegListBeforeLoadingIsEmpty();
    void belegListRangeChecks();
    void belegListRowPerDocumentOfAGroup_data();
    void belegListRowPerDocumentOfAGroup();
    void belegeWithoutKindsLoadNothing();

    // Broken databases
    void brokenDatabase_data();
    void brokenDatabase();
    void databaseNeverModified();
    void hostOutlivingApplicationEndsCleanly();

private:
    static qint32 count(qint16 filiale, TQVX_Herkunfts_Integer_Array &herkunft,
                        TQVX_Aufgabe_GV_Integer_Array &gv)
    {
        TWarenabgabeMani mani;
        return mani.Anzahl_AbsortAufg_Detailliert(filiale, false, -1, herkunft, gv);
    }
};

// --- Counting sort-out tasks ---

void TestBranchDatabase::countsPerTypeAndOrigin()
{
    StandaloneHostHome home;
    QVERIFY(
        createDatabase(home.filePath(QStringLiteral("filiale.db")),
                       {{7, 0, 0}, {7, 0, 0}, {7, 8, 53}, {7, 3, 10, 1}, {8, 0, 0}, {8, 5, 5}, {7, 2, 0}}));
    InstalledStandaloneHost installed;
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    herkunft.fill(99);
    gv.fill(99);
    QCOMPARE(count(7, herkunft, gv), 4);
    TQVX_Aufgabe_GV_Integer_Array expectedGv{};
    expectedGv[0] = 2;
    expectedGv[2] = 1;
    expectedGv[8] = 1;
    TQVX_Herkunfts_Integer_Array expectedHerkunft{};
    expectedHerkunft[0] = 3;
    expectedHerkunft[53] = 1;
    QCOMPARE(gv, expectedGv);
    QCOMPARE(herkunft, expectedHerkunft);
}

void TestBranchDatabase::outOfRangeIdsCountInTotalOnly()
{
    StandaloneHostHome home;
    QVERIFY(
        createDatabase(home.filePath(QStringLiteral("filiale.db")),
                       {{7, 9, 0}, {7, -1, 5}, {7, 2, 54}, {7, 2, 1000}, {7, 100000, -100000}, {7, 1, 1}}));
    InstalledStandaloneHost installed;
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    QCOMPARE(count(7, herkunft, gv), 6);
    TQVX_Aufgabe_GV_Integer_Array expectedGv{};
    expectedGv[1] = 1;
    expectedGv[2] = 2;
    TQVX_Herkunfts_Integer_Array expectedHerkunft{};
    expectedHerkunft[0] = 1;
    expectedHerkunft[1] = 1;
    expectedHerkunft[5] = 1;
    QCOMPARE(gv, expectedGv);
    QCOMPARE(herkunft, expectedHerkunft);
}

void TestBranchDatabase::countWithoutTasksClearsArrays()
{
    StandaloneHostHome home;
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), {{7, 1, 1, 1}, {8, 1, 1}}));
    InstalledStandaloneHost installed;
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    herkunft.fill(-5);
    gv.fill(-5);
    QCOMPARE(count(7, herkunft, gv), 0);
    QCOMPARE(gv, TQVX_Aufgabe_GV_Integer_Array{});
    QCOMPARE(herkunft, TQVX_Herkunfts_Integer_Array{});
}

void TestBranchDatabase::countRepeatedOnOneComponent()
{
    StandaloneHostHome home;
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), {{1, 4, 4}, {2, 4, 4}, {2, 4, 4}}));
    InstalledStandaloneHost installed;
    TWarenabgabeMani mani;
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    for (int round = 0; round < 2; ++round) {
        QCOMPARE(mani.Anzahl_AbsortAufg_Detailliert(2, true, 0, herkunft, gv), 2);
        QCOMPARE(gv[4], 2);
        QCOMPARE(mani.Anzahl_AbsortAufg_Detailliert(1, true, 0, herkunft, gv), 1);
        QCOMPARE(herkunft[4], 1);
    }
}

void TestBranchDatabase::databasePathFromHostIni()
{
    StandaloneHostHome home;
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("daten")));
    QVERIFY(createDatabase(home.filePath(QStringLiteral("daten/zentrale.db")), {{3, 0, 0}}));
    QVERIFY(home.writeIni("[Datenbank]\nPfad=daten/zentrale.db\n"));
    InstalledStandaloneHost installed;
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    QCOMPARE(count(3, herkunft, gv), 1);
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("filiale.db"))));
}

// --- Existence of tasks ---

void TestBranchDatabase::aufgabenVorhanden_data()
{
    QTest::addColumn<int>("filiale");
    QTest::addColumn<TQVX_Aufgabe_Art_Erw_Set>("set");
    QTest::addColumn<bool>("expected");
    QTest::newRow("open task, kind 2") << 7 << arten({2}) << true;
    QTest::newRow("open task, kinds 0 2 8") << 7 << arten({0, 2, 8}) << true;
    QTest::newRow("open task, without kind 2") << 7 << arten({0, 1, 3, 8}) << false;
    QTest::newRow("open task, empty set") << 7 << arten({}) << false;
    QTest::newRow("only done tasks") << 8 << arten({2}) << false;
    QTest::newRow("no tasks") << 9 << arten({2}) << false;
}

void TestBranchDatabase::aufgabenVorhanden()
{
    QFETCH(int, filiale);
    QFETCH(TQVX_Aufgabe_Art_Erw_Set, set);
    QFETCH(bool, expected);
    StandaloneHostHome home;
    QVERIFY(
        createDatabase(home.filePath(QStringLiteral("filiale.db")), {{7, 1, 1}, {8, 1, 1, 1}, {8, 2, 2, 1}}));
    InstalledStandaloneHost installed;
    TQVX_AufgabenMani mani;
    QCOMPARE(mani.AufgabenVorhanden(qint16(filiale), set, false), expected);
}

// --- Documents ---

void TestBranchDatabase::belegeExpiredAroundBusinessDate()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Geschaeftsdatum]\nDatum=2024-06-15\n"));
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), {},
                           {{7, 1, QStringLiteral("2024-06-14")},
                            {7, 1, QStringLiteral("2024-06-15")},
                            {7, 1, QStringLiteral("2024-06-16")},
                            {7, 1, QVariant()},
                            {7, 1, QStringLiteral("")},
                            {7, 1, QStringLiteral("bald")},
                            {7, 1, QStringLiteral("1999-12-31")},
                            {7, 1, QStringLiteral("2020-01-01"), 1},
                            {8, 1, QStringLiteral("2020-01-01")}}));
    InstalledStandaloneHost installed;
    TQVX_BelegAuswahlDM dm;
    TQVX_BA_Filter filter;
    filter.Filiale = 7;
    filter.Belegarten.include(1);
    dm.BelegeListe_Laden(filter);
    dm.Ablaufdatum_Nachladen();
    TVRList *list = dm.BelegeListe_Get();
    QVERIFY(list);
    QCOMPARE(list->GetRowCount(), 7);
    const QVector<bool> expected{true, false, false, false, false, false, true};
    for (int row = 0; row < expected.size(); ++row)
        QCOMPARE(list->GetCellValueAsBoolean(row, 8), expected[row]);
}

void TestBranchDatabase::belegeFilteredByKind()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Geschaeftsdatum]\nDatum=2024-06-15\n"));
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), {},
                           {{7, 0, QStringLiteral("2020-01-01")},
                            {7, 5, QStringLiteral("2020-01-01")},
                            {7, 39, QStringLiteral("2099-01-01")},
                            {7, 40, QStringLiteral("2020-01-01")},
                            {7, 6, QStringLiteral("2020-01-01")}}));
    InstalledStandaloneHost installed;
    TQVX_BelegAuswahlDM dm;
    TQVX_BA_Filter filter;
    filter.Filiale = 7;
    filter.Belegarten.include(5);
    filter.Belegarten.include(39);
    dm.BelegeListe_Laden(filter);
    dm.Ablaufdatum_Nachladen();
    TVRList *list = dm.BelegeListe_Get();
    QCOMPARE(list->GetRowCount(), 2);
    QCOMPARE(list->GetCellValueAsBoolean(0, 8), true);
    QCOMPARE(list->GetCellValueAsBoolean(1, 8), false);
}

void TestBranchDatabase::belegListBeforeLoadingIsEmpty()
{
    StandaloneHostHome home;
    InstalledStandaloneHost installed;
    TQVX_BelegAuswahlDM dm;
    QVERIFY(dm.BelegeListe_Get());
    QCOMPARE(dm.BelegeListe_Get()->GetRowCount(), 0);
}

void TestBranchDatabase::belegListRangeChecks()
{
    StandaloneHostHome home;
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), {},
                           {{7, 1, QStringLiteral("2020-01-01")}, {7, 1, QStringLiteral("2020-01-02")}}));
    InstalledStandaloneHost installed;
    TQVX_BelegAuswahlDM dm;
    TQVX_BA_Filter filter;
    filter.Filiale = 7;
    filter.Belegarten.include(1);
    dm.BelegeListe_Laden(filter);
    TVRList *list = dm.BelegeListe_Get();
    QCOMPARE(list->GetRowCount(), 2);
    QCOMPARE(list->GetCellValueAsBoolean(1, 8), false); // not yet completed with expiry state
    QVERIFY(list->GetCellValueAsBoolean(1, 3));         // has an expiry date
    QVERIFY_THROWS_EXCEPTION(HostError, list->GetCellValueAsBoolean(2, 8));
    QVERIFY_THROWS_EXCEPTION(HostError, list->GetCellValueAsBoolean(-1, 8));
    QVERIFY_THROWS_EXCEPTION(HostError, list->GetCellValueAsBoolean(0, 9));
    QVERIFY_THROWS_EXCEPTION(HostError, list->GetCellValueAsBoolean(0, -1));
}

// A server sends alike documents as one group with their number; the list still has a row for each.
void TestBranchDatabase::belegListRowPerDocumentOfAGroup_data()
{
    QTest::addColumn<QVector<Beleg>>("belege");
    QTest::addColumn<QVector<bool>>("abgelaufen"); // column 8 of every row, in order
    QTest::newRow("one group") << QVector<Beleg>{{7, 32, true, true, 3}} << QVector<bool>{true, true, true};
    QTest::newRow("groups in turn") << QVector<Beleg>{{7, 32, true, true, 2}, {7, 33, true, false, 1},
                                                      {7, 33, false, false, 2}}
                                    << QVector<bool>{true, true, false, false, false};
    QTest::newRow("a group of none is no row")
        << QVector<Beleg>{{7, 32, true, false, 0}, {7, 33, true, true, 1}, {7, 33, true, false, 0}}
        << QVector<bool>{true};
    QTest::newRow("single documents") << QVector<Beleg>{{7, 32, true, false}, {7, 32, true, true}}
                                      << QVector<bool>{false, true};
    QTest::newRow("nothing") << QVector<Beleg>{} << QVector<bool>{};
}

void TestBranchDatabase::belegListRowPerDocumentOfAGroup()
{
    QFETCH(QVector<Beleg>, belege);
    QFETCH(QVector<bool>, abgelaufen);
    BelegList list;
    list.setBelege(belege);
    list.showAbgelaufen();
    QCOMPARE(list.GetRowCount(), abgelaufen.size());
    for (int row = 0; row < abgelaufen.size(); ++row) {
        QCOMPARE(list.GetCellValueAsBoolean(row, BelegList::AbgelaufenColumn), abgelaufen[row]);
        QVERIFY(list.GetCellValueAsBoolean(row, 2));
    }
    QVERIFY_THROWS_EXCEPTION(HostError, list.GetCellValueAsBoolean(int(abgelaufen.size()), 8));
    QVERIFY_THROWS_EXCEPTION(HostError, list.GetCellValueAsBoolean(-1, 8));
}

void TestBranchDatabase::belegeWithoutKindsLoadNothing()
{
    StandaloneHostHome home;
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), {},
                           {{7, 0, QStringLiteral("2020-01-01")}}));
    InstalledStandaloneHost installed;
    TQVX_BelegAuswahlDM dm;
    TQVX_BA_Filter filter;
    filter.Filiale = 7;
    dm.BelegeListe_Laden(filter);
    QCOMPARE(dm.BelegeListe_Get()->GetRowCount(), 0);
}

// --- Broken databases ---

void TestBranchDatabase::brokenDatabase_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file
    QTest::addColumn<QString>("driverText");
    QTest::newRow("missing") << QByteArray() << QString();
    QTest::newRow("empty file") << QByteArray("") << QStringLiteral("no such table");
    QTest::newRow("garbage") << QByteArray(4096, 'x') << QStringLiteral("not a database");
    QTest::newRow("tables missing") << QByteArray("other") << QStringLiteral("no such table");
}

void TestBranchDatabase::brokenDatabase()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, driverText);
    StandaloneHostHome home;
    const QString path = home.filePath(QStringLiteral("filiale.db"));
    if (content == "other") {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(path);
        QVERIFY(db.open());
        QVERIFY(QSqlQuery(db).exec(QStringLiteral("CREATE TABLE fremd (x INTEGER)")));
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other"));
    } else if (!content.isNull()) {
        QVERIFY(home.writeFile(QStringLiteral("filiale.db"), content));
    }
    const FileState before = fileState(path);
    InstalledStandaloneHost installed;
    TQVX_Herkunfts_Integer_Array herkunft;
    TQVX_Aufgabe_GV_Integer_Array gv;
    TWarenabgabeMani mani;
    TQVX_AufgabenMani aufgaben;
    TQVX_BelegAuswahlDM belege;
    TQVX_BA_Filter filter;
    filter.Belegarten.include(1);
    const auto expectMessage = [&](auto &&operation) {
        try {
            operation();
            QFAIL("no HostError");
        } catch (const HostError &e) {
            const QString message = QString::fromUtf8(e.what());
            QVERIFY2(message.contains(QDir::toNativeSeparators(path)), qPrintable(message));
            QVERIFY2(message.contains(driverText, Qt::CaseInsensitive), qPrintable(message));
        }
    };
    expectMessage([&] { mani.Anzahl_AbsortAufg_Detailliert(7, false, -1, herkunft, gv); });
    expectMessage([&] { aufgaben.AufgabenVorhanden(7, arten({2}), false); });
    expectMessage([&] { belege.BelegeListe_Laden(filter); });
    QCOMPARE(QFileInfo::exists(path), !content.isNull());
    QCOMPARE(fileState(path), before);
}

void TestBranchDatabase::databaseNeverModified()
{
    StandaloneHostHome home;
    const QString path = home.filePath(QStringLiteral("filiale.db"));
    QVERIFY(createDatabase(path, {{7, 1, 1}}, {{7, 1, QStringLiteral("2020-01-01")}}));
    const FileState before = fileState(path);
    const QStringList filesBefore = QDir(home.path()).entryList(QDir::Files);
    {
        InstalledStandaloneHost installed;
        TQVX_Herkunfts_Integer_Array herkunft;
        TQVX_Aufgabe_GV_Integer_Array gv;
        QCOMPARE(count(7, herkunft, gv), 1);
        QVERIFY(TQVX_AufgabenMani().AufgabenVorhanden(7, arten({2}), false));
        TQVX_BelegAuswahlDM dm;
        TQVX_BA_Filter filter;
        filter.Filiale = 7;
        filter.Belegarten.include(1);
        dm.BelegeListe_Laden(filter);
        dm.Ablaufdatum_Nachladen();
        QCOMPARE(dm.BelegeListe_Get()->GetRowCount(), 1);
    }
    QCOMPARE(fileState(path), before);
    QCOMPARE(QDir(home.path()).entryList(QDir::Files), filesBefore);
}

void TestBranchDatabase::hostOutlivingApplicationEndsCleanly()
{
    StandaloneHostHome home;
    QVERIFY(createDatabase(home.filePath(QStringLiteral("filiale.db")), {{7, 1, 1}, {7, 2, 2}, {8, 1, 1}}));
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), {CountAtExitSwitch});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("2"));
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc > 1 && QString::fromLocal8Bit(argv[1]) == CountAtExitSwitch)
        return runCountAtExit();
    TestBranchDatabase test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_branchdatabase.moc"
