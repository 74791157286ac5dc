#include "check/ordovantdm.h"
#include "support/recordinghost.h"

#include <QTest>

#include <limits>

namespace {

const QStringList filialeCalls{
    QStringLiteral("TWarenabgabeMani.Create"),
    QStringLiteral("TDMWarenAbgabe.Create"),
    QStringLiteral("TDMWarenAbgabe.Einstellung_laden(17, \"\")"),
    QStringLiteral("TDMWarenAbgabe.Free"),
    QStringLiteral("TWarenabgabeMani.Free"),
};

const QString meldung1004 =
    QStringLiteral("QVXInfo.ShowMeldung(0, 1004, \"TORVELIN\", \"\", 0, 0, \"\", false)");

const QStringList printCalls{
    QStringLiteral("TAppExec.Create"),
    QStringLiteral("GetDirWwsByName(\"FERTIG\", \"\", true)"),
    QStringLiteral("TAppExec.Execute(\"/opt/torvelin\", \"torvelin.exe\", [\"-AutoAufgDruck\"], false, 0)"),
    QStringLiteral("TAppExec.Free"),
};

TQVX_Aufgabe_GV_Integer_Array sampleGV()
{
    return {0, 1, 2, 3, 4, 5, 6, 7, 8};
}

TQVX_Herkunfts_Integer_Array sampleHerkunft()
{
    TQVX_Herkunfts_Integer_Array counts{};
    for (int id = 0; id < HerkunftAnzahl; ++id)
        counts[id] = 100 + id;
    return counts;
}

QList<int> membersOf(const TQVX_Aufgabe_Geschaeftsvorfall_Set &set)
{
    QList<int> ids;
    for (int id = 0; id < set.capacity(); ++id)
        if (set.contains(id))
            ids << id;
    return ids;
}

QList<int> membersOf(const TQVX_Herkunftskennzeichen_Set &set)
{
    QList<int> ids;
    for (int id = 0; id < set.capacity(); ++id)
        if (set.contains(id))
            ids << id;
    return ids;
}

QList<int> range(int from, int to)
{
    QList<int> ids;
    for (int id = from; id <= to; ++id)
        ids << id;
    return ids;
}

// The calls in the record after the branch number was read.
QStringList callsAfterFiliale(const RecordingHost &host)
{
    const qsizetype start = host.calls.indexOf(filialeCalls.back());
    return start < 0 ? host.calls : host.calls.mid(start + 1);
}

bool freedBeforeReport(const RecordingHost &host, const QString &component)
{
    const qsizetype freed = host.calls.indexOf(component + QStringLiteral(".Free"));
    const qsizetype reported = host.callNames().indexOf(QStringLiteral("QVXInfo.RegisterException"));
    return freed >= 0 && reported >= 0 && freed < reported;
}

// A finished detailed run with known counters, so that later runs can be checked against them.
void runDetailed(RecordingHost &host, TDMOrdovant &dm)
{
    host.detailTotal = 5;
    host.gvCounts = sampleGV();
    host.herkunftCounts = sampleHerkunft();
    QVERIFY(dm.ExistAbsortierAufgaben(true));
    host.clearRecord();
}

} // namespace

class TestChecks : public QObject
{
    Q_OBJECT

private slots:
    // Branch number
    void branchNumber_data();
    void branchNumber();
    void filialeLadenReportsReadFailure();
    void filialeLadenFreesManagerWhenDataModuleFails();
    void filialeLadenReportsMessageFailure();

    // Capability flags
    void parameterFlagAskedOnce_data();
    void parameterFlagAskedOnce();
    void failingParameterFlagIsAskedAgain_data();
    void failingParameterFlagIsAskedAgain();
    void handlagerFromSetting_data();
    void handlagerFromSetting();
    void handlagerReadFailureMeansHandStock();

    // Possible types and origins
    void possibleGV_data();
    void possibleGV();
    void possibleHerkuenfte_data();
    void possibleHerkuenfte();
    void flagsAskedOnlyForDependentIdsInOrder();
    void countsWorkOutTheSetsOnce();
    void setsAreCopies();
    void memberOutsideSetChangesNothing_data();
    void memberOutsideSetChangesNothing();
    void failingFlagMakesDependentIdsImpossible();

    // Sort-out task check
    void detailedRun_data();
    void detailedRun();
    void existenceRun_data();
    void existenceRun();
    void totalOfZeroOrLessMeansNoTasks_data();
    void totalOfZeroOrLessMeansNoTasks();
    void failingQueryKeepsCounters_data();
    void failingQueryKeepsCounters();
    void failingBranchProgramFlagCountsWithoutProgram();
    void gettersHandOutCopies();
    void everyRunWithTasksPrintsAgain();

    // Automatic task printing
    void switchKD_data();
    void switchKD();
    void failedPrintStartKeepsResult_data();
    void failedPrintStartKeepsResult();

