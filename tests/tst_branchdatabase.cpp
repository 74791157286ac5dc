#include "support/standalonehosthome.h"

#include "host/aufgabenmani.h"
#include "host/bafilter.h"
#include "host/belegauswahldm.h"
#include "host/hosterror.h"
#include "host/standalone/branchdb/beleglist.h"
#include "host/standalone/branchdb/sqlfailure.h"
#include "host/vrlist.h"
#include "host/warenabgabemani.h"
#include "support/branchfixture.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

namespace {

// The host directory's branch file, made by the shared fixture (a file outlives it).
bool createDatabase(const QString &directory, const QVector<TaskRow> &tasks,
                    const QVector<BelegRow> &belege = {})
{
    return BranchFixture(QStringLiteral("QSQLITE"), directory).create(tasks, belege);
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

using Counts = QMap<int, int>;
Q_DECLARE_METATYPE(QVector<Beleg>)
Q_DECLARE_METATYPE(QVector<TaskRow>)
Q_DECLARE_METATYPE(QVector<BelegRow>)

class TestBranchDatabase : public QObject
{
    Q_OBJECT

private slots:
    // Counting sort-out tasks
    void counts_data();
    void counts();
    void countRepeatedOnOneComponent();
    void databasePathFromHostIni();

    // Existence of tasks
    void aufgabenVorhanden_data();
    void aufgabenVorhanden();

    // Documents
    void belege_data();
    void belege();
    void belegListBeforeLoadingIsEmpty();
    void belegListRangeChecks();
    void belegListRowPerDocumentOfAGroup_data();
    void belegListRowPerDocumentOfAGroup();

    // Broken databases
    void brokenDatabase_data();
    void brokenDatabase();
    void databaseNeverModified();
    void hostOutlivingApplicationEndsCleanly();
    void failedStatementSaysWhy_data();
    void failedStatementSaysWhy();

private:
    static qint32 count(qint16 filiale, TQVX_Herkunfts_Integer_Array &herkunft,
                        TQVX_Aufgabe_GV_Integer_Array &gv)
    {
        TWarenabgabeMani mani;
        return mani.Anzahl_AbsortAufg_Detailliert(filiale, false, -1, herkunft, gv);
    }
};

// --- Counting sort-out tasks ---

void TestBranchDatabase::counts_data()
{
    QTest::addColumn<QVector<TaskRow>>("tasks");
    QTest::addColumn<int>("total");
    QTest::addColumn<Counts>("gv"); // id: count; every other id 0
    QTest::addColumn<Counts>("herkunft");
    // Branch 7 is counted; the arrays hold other values before, as a caller's may.
    QTest::newRow("per type and origin")
        << QVector<TaskRow>{{7, 0, 0}, {7, 0, 0}, {7, 8, 53}, {7, 3, 10, 1}, {8, 0, 0}, {8, 5, 5}, {7, 2, 0}}
        << 4 << Counts{{0, 2}, {2, 1}, {8, 1}} << Counts{{0, 3}, {53, 1}};
    QTest::newRow("ids out of range count in the total only")
        << QVector<TaskRow>{{7, 9, 0}, {7, -1, 5}, {7, 2, 54}, {7, 2, 1000}, {7, 100000, -100000}, {7, 1, 1}}
        << 6 << Counts{{1, 1}, {2, 2}} << Counts{{0, 1}, {1, 1}, {5, 1}};
    QTest::newRow("no open task clears the arrays")
        << QVector<TaskRow>{{7, 1, 1, 1}, {8, 1, 1}} << 0 << Counts{} << Counts{};
}

void TestBranchDatabase::counts()
{
    QFETCH(QVector<TaskRow>, tasks);
    QFETCH(int, total);
    QFETCH(Counts, gv);
    QFETCH(Counts, herkunft);
    StandaloneHostHome home;
    QVERIFY(createDatabase(home.path(), tasks));
    InstalledStandaloneHost installed;
    TQVX_Herkunfts_Integer_Array herkunftCounts;
    TQVX_Aufgabe_GV_Integer_Array gvCounts;
    herkunftCounts.fill(-5);
    gvCounts.fill(99);
    QCOMPARE(count(7, herkunftCounts, gvCounts), total);
    TQVX_Aufgabe_GV_Integer_Array expectedGv{};
    for (auto [id, n] : gv.asKeyValueRange())
        expectedGv[id] = n;
    TQVX_Herkunfts_Integer_Array expectedHerkunft{};
    for (auto [id, n] : herkunft.asKeyValueRange())
        expectedHerkunft[id] = n;
    QCOMPARE(gvCounts, expectedGv);
    QCOMPARE(herkunftCounts, expectedHerkunft);
}

void TestBranchDatabase::countRepeatedOnOneComponent()
{
    StandaloneHostHome home;
    QVERIFY(createDatabase(home.path(), {{1, 4, 4}, {2, 4, 4}, {2, 4, 4}}));
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
    QVERIFY(createDatabase(home.filePath(QStringLiteral("daten")), {{3, 0, 0}}));
    QVERIFY(home.writeIni("[Datenbank]\nPfad=daten/filiale.db\n"));
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
    QVERIFY(createDatabase(home.path(), {{7, 1, 1}, {8, 1, 1, 1}, {8, 2, 2, 1}}));
    InstalledStandaloneHost installed;
    TQVX_AufgabenMani mani;
    QCOMPARE(mani.AufgabenVorhanden(qint16(filiale), set, false), expected);
}

// --- Documents ---

void TestBranchDatabase::belege_data()
{
    QTest::addColumn<QVector<BelegRow>>("belege");
    QTest::addColumn<QList<int>>("kinds");
    QTest::addColumn<QVector<bool>>("abgelaufen"); // column 8 of every row of branch 7, in order
    // The business date is 2024-06-15.
    QTest::newRow("expired around the business date")
        << QVector<BelegRow>{{7, 1, QStringLiteral("2024-06-14")}, {7, 1, QStringLiteral("2024-06-15")},
                             {7, 1, QStringLiteral("2024-06-16")}, {7, 1, QVariant()},
                             {7, 1, QStringLiteral("")},           {7, 1, QStringLiteral("bald")},
                             {7, 1, QStringLiteral("1999-12-31")}, {7, 1, QStringLiteral("2020-01-01"), 1},
                             {8, 1, QStringLiteral("2020-01-01")}}
        << QList<int>{1} << QVector<bool>{true, false, false, false, false, false, true};
    QTest::newRow("filtered by kind") << QVector<BelegRow>{{7, 0, QStringLiteral("2020-01-01")},
                                                           {7, 5, QStringLiteral("2020-01-01")},
                                                           {7, 39, QStringLiteral("2099-01-01")},
                                                           {7, 40, QStringLiteral("2020-01-01")},
                                                           {7, 6, QStringLiteral("2020-01-01")}}
                                      << QList<int>{5, 39} << QVector<bool>{true, false};
    QTest::newRow("no kind loads nothing")
        << QVector<BelegRow>{{7, 0, QStringLiteral("2020-01-01")}} << QList<int>{} << QVector<bool>{};
}

void TestBranchDatabase::belege()
{
    QFETCH(QVector<BelegRow>, belege);
    QFETCH(QList<int>, kinds);
    QFETCH(QVector<bool>, abgelaufen);
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Geschaeftsdatum]\nDatum=2024-06-15\n"));
    QVERIFY(createDatabase(home.path(), {}, belege));
    InstalledStandaloneHost installed;
    TQVX_BelegAuswahlDM dm;
    TQVX_BA_Filter filter;
    filter.Filiale = 7;
    for (int kind : kinds)
        filter.Belegarten.include(kind);
    dm.BelegeListe_Laden(filter);
    dm.Ablaufdatum_Nachladen();
    TVRList *list = dm.BelegeListe_Get();
    QVERIFY(list);
    QCOMPARE(list->GetRowCount(), abgelaufen.size());
    for (int row = 0; row < abgelaufen.size(); ++row)
        QCOMPARE(list->GetCellValueAsBoolean(row, 8), abgelaufen[row]);
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
    QVERIFY(createDatabase(home.path(), {},
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
    QTest::newRow("groups in turn") << QVector<Beleg>{{7, 32, true, true, 2},
                                                      {7, 33, true, false, 1},
                                                      {7, 33, false, false, 2}}
                                    << QVector<bool>{true, true, false, false, false};
    QTest::newRow("a group of none is no row")
        << QVector<Beleg>{{7, 32, true, false, 0}, {7, 33, true, true, 1}, {7, 33, true, false, 0}}
        << QVector<bool>{true};
    QTest::newRow("single documents")
        << QVector<Beleg>{{7, 32, true, false}, {7, 32, true, true}} << QVector<bool>{false, true};
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
    if (content == "other")
        QVERIFY(BranchFixture(QStringLiteral("QSQLITE"), home.path()).create({}, {}, false));
    else if (!content.isNull())
        QVERIFY(home.writeFile(QStringLiteral("filiale.db"), content));
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
    QVERIFY(createDatabase(home.path(), {{7, 1, 1}}, {{7, 1, QStringLiteral("2020-01-01")}}));
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
    QVERIFY(createDatabase(home.path(), {{7, 1, 1}, {7, 2, 2}, {8, 1, 1}}));
    QProcess child;
    child.setProcessChannelMode(QProcess::SeparateChannels);
    child.start(QCoreApplication::applicationFilePath(), {CountAtExitSwitch});
    QVERIFY(child.waitForFinished(60000));
    QCOMPARE(child.exitStatus(), QProcess::NormalExit);
    QCOMPARE(child.exitCode(), 0);
    QCOMPARE(child.readAllStandardOutput().trimmed(), QByteArray("2"));
}

// Qt refuses a statement on a connection its driver reports broken without an error: what a broken
// server connection gives, here on a closed one.
void TestBranchDatabase::failedStatementSaysWhy_data()
{
    QTest::addColumn<bool>("open");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the driver's own error") << true << QStringLiteral("syntax error");
    QTest::newRow("refused without an error")
        << false << QStringLiteral("die Verbindung zum Server ist abgebrochen");
}

void TestBranchDatabase::failedStatementSaysWhy()
{
    QFETCH(bool, open);
    QFETCH(QString, reason);
    const QString name = QStringLiteral("failedStatementSaysWhy");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(QStringLiteral(":memory:"));
        QCOMPARE(db.open(), true);
        if (!open)
            db.close();
        QSqlQuery query(db);
        QVERIFY(!query.exec(QStringLiteral("SELEKT 1")));
        const QSqlError error = SqlFailure::ofQuery(query);
        QVERIFY(error.isValid());
        QVERIFY2(SqlFailure::reason(error).contains(reason), qPrintable(SqlFailure::reason(error)));
    }
    QSqlDatabase::removeDatabase(name);
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
