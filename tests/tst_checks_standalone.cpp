#include "support/standalonehosthome.h"

#include "check/ordovantdm.h"
#include "host/bafilter.h"
#include "host/belegauswahldm.h"
#include "host/vrlist.h"
#include "support/branchfixture.h"
#include "support/branchprogram.h"

#include <QFile>
#include <QTest>

// Both checks and the settings against the standalone host: a real host.ini, a real branch database
// (a SQLite file, then the same cases on each server route: PostgreSQL through QPSQL, through PgBouncer
// and through ODBC, MariaDB through ODBC) and a stand-in branch program that notes how it was started.

namespace {

// The terminal id holds a quote, which goes into every settings key.
QByteArray hostIni(int filiale, BranchFixture &branch)
{
    return QByteArrayLiteral("[Terminal]\nID=KASSE'07\n"
                             "[Startparameter]\nTORVELIN=1\n"
                             "[Geschaeftsdatum]\nDatum=2026-03-10\n"
                             "[Verzeichnisse]\nFERTIG=fertig\n"
                             "[Warenabgabe]\n17=") +
           QByteArray::number(filiale) + '\n' + branch.hostIniSection() + branch.settingsInDatabase();
}

// Tasks of branch 42 of several types and origins, done tasks, and tasks of branch 43.
const QVector<TaskRow> aufgaben{
    {42, 3, 11},    {42, 3, 11},   {42, 4, 11}, {42, 5, 2},  {42, 8, 50}, {42, 1, 7},
    {42, 3, 11, 1}, {42, 6, 9, 1}, {43, 3, 11}, {43, 3, 11}, {43, 7, 1},
};

} // namespace

Q_DECLARE_METATYPE(QVector<BelegRow>)
Q_DECLARE_METATYPE(TQVX_Aufgabe_GV_Integer_Array)
using CountsById = QMap<int, int>;

class TestChecksStandalone : public QObject
{
    Q_OBJECT

public:
    explicit TestChecksStandalone(QString driver) : m_driver(std::move(driver)) {}

private slots:
    void initTestCase();

    // Sort-out task check
    void countsTheBranchsOpenTasksInDetail_data();
    void countsTheBranchsOpenTasksInDetail();
    void existenceQueryAnswersOneOrZero_data();
    void existenceQueryAnswersOneOrZero();

    // Expired reservations check
    void expiredAroundTheBusinessDate_data();
    void expiredAroundTheBusinessDate();
    void documentListHasARowPerOpenDocument();

    // Settings
    void settingsRoundTrip();

private:
    // A host directory of branch `filiale` whose database holds the rows.
    bool prepare(int filiale, const QVector<TaskRow> &tasks, const QVector<BelegRow> &belege = {});

    QString m_driver;
    std::unique_ptr<StandaloneHostHome> m_home;
    std::unique_ptr<BranchFixture> m_branch;
};

void TestChecksStandalone::initTestCase()
{
    qInfo("Driver %s", qPrintable(m_driver));
}

bool TestChecksStandalone::prepare(int filiale, const QVector<TaskRow> &tasks,
                                   const QVector<BelegRow> &belege)
{
    // One home at a time: a home leaving unsets ORDOVANT_HOME.
    m_branch.reset();
    m_home.reset();
    m_home = std::make_unique<StandaloneHostHome>();
    m_branch = std::make_unique<BranchFixture>(m_driver, m_home->path());
    if (!m_branch->create(tasks, belege)) {
        qWarning("%s", qPrintable(m_branch->error()));
        return false;
    }
    return m_home->writeIni(hostIni(filiale, *m_branch)) &&
           installBranchProgram(m_home->filePath(QStringLiteral("fertig")));
}

// --- Sort-out task check ---

void TestChecksStandalone::countsTheBranchsOpenTasksInDetail_data()
{
    QTest::addColumn<int>("filiale");
    QTest::addColumn<int>("total");
    QTest::addColumn<TQVX_Aufgabe_GV_Integer_Array>("nachGV");
    QTest::addColumn<CountsById>("nachHerkunft");
    QTest::newRow("branch 42") << 42 << 6 << TQVX_Aufgabe_GV_Integer_Array{0, 1, 0, 2, 1, 1, 0, 0, 1}
                               << CountsById{{11, 3}, {2, 1}, {50, 1}, {7, 1}};
    QTest::newRow("only its own branch")
        << 43 << 3 << TQVX_Aufgabe_GV_Integer_Array{0, 0, 0, 2, 0, 0, 0, 1, 0} << CountsById{{11, 2}, {1, 1}};
}