    // Expired reservations check
    void expiredCallsInOrder();
    void expiredFilterHoldsExactlyWhatWasSet();
    void expiredRows_data();
    void expiredRows();
    void expiredFailureFreesSelection_data();
    void expiredFailureFreesSelection();
    void checksLeaveEachOthersStateAlone();
};

// --- Branch number ---

// The branch number as FilialeLaden reads it (-1: not a number, with message 1004), and what each
// check does with it after an earlier run: the sort-out check counts branches 1 to 32767 and asks
// nothing for none (0 or less), the expired check takes every 16-bit number as it is; a number beyond
// 16 bits is reported and nothing is loaded. A check that does not count keeps the earlier counters.
void TestChecks::branchNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    QTest::newRow("plain") << QStringLiteral("42") << 42;
    QTest::newRow("leading blanks") << QStringLiteral("  42") << 42;
    QTest::newRow("plus sign") << QStringLiteral("+42") << 42;
    QTest::newRow("blanks then sign") << QStringLiteral(" -7") << -7;
    QTest::newRow("negative") << QStringLiteral("-7") << -7;
    QTest::newRow("zero") << QStringLiteral("0") << 0;
    QTest::newRow("leading zeros") << QStringLiteral("0042") << 42;
    QTest::newRow("largest") << QStringLiteral("2147483647") << 2147483647;
    QTest::newRow("smallest") << QStringLiteral("-2147483648") << int(-2147483647 - 1);
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("only blanks") << QStringLiteral("   ") << -1;
    QTest::newRow("letters") << QStringLiteral("abc") << -1;
    // One reading for host.ini, the settings and the check: blanks around the number are no part of it.
    QTest::newRow("trailing blank") << QStringLiteral("42 ") << 42;
    QTest::newRow("tab around") << QStringLiteral("\t42\t") << 42;
    QTest::newRow("blank inside") << QStringLiteral("4 2") << -1;
    QTest::newRow("blank after sign") << QStringLiteral("- 7") << -1;
    QTest::newRow("digits then letters") << QStringLiteral("42abc") << -1;
    QTest::newRow("only sign") << QStringLiteral("-") << -1;
    QTest::newRow("two signs") << QStringLiteral("+-4") << -1;
    QTest::newRow("hex") << QStringLiteral("0x2A") << -1;
    QTest::newRow("decimal point") << QStringLiteral("4.0") << -1;
    QTest::newRow("one above 32 bits") << QStringLiteral("2147483648") << -1;
    QTest::newRow("one below 32 bits") << QStringLiteral("-2147483649") << -1;
    QTest::newRow("far too long") << QStringLiteral("99999999999999999999999") << -1;
    QTest::newRow("non-ASCII digits") << QStringLiteral("٤٢") << -1;
    QTest::newRow("smallest 16-bit") << QStringLiteral("-32768") << -32768;
    QTest::newRow("one below 16 bits") << QStringLiteral("-32769") << -32769;
    QTest::newRow("largest 16-bit") << QStringLiteral("32767") << 32767;
    QTest::newRow("one above 16 bits") << QStringLiteral("32768") << 32768;
    QTest::newRow("truncates to 4464") << QStringLiteral("70000") << 70000;
    QTest::newRow("truncates to 34464") << QStringLiteral("100000") << 100000;
}

void TestChecks::branchNumber()
{
    QFETCH(QString, text);
    QFETCH(int, expected);
    const bool notANumber = expected == -1;
    const bool fits16 = expected >= -32768 && expected <= 32767;
    ScopedRecordingHost host;
    TDMOrdovant dm;
    runDetailed(*host, dm);
    host->filialeText = text;
    host->tasksExist = true;

    QCOMPARE(dm.FilialeLaden(), expected);
    QStringList readCalls = filialeCalls;
    if (notANumber)
        readCalls << meldung1004;
    QCOMPARE(host->calls, readCalls);
    QVERIFY(host->reports.isEmpty());
    // Not cached: the next call reads (and complains) again.
    QCOMPARE(dm.FilialeLaden(), expected);
    QCOMPARE(host->count(QStringLiteral("TDMWarenAbgabe.Einstellung_laden")), 2);
    QCOMPARE(host->count(QStringLiteral("QVXInfo.ShowMeldung")), notANumber ? 2 : 0);

    for (bool detailed : {true, false}) {
        host->clearRecord();
        const bool counted = expected > 0 && fits16;
        QCOMPARE(dm.ExistAbsortierAufgaben(detailed), counted);
        QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbsort);
        if (counted) {
            QVERIFY(host->reports.isEmpty());
            const QString query = detailed ? QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert")
                                           : QStringLiteral("TQVX_AufgabenMani.AufgabenVorhanden");
            QVERIFY(
                host->callsNamed(query).front().startsWith(query + QStringLiteral("(%1, ").arg(expected)));
            continue;
        }
        if (expected <= 0)
            QCOMPARE(host->calls, readCalls);
        else
            QCOMPARE(callsAfterFiliale(*host),
                     QStringList{"QVXInfo.RegisterException(\"TDMOrdovant.ExistAbsortierAufgaben\", true)"});
        QCOMPARE(dm.GetAnzAufgaben(), 5);
        QCOMPARE(dm.GetAnzNachGV(), sampleGV());
        QVERIFY(host->started.isEmpty());
    }

    host->clearRecord();
    host->expiredRows = {true};
    QCOMPARE(dm.ExistAbgelaufeneBelege(), fits16);
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbgelaufen);
    if (fits16) {
        QCOMPARE(int(host->loadedFilter->Filiale), expected);
        QVERIFY(host->reports.isEmpty());
    } else {
        QCOMPARE(callsAfterFiliale(*host),
                 QStringList{"QVXInfo.RegisterException(\"TDMOrdovant.ExistAbgelaufeneBelege\", true)"});
        QVERIFY(!host->loadedFilter.has_value());
    }
}

void TestChecks::filialeLadenReportsReadFailure()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("TDMWarenAbgabe.Einstellung_laden"));
    TDMOrdovant dm;
    QCOMPARE(dm.FilialeLaden(), -1);
    QCOMPARE(host->calls, (QStringList{filialeCalls.at(0), filialeCalls.at(1), filialeCalls.at(2),
                                       filialeCalls.at(3), filialeCalls.at(4),
                                       "QVXInfo.RegisterException(\"TDMOrdovant.FilialeLaden\", true)"}));
    QCOMPARE(host->count(QStringLiteral("QVXInfo.ShowMeldung")), 0);
}

void TestChecks::filialeLadenFreesManagerWhenDataModuleFails()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("TDMWarenAbgabe.Create"));
    TDMOrdovant dm;
    QCOMPARE(dm.FilialeLaden(), -1);
    QCOMPARE(host->callNames(), (QStringList{"TWarenabgabeMani.Create", "TDMWarenAbgabe.Create",
                                             "TWarenabgabeMani.Free", "QVXInfo.RegisterException"}));
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.FilialeLaden"});
}

void TestChecks::filialeLadenReportsMessageFailure()
{
    ScopedRecordingHost host;
    host->filialeText = QStringLiteral("abc");
    host->failOn(QStringLiteral("QVXInfo.ShowMeldung"));
    TDMOrdovant dm;
    QCOMPARE(dm.FilialeLaden(), -1);
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.FilialeLaden"});
}

// --- Capability flags ---

void TestChecks::parameterFlagAskedOnce_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<bool>("value");
    QTest::newRow("TORVELIN on") << QStringLiteral("TORVELIN") << true;
    QTest::newRow("TORVELIN off") << QStringLiteral("TORVELIN") << false;
    QTest::newRow("RECHKTRL on") << QStringLiteral("RECHKTRL") << true;
    QTest::newRow("RECHKTRL off") << QStringLiteral("RECHKTRL") << false;
}

void TestChecks::parameterFlagAskedOnce()
{
    QFETCH(QString, parameter);
    QFETCH(bool, value);
    ScopedRecordingHost host;
    host->parameters.insert(parameter, value);
    TDMOrdovant dm;
    const auto ask = [&] { return parameter == u"TORVELIN" ? dm.GetTorvelinDa() : dm.GetReKoDa(); };

    QCOMPARE(ask(), value);
    QCOMPARE(ask(), value);
    QCOMPARE(host->calls, QStringList{QStringLiteral("CheckParm_RO_NewIsFalse(\"%1\")").arg(parameter)});
}

void TestChecks::failingParameterFlagIsAskedAgain_data()
{
    QTest::addColumn<QString>("parameter");
    QTest::addColumn<QString>("label");
    QTest::newRow("TORVELIN") << QStringLiteral("TORVELIN") << QStringLiteral("TDMOrdovant.GetTorvelinDa");
    QTest::newRow("RECHKTRL") << QStringLiteral("RECHKTRL") << QStringLiteral("TDMOrdovant.GetReKoDa");
}

void TestChecks::failingParameterFlagIsAskedAgain()
{
    QFETCH(QString, parameter);
    QFETCH(QString, label);
    ScopedRecordingHost host;
    host->parameters.insert(parameter, true);
    host->failOn(QStringLiteral("CheckParm_RO_NewIsFalse"));
    TDMOrdovant dm;
    const auto ask = [&] { return parameter == u"TORVELIN" ? dm.GetTorvelinDa() : dm.GetReKoDa(); };

    QCOMPARE(ask(), false);
    QCOMPARE(ask(), false);
    QCOMPARE(host->reportLabels(), (QStringList{label, label}));
    QVERIFY(host->reports.front().report);

    host->succeedAgain(QStringLiteral("CheckParm_RO_NewIsFalse"));
    QCOMPARE(ask(), true);
    QCOMPARE(ask(), true);
    QCOMPARE(host->count(QStringLiteral("CheckParm_RO_NewIsFalse")), 3);
}