void TestChecksStandalone::countsTheBranchsOpenTasksInDetail()
{
    QFETCH(int, filiale);
    QFETCH(int, total);
    QFETCH(TQVX_Aufgabe_GV_Integer_Array, nachGV);
    QFETCH(CountsById, nachHerkunft);
    QVERIFY(prepare(filiale, aufgaben));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(dm.GetAnzAufgaben(), total);
    QCOMPARE(dm.GetAnzNachGV(), nachGV);
    TQVX_Herkunfts_Integer_Array herkunft{};
    for (auto it = nachHerkunft.cbegin(); it != nachHerkunft.cend(); ++it)
        herkunft[it.key()] = it.value();
    QCOMPARE(dm.GetAnzNachHerkunft(), herkunft);

    // Finding tasks has the branch program print them.
    QTRY_VERIFY(QFile::exists(m_home->filePath(QStringLiteral("fertig/gestartet.txt"))));
    QCOMPARE(m_home->readFile(QStringLiteral("fertig/gestartet.txt")), QByteArray("-AutoAufgDruck\n"));
    QVERIFY(m_home->logLines().isEmpty());
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
    QVERIFY(prepare(filiale, aufgaben + QVector<TaskRow>{{44, 3, 11, 1}}));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QCOMPARE(dm.ExistAbsortierAufgaben(false), found);
    QCOMPARE(dm.GetAnzAufgaben(), found ? 1 : 0);
    QCOMPARE(dm.GetAnzNachGV(), TQVX_Aufgabe_GV_Integer_Array{});
    const QString started = m_home->filePath(QStringLiteral("fertig/gestartet.txt"));
    if (found)
        QTRY_VERIFY(QFile::exists(started));
    else
        QVERIFY(!QFile::exists(started));
}

// --- Expired reservations check ---

void TestChecksStandalone::expiredAroundTheBusinessDate_data()
{
    QTest::addColumn<QVector<BelegRow>>("dokumente");
    QTest::addColumn<bool>("expired");

    // The business date is 2026-03-10.
    QTest::newRow("reservation expired yesterday")
        << QVector<BelegRow>{{42, 32, "2026-03-11"}, {42, 32, "2026-03-09"}} << true;
    QTest::newRow("selection expired long ago") << QVector<BelegRow>{{42, 33, "2025-12-31"}} << true;
    QTest::newRow("expires today") << QVector<BelegRow>{{42, 32, "2026-03-10"}} << false;
    QTest::newRow("expires tomorrow") << QVector<BelegRow>{{42, 33, "2026-03-11"}} << false;
    QTest::newRow("without expiry date") << QVector<BelegRow>{{42, 33, QVariant()}} << false;
    QTest::newRow("expired but done") << QVector<BelegRow>{{42, 32, "2026-03-01", 1}} << false;
    QTest::newRow("expired at another branch") << QVector<BelegRow>{{43, 32, "2026-03-01"}} << false;
    QTest::newRow("expired document of another kind") << QVector<BelegRow>{{42, 31, "2026-03-01"}} << false;
    QTest::newRow("no documents") << QVector<BelegRow>{} << false;
}

void TestChecksStandalone::expiredAroundTheBusinessDate()
{
    QFETCH(QVector<BelegRow>, dokumente);
    QFETCH(bool, expired);
    QVERIFY(prepare(42, aufgaben, dokumente));
    InstalledStandaloneHost host;
    TDMOrdovant dm;

    QCOMPARE(dm.ExistAbgelaufeneBelege(), expired);
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbgelaufen);
    QVERIFY(m_home->logLines().isEmpty());
}

// Alike documents may travel as one group; the list the check reads still has a row for each.
void TestChecksStandalone::documentListHasARowPerOpenDocument()
{
    const BelegRow expired{42, 32, "2026-03-01"};
    const BelegRow later{42, 33, "2026-04-01"};
    QVERIFY(prepare(42, {},
                    {expired,
                     later,
                     expired,
                     {42, 33, QVariant()},
                     later,
                     expired,
                     {42, 32, "2026-03-01", 1},
                     {43, 32, "2026-03-01"},
                     {42, 31, "2026-03-01"}}));
    InstalledStandaloneHost host;
    TQVX_BA_Filter filter;
    filter.Filiale = 42;
    filter.Belegarten.include(32);
    filter.Belegarten.include(33);
    TQVX_BelegAuswahlDM auswahl;
    auswahl.BelegeListe_Laden(filter);
    auswahl.Ablaufdatum_Nachladen();

    const TVRList *list = auswahl.BelegeListe_Get();
    QCOMPARE(list->GetRowCount(), 6);
    int expiredRows = 0;
    for (int row = 0; row < list->GetRowCount(); ++row)
        expiredRows += list->GetCellValueAsBoolean(row, 8) ? 1 : 0;
    QCOMPARE(expiredRows, 3);
}

// --- Settings ---

void TestChecksStandalone::settingsRoundTrip()
{
    QVERIFY(prepare(42, {}));
    const QString quoted = QStringLiteral("KUNDBEST|\"A B\"|\"Ä'\"");
    {
        InstalledStandaloneHost host;
        TDMOrdovant dm;
        QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")),
                 QStringLiteral("KUNDBEST"));
        dm.Einstellung_speichern(QStringLiteral("GV"), quoted);
        dm.Einstellung_speichern(QStringLiteral("GV"), quoted + QStringLiteral("|RESERV"));
    }
    // A later run reads what the earlier one stored.
    InstalledStandaloneHost host;
    TDMOrdovant dm;
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QString()), quoted + QStringLiteral("|RESERV"));
    QVERIFY(m_home->logLines().isEmpty());
}

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    int failures = 0;
    for (const QString &driver : BranchFixture::drivers()) {
        // Not as a skip in initTestCase: Qt Test would then run no case of the drivers after it.
        if (const QString reason = BranchFixture::unavailable(driver); !reason.isEmpty()) {
            qInfo("SKIP   : driver %s: %s", qPrintable(driver), qPrintable(reason));
            continue;
        }
        TestChecksStandalone test(driver);
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures;
}

#include "tst_checks_standalone.moc"