void TestChecks::handlagerFromSetting_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("handlager");
    QTest::newRow("nothing stored") << false << QString() << false;
    QTest::newRow("N") << true << QStringLiteral("N") << false;
    QTest::newRow("lower-case n") << true << QStringLiteral("n") << true;
    QTest::newRow("J") << true << QStringLiteral("J") << true;
    QTest::newRow("empty stored") << true << QString() << true;
    QTest::newRow("N with blank") << true << QStringLiteral("N ") << true;
}

void TestChecks::handlagerFromSetting()
{
    QFETCH(bool, stored);
    QFETCH(QString, value);
    QFETCH(bool, handlager);
    ScopedRecordingHost host;
    if (stored)
        host->store.insert(QStringLiteral("WARENANFOEIGFIL07"), value);
    TDMOrdovant dm;

    QCOMPARE(dm.GetHandlagerDa(), handlager);
    QCOMPARE(dm.GetHandlagerDa(), handlager);
    QCOMPARE(host->callsNamed(QStringLiteral("TSimpleMask.ReadLocalDef")),
             QStringList{"TSimpleMask.ReadLocalDef(\"WARENANFOEIGFIL07\", \"N\")"});
    QVERIFY(host->reports.isEmpty());
}

void TestChecks::handlagerReadFailureMeansHandStock()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("TSimpleMask.ReadLocalDef"));
    TDMOrdovant dm;
    QCOMPARE(dm.GetHandlagerDa(), true);
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.Einstellung_laden"});
    QCOMPARE(dm.GetHandlagerDa(), true);
    QCOMPARE(host->count(QStringLiteral("TSimpleMask.ReadLocalDef")), 1);
}

// --- Possible types and origins ---

void TestChecks::possibleGV_data()
{
    QTest::addColumn<bool>("torvelin");
    QTest::addColumn<bool>("handlager");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("program, hand stock") << true << true << range(1, 8);
    QTest::newRow("program only") << true << false << QList<int>{1, 2, 3, 4, 6, 7, 8};
    QTest::newRow("hand stock only") << false << true << QList<int>{3, 4, 5, 6, 7, 8};
    QTest::newRow("neither") << false << false << QList<int>{3, 4, 6, 7, 8};
}

void TestChecks::possibleGV()
{
    QFETCH(bool, torvelin);
    QFETCH(bool, handlager);
    QFETCH(QList<int>, ids);
    ScopedRecordingHost host;
    host->parameters.insert(QStringLiteral("TORVELIN"), torvelin);
    host->store.insert(QStringLiteral("WARENANFOEIGFIL07"),
                       handlager ? QStringLiteral("J") : QStringLiteral("N"));
    TDMOrdovant dm;

    QCOMPARE(membersOf(dm.GetMoeglicheGV()), ids);
    QCOMPARE(dm.GetMoeglicheGVCount(), int(ids.size()));
    QVERIFY(host->reports.isEmpty());
}

void TestChecks::possibleHerkuenfte_data()
{
    QTest::addColumn<bool>("reko");
    QTest::addColumn<QList<int>>("ids");
    QTest::newRow("invoice control") << true << range(1, 50) + QList<int>{52, 53};
    QTest::newRow("no invoice control") << false << range(1, 49) + QList<int>{52, 53};
}

void TestChecks::possibleHerkuenfte()
{
    QFETCH(bool, reko);
    QFETCH(QList<int>, ids);
    ScopedRecordingHost host;
    host->parameters.insert(QStringLiteral("RECHKTRL"), reko);
    TDMOrdovant dm;

    const TQVX_Herkunftskennzeichen_Set set = dm.GetMoeglicheHerkuenfte();
    QCOMPARE(membersOf(set), ids);
    QVERIFY(!set.contains(51));
    QCOMPARE(dm.GetMoeglicheHerkuenfteCount(), int(ids.size()));
    QCOMPARE(host->calls, QStringList{"CheckParm_RO_NewIsFalse(\"RECHKTRL\")"});
}

void TestChecks::flagsAskedOnlyForDependentIdsInOrder()
{
    ScopedRecordingHost host;
    host->parameters.insert(QStringLiteral("TORVELIN"), true);
    TDMOrdovant dm;
    dm.GetMoeglicheGV();
    QCOMPARE(host->callNames(), (QStringList{"CheckParm_RO_NewIsFalse", "TSimpleMask.Create",
                                             "QVXInfoTerminalID", "TSimpleMask.ReadLocalDef"}));
    QCOMPARE(host->calls.front(), QStringLiteral("CheckParm_RO_NewIsFalse(\"TORVELIN\")"));
}

void TestChecks::countsWorkOutTheSetsOnce()
{
    ScopedRecordingHost host;
    host->parameters.insert(QStringLiteral("TORVELIN"), true);
    TDMOrdovant dm;

    QCOMPARE(dm.GetMoeglicheGVCount(), 7);
    QCOMPARE(dm.GetMoeglicheHerkuenfteCount(), 51);
    const QStringList afterFirst = host->calls;
    QCOMPARE(membersOf(dm.GetMoeglicheGV()), (QList<int>{1, 2, 3, 4, 6, 7, 8}));
    QCOMPARE(membersOf(dm.GetMoeglicheHerkuenfte()).size(), 51);
    QCOMPARE(dm.GetMoeglicheGVCount(), 7);
    QCOMPARE(dm.GetMoeglicheHerkuenfteCount(), 51);
    QCOMPARE(host->calls, afterFirst);
    QCOMPARE(host->count(QStringLiteral("CheckParm_RO_NewIsFalse")), 2);
}

void TestChecks::setsAreCopies()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TQVX_Herkunftskennzeichen_Set herkuenfte = dm.GetMoeglicheHerkuenfte();
    herkuenfte.exclude(1);
    herkuenfte.include(51);
    TQVX_Aufgabe_Geschaeftsvorfall_Set gv = dm.GetMoeglicheGV();
    gv.exclude(3);
    gv.include(0);
    QVERIFY(dm.GetMoeglicheHerkuenfte().contains(1));
    QVERIFY(!dm.GetMoeglicheHerkuenfte().contains(51));
    QVERIFY(dm.GetMoeglicheGV().contains(3));
    QVERIFY(!dm.GetMoeglicheGV().contains(0));
}

// A member outside a set is in no set: adding or removing it leaves every member as it was.
void TestChecks::memberOutsideSetChangesNothing_data()
{
    QTest::addColumn<int>("gvMember");
    QTest::addColumn<int>("herkunftMember");
    QTest::newRow("negative") << -1 << -1;
    QTest::newRow("lowest int") << std::numeric_limits<int>::min() << std::numeric_limits<int>::min();
    QTest::newRow("first beyond the set") << 16 << 56;
    QTest::newRow("far beyond") << 1000 << 1000;
}

void TestChecks::memberOutsideSetChangesNothing()
{
    QFETCH(int, gvMember);
    QFETCH(int, herkunftMember);
    TQVX_Aufgabe_Geschaeftsvorfall_Set gv;
    gv.include(0);
    gv.include(15);
    TQVX_Herkunftskennzeichen_Set herkuenfte;
    herkuenfte.include(0);
    herkuenfte.include(55);
    const auto gvBefore = gv;
    const auto herkuenfteBefore = herkuenfte;
    gv.include(gvMember);
    herkuenfte.include(herkunftMember);
    QVERIFY(gv == gvBefore);
    QVERIFY(herkuenfte == herkuenfteBefore);
    QVERIFY(!gv.contains(gvMember));
    QVERIFY(!herkuenfte.contains(herkunftMember));
    gv.exclude(gvMember);
    herkuenfte.exclude(herkunftMember);
    QCOMPARE(membersOf(gv), QList<int>({0, 15}));
    QCOMPARE(membersOf(herkuenfte), QList<int>({0, 55}));
}

void TestChecks::failingFlagMakesDependentIdsImpossible()
{
    ScopedRecordingHost host;
    host->parameters.insert(QStringLiteral("TORVELIN"), true);
    host->failOn(QStringLiteral("CheckParm_RO_NewIsFalse"));
    TDMOrdovant dm;
    QCOMPARE(membersOf(dm.GetMoeglicheGV()), (QList<int>{3, 4, 6, 7, 8}));
    QCOMPARE(dm.GetMoeglicheGVCount(), 5);
    // Asked at id 1 and again at id 2, since a failed answer is not kept.
    QCOMPARE(host->reportLabels(), (QStringList{"TDMOrdovant.GetTorvelinDa", "TDMOrdovant.GetTorvelinDa"}));

    host->succeedAgain(QStringLiteral("CheckParm_RO_NewIsFalse"));
    QCOMPARE(membersOf(dm.GetMoeglicheGV()), (QList<int>{3, 4, 6, 7, 8}));
}

// --- Sort-out task check ---

void TestChecks::detailedRun_data()
{
    QTest::addColumn<bool>("torvelin");
    QTest::newRow("with branch program") << true;
    QTest::newRow("without branch program") << false;
}

void TestChecks::detailedRun()
{
    QFETCH(bool, torvelin);
    ScopedRecordingHost host;
    host->parameters.insert(QStringLiteral("TORVELIN"), torvelin);
    host->detailTotal = 5;
    host->gvCounts = sampleGV();
    host->herkunftCounts = sampleHerkunft();
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QStringList expected = filialeCalls;
    expected << QStringLiteral("TWarenabgabeMani.Create")
             << QStringLiteral("CheckParm_RO_NewIsFalse(\"TORVELIN\")")
             << QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert(42, %1, -1)")
                    .arg(torvelin ? "false" : "true")
             << QStringLiteral("TWarenabgabeMani.Free") << printCalls;
    QCOMPARE(host->calls, expected);
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbsort);
    QCOMPARE(dm.GetAnzAufgaben(), 5);
    QCOMPARE(dm.GetAnzNachGV(), sampleGV());
    QCOMPARE(dm.GetAnzNachHerkunft(), sampleHerkunft());
    QVERIFY(host->reports.isEmpty());
}

void TestChecks::existenceRun_data()
{
    QTest::addColumn<bool>("tasksExist");
    QTest::newRow("tasks") << true;
    QTest::newRow("no tasks") << false;
}

void TestChecks::existenceRun()
{
    QFETCH(bool, tasksExist);
    ScopedRecordingHost host;
    TDMOrdovant dm;
    runDetailed(*host, dm);
    host->tasksExist = tasksExist;
    host->gvCounts = {};
    host->herkunftCounts = {};

    QCOMPARE(dm.ExistAbsortierAufgaben(false), tasksExist);
    QStringList expected = filialeCalls;
    expected << QStringLiteral("TQVX_AufgabenMani.Create")
             << QStringLiteral("TQVX_AufgabenMani.AufgabenVorhanden(42, 4, false)")
             << QStringLiteral("TQVX_AufgabenMani.Free");
    if (tasksExist)
        expected << printCalls;
    QCOMPARE(host->calls, expected);
    QCOMPARE(dm.GetAnzAufgaben(), tasksExist ? 1 : 0);
    QCOMPARE(dm.GetAnzNachGV(), sampleGV());
    QCOMPARE(dm.GetAnzNachHerkunft(), sampleHerkunft());
}

void TestChecks::totalOfZeroOrLessMeansNoTasks_data()
{
    QTest::addColumn<int>("total");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -3;
}

void TestChecks::totalOfZeroOrLessMeansNoTasks()
{
    QFETCH(int, total);
    ScopedRecordingHost host;
    host->detailTotal = total;
    host->gvCounts = sampleGV();
    host->herkunftCounts = sampleHerkunft();
    TDMOrdovant dm;

    QVERIFY(!dm.ExistAbsortierAufgaben(true));
    QCOMPARE(dm.GetAnzAufgaben(), total);
    QCOMPARE(dm.GetAnzNachGV(), sampleGV());
    QCOMPARE(dm.GetAnzNachHerkunft(), sampleHerkunft());
    QCOMPARE(host->count(QStringLiteral("TAppExec.Create")), 0);
    QVERIFY(host->started.isEmpty());
}

void TestChecks::failingQueryKeepsCounters_data()
{
    QTest::addColumn<bool>("detailed");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QString>("component");
    QTest::newRow("detailed count") << true
                                    << QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert")
                                    << QStringLiteral("TWarenabgabeMani");
    QTest::newRow("existence query") << false << QStringLiteral("TQVX_AufgabenMani.AufgabenVorhanden")
                                     << QStringLiteral("TQVX_AufgabenMani");
}

void TestChecks::failingQueryKeepsCounters()
{
    QFETCH(bool, detailed);
    QFETCH(QString, failing);
    QFETCH(QString, component);
    ScopedRecordingHost host;
    TDMOrdovant dm;
    runDetailed(*host, dm);
    host->detailTotal = 9;
    host->gvCounts = {};
    host->herkunftCounts = {};
    host->tasksExist = true;
    host->failOn(failing);

    QVERIFY(!dm.ExistAbsortierAufgaben(detailed));
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.ExistAbsortierAufgaben"});
    QVERIFY(host->reports.front().report);
    // Created once, freed once, and freed before the report.
    QStringList after;
    for (const QString &call : callsAfterFiliale(*host))
        after << RecordingHost::nameOf(call);
    QCOMPARE(after,
             (QStringList{component + QStringLiteral(".Create"), failing, component + QStringLiteral(".Free"),
                          QStringLiteral("QVXInfo.RegisterException")}));
    QCOMPARE(dm.GetAnzAufgaben(), 5);
    QCOMPARE(dm.GetAnzNachGV(), sampleGV());
    QCOMPARE(dm.GetAnzNachHerkunft(), sampleHerkunft());
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbsort);
    QVERIFY(host->started.isEmpty());
}

void TestChecks::failingBranchProgramFlagCountsWithoutProgram()
{
    ScopedRecordingHost host;
    host->parameters.insert(QStringLiteral("TORVELIN"), true);
    host->detailTotal = 2;
    host->failOn(QStringLiteral("CheckParm_RO_NewIsFalse"));
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.GetTorvelinDa"});
    QCOMPARE(host->callsNamed(QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert")),
             QStringList{"TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert(42, true, -1)"});
    QCOMPARE(dm.GetAnzAufgaben(), 2);
}

void TestChecks::gettersHandOutCopies()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    runDetailed(*host, dm);
    TQVX_Aufgabe_GV_Integer_Array gv = dm.GetAnzNachGV();
    TQVX_Herkunfts_Integer_Array herkunft = dm.GetAnzNachHerkunft();
    gv.fill(-1);
    herkunft.fill(-1);
    QCOMPARE(dm.GetAnzNachGV(), sampleGV());
    QCOMPARE(dm.GetAnzNachHerkunft(), sampleHerkunft());
}

void TestChecks::everyRunWithTasksPrintsAgain()
{
    ScopedRecordingHost host;
    host->detailTotal = 2;
    TDMOrdovant dm;
    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(host->started.size(), 2);
    QCOMPARE(host->count(QStringLiteral("TAppExec.Create")), 2);
    QCOMPARE(host->count(QStringLiteral("TAppExec.Free")), 2);
}

// --- Automatic task printing ---

void TestChecks::switchKD_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("printed");
    QTest::newRow("no switch") << QStringList{"ordovant"} << true;
    QTest::newRow("-KD") << QStringList{"ordovant", "-KD"} << false;
    QTest::newRow("/kd") << QStringList{"ordovant", "/kd"} << false;
    QTest::newRow("-kD among others") << QStringList{"ordovant", "-E", "-kD"} << false;
    QTest::newRow("/Kd") << QStringList{"ordovant", "/Kd"} << false;
    QTest::newRow("KD without dash") << QStringList{"ordovant", "KD"} << true;
    QTest::newRow("-KDX") << QStringList{"ordovant", "-KDX"} << true;
    QTest::newRow("-K") << QStringList{"ordovant", "-K"} << true;
    QTest::newRow("--KD") << QStringList{"ordovant", "--KD"} << true;
    QTest::newRow("program name is no switch") << QStringList{"-KD"} << true;
}

void TestChecks::switchKD()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, printed);
    ScopedRecordingHost host;
    host->arguments = arguments;
    host->detailTotal = 1;
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(host->started.size(), printed ? 1 : 0);
    QCOMPARE(host->count(QStringLiteral("TAppExec.Create")), printed ? 1 : 0);
    if (printed) {
        const AppExecRequest &start = host->started.front();
        QCOMPARE(start.exePath, QStringLiteral("/opt/torvelin"));
        QCOMPARE(start.exeName, QStringLiteral("torvelin.exe"));
        QCOMPARE(start.parameters, QStringList{"-AutoAufgDruck"});
        QCOMPARE(start.wait, false);
        QCOMPARE(start.windowState, TWindowState::Normal);
    }
    QVERIFY(host->reports.isEmpty());
}

void TestChecks::failedPrintStartKeepsResult_data()
{
    QTest::addColumn<QString>("failing");
    QTest::addColumn<bool>("launcherCreated");
    QTest::newRow("directory lookup") << QStringLiteral("GetDirWwsByName") << true;
    QTest::newRow("start") << QStringLiteral("TAppExec.Execute") << true;
    QTest::newRow("launcher") << QStringLiteral("TAppExec.Create") << false;
}

void TestChecks::failedPrintStartKeepsResult()
{
    QFETCH(QString, failing);
    QFETCH(bool, launcherCreated);
    ScopedRecordingHost host;
    host->detailTotal = 4;
    host->failOn(failing);
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbsortierAufgaben(true));
    QCOMPARE(dm.GetAnzAufgaben(), 4);
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.AutoAufgabenDrucken"});
    QVERIFY(host->reports.front().report);
    QVERIFY(host->started.isEmpty());
    QCOMPARE(host->count(QStringLiteral("TAppExec.Free")), launcherCreated ? 1 : 0);
    if (launcherCreated)
        QVERIFY(freedBeforeReport(*host, QStringLiteral("TAppExec")));
    QCOMPARE(host->count(QStringLiteral("TAppExec.Execute")), failing == u"TAppExec.Execute" ? 1 : 0);
}

// --- Expired reservations check ---

void TestChecks::expiredCallsInOrder()
{
    ScopedRecordingHost host;
    host->expiredRows = {false, true, true};
    TDMOrdovant dm;

    QVERIFY(dm.ExistAbgelaufeneBelege());
    QStringList expected{QStringLiteral("BA_Filter_Clear")};
    expected << filialeCalls
             << QStringList{"TQVX_BelegAuswahlDM.Create",
                            "TQVX_BelegAuswahlDM.BelegeListe_Laden",
                            "TQVX_BelegAuswahlDM.Ablaufdatum_Nachladen",
                            "TQVX_BelegAuswahlDM.BelegeListe_Get",
                            "TVRList.GetRowCount",
                            "TQVX_BelegAuswahlDM.BelegeListe_Get",
                            "TVRList.GetCellValueAsBoolean(0, 8)",
                            "TQVX_BelegAuswahlDM.BelegeListe_Get",
                            "TVRList.GetCellValueAsBoolean(1, 8)",
                            "TQVX_BelegAuswahlDM.Free"};
    QCOMPARE(host->calls, expected);
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbgelaufen);
    QVERIFY(host->reports.isEmpty());
}

void TestChecks::expiredFilterHoldsExactlyWhatWasSet()
{
    ScopedRecordingHost host;
    host->filialeText = QStringLiteral("513");
    TDMOrdovant dm;
    QVERIFY(!dm.ExistAbgelaufeneBelege());
    QVERIFY(host->loadedFilter.has_value());

    const TQVX_BA_Filter &filter = *host->loadedFilter;
    const QByteArray raw(reinterpret_cast<const char *>(&filter), 56);
    QCOMPARE(raw.left(5).toHex(), QByteArray("0000000003"));
    QCOMPARE(quint8(raw.at(5)), quint8(0x5A));
    QCOMPARE(filter.Filiale, qint16(513));
    QCOMPARE(raw.mid(8, 32), QByteArray(32, char(0x5A)));
    QCOMPARE(raw.mid(40, 16), QByteArray(16, char(0)));
    QVERIFY(filter.Belegarten.contains(32));
    QVERIFY(filter.Belegarten.contains(33));
    QCOMPARE(filter.Belegarten.count(), 2);
}

void TestChecks::expiredRows_data()
{
    QTest::addColumn<QVector<bool>>("rows");
    QTest::addColumn<bool>("expired");
    QTest::addColumn<int>("cellsRead");
    QTest::newRow("no documents") << QVector<bool>{} << false << 0;
    QTest::newRow("first expired") << QVector<bool>{true, false, true} << true << 1;
    QTest::newRow("only last expired") << QVector<bool>{false, false, true} << true << 3;
    QTest::newRow("none expired") << QVector<bool>{false, false} << false << 2;
}

void TestChecks::expiredRows()
{
    QFETCH(QVector<bool>, rows);
    QFETCH(bool, expired);
    QFETCH(int, cellsRead);
    ScopedRecordingHost host;
    host->expiredRows = rows;
    TDMOrdovant dm;

    QCOMPARE(dm.ExistAbgelaufeneBelege(), expired);
    QCOMPARE(host->count(QStringLiteral("TVRList.GetRowCount")), 1);
    QStringList expectedCells;
    for (int row = 0; row < cellsRead; ++row)
        expectedCells << QStringLiteral("TVRList.GetCellValueAsBoolean(%1, 8)").arg(row);
    QCOMPARE(host->callsNamed(QStringLiteral("TVRList.GetCellValueAsBoolean")), expectedCells);
    QCOMPARE(host->calls.back(), QStringLiteral("TQVX_BelegAuswahlDM.Free"));
    QCOMPARE(host->count(QStringLiteral("TQVX_BelegAuswahlDM.Free")), 1);
}

void TestChecks::expiredFailureFreesSelection_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("load") << QStringLiteral("TQVX_BelegAuswahlDM.BelegeListe_Laden");
    QTest::newRow("expiry dates") << QStringLiteral("TQVX_BelegAuswahlDM.Ablaufdatum_Nachladen");
    QTest::newRow("list") << QStringLiteral("TQVX_BelegAuswahlDM.BelegeListe_Get");
    QTest::newRow("row count") << QStringLiteral("TVRList.GetRowCount");
    QTest::newRow("cell") << QStringLiteral("TVRList.GetCellValueAsBoolean");
}

void TestChecks::expiredFailureFreesSelection()
{
    QFETCH(QString, failing);
    ScopedRecordingHost host;
    host->expiredRows = {true};
    host->failOn(failing);
    TDMOrdovant dm;

    QVERIFY(!dm.ExistAbgelaufeneBelege());
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.ExistAbgelaufeneBelege"});
    QVERIFY(host->reports.front().report);
    QCOMPARE(host->count(QStringLiteral("TQVX_BelegAuswahlDM.Create")), 1);
    QCOMPARE(host->count(QStringLiteral("TQVX_BelegAuswahlDM.Free")), 1);
    QVERIFY(freedBeforeReport(*host, QStringLiteral("TQVX_BelegAuswahlDM")));
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbgelaufen);
}

void TestChecks::checksLeaveEachOthersStateAlone()
{
    ScopedRecordingHost host;
    host->expiredRows = {true};
    TDMOrdovant dm;
    runDetailed(*host, dm);

    QVERIFY(dm.ExistAbgelaufeneBelege());
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbgelaufen);
    QCOMPARE(dm.GetAnzAufgaben(), 5);
    QCOMPARE(dm.GetAnzNachGV(), sampleGV());
    QCOMPARE(dm.GetAnzNachHerkunft(), sampleHerkunft());
    QCOMPARE(host->count(QStringLiteral("TAppExec.Create")), 0);
    QCOMPARE(host->count(QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert")), 0);

    host->clearRecord();
    host->detailTotal = 0;
    QVERIFY(!dm.ExistAbsortierAufgaben(true));
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbsort);
    QCOMPARE(host->count(QStringLiteral("BA_Filter_Clear")), 0);
    QCOMPARE(host->count(QStringLiteral("TQVX_BelegAuswahlDM.Create")), 0);
}

QTEST_MAIN(TestChecks)

#include "tst_checks.moc"
