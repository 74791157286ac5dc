#include "check/ordovantdm.h"
#include "support/recordinghost.h"
#include "ui/infobox.h"

#include <QLabel>
#include <QMap>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

const QString crlf = QStringLiteral("\r\n");
const QString firstLine = QStringLiteral("Es liegen Absortieraufgaben für diese Filiale vor.");
const QString question = QStringLiteral("Möchten Sie diese sofort erledigen?");
// A setting value that makes the test leave the setting unstored.
const QString notStored = QStringLiteral("<nicht gespeichert>");

using Counts = QMap<int, int>;

// The sort-out notice with the given list lines; an empty line stands before the question only
// when there is a list line.
QString expectedNotice(const QStringList &lines)
{
    if (lines.isEmpty())
        return firstLine + crlf + question;
    return firstLine + crlf + lines.join(crlf) + crlf + crlf + question;
}

QLabel *ausgabe(TInfoboxFrm &notice)
{
    return notice.findChild<QLabel *>(QStringLiteral("lblAusgabe"));
}

void store(RecordingHost &host, const QString &name, const QString &value)
{
    if (value != notStored)
        host.store.insert(name + host.terminal, value);
}

void setCounts(RecordingHost &host, const Counts &gv, const Counts &herkunft)
{
    for (auto it = gv.cbegin(); it != gv.cend(); ++it)
        host.gvCounts.at(it.key()) = it.value();
    for (auto it = herkunft.cbegin(); it != herkunft.cend(); ++it)
        host.herkunftCounts.at(it.key()) = it.value();
}

// A branch with open tasks of the given counts, counted in detail, without the automatic printing.
// Change the host before check(); check() runs the start's check and makes the notice anew after it.
struct SortOutBranch
{
    SortOutBranch(const Counts &gv, const Counts &herkunft)
    {
        host->arguments << QStringLiteral("-KD");
        host->detailTotal = 1;
        setCounts(*host, gv, herkunft);
    }

    [[nodiscard]] bool check(bool detailed = true)
    {
        const bool found = dm.ExistAbsortierAufgaben(detailed);
        notice = std::make_unique<TInfoboxFrm>();
        return found;
    }

    ScopedRecordingHost host;
    TDMOrdovant dm;
    std::unique_ptr<TInfoboxFrm> notice;
};

} // namespace

class TestNoticeText : public QObject
{
    Q_OBJECT

private slots:
    // --- The sort-out notice from settings and counts ---
    void sortOutNotice_data();
    void sortOutNotice();
    void fullTextWithBothLines();

    // --- Counts that the check left ---
    void existenceCheckAloneGivesNoLine();
    void existenceCheckKeepsEarlierCounts();

    // --- Each composition starts afresh ---
    void recomposingFollowsTheStoredSetting();

    // --- The line methods ---
    void lineMethodsSetTheFlagOnlyForAnEntry();
    void lineMethodsReplaceTheText();

    // --- Failures ---
    void failingLookupEmptiesOnlyItsLine_data();
    void failingLookupEmptiesOnlyItsLine();
    void failingLineKeepsTheFlag();
    void unreadableSettingGivesNoLine();
    void missingDataModuleIsReported();

    // --- Expired reservations ---
    void expiredNotice();
};

void TestNoticeText::sortOutNotice_data()
{
    QTest::addColumn<QString>("gvSetting");
    QTest::addColumn<QString>("herkunftSetting");
    QTest::addColumn<Counts>("gvCounts");
    QTest::addColumn<Counts>("herkunftCounts");
    QTest::addColumn<bool>("torvelinAndReko");
    QTest::addColumn<QStringList>("lines");

    const Counts none;
    QTest::newRow("nothing counted") << notStored << notStored << none << none << false << QStringList();
    QTest::newRow("defaults KUNDBEST and O")
        << notStored << notStored << Counts{{3, 3}} << Counts{{11, 12}} << false
        << QStringList{"Kundenbestellung: 3", "Kundenauftrag: 12"};
    QTest::newRow("origins only") << notStored << notStored << Counts{{4, 9}} << Counts{{11, 4}} << false
                                  << QStringList{"Kundenauftrag: 4"};
    QTest::newRow("types only") << notStored << notStored << Counts{{3, 2}} << Counts{{1, 5}} << false
                                << QStringList{"Kundenbestellung: 2"};
    QTest::newRow("empty stored values") << ""
                                         << "" << Counts{{3, 3}} << Counts{{11, 4}} << false << QStringList();
    QTest::newRow("stored order") << "RESERV|KUNDBEST"
                                  << "K|O" << Counts{{3, 3}, {4, 12}} << Counts{{1, 1}, {11, 2}} << false
                                  << QStringList{"Reservierung: 12 / Kundenbestellung: 3",
                                                 "Kasse: 1 / Kundenauftrag: 2"};
    QTest::newRow("unknown codes and impossible ids")
        << "XYZ|OHNE|FILUML|HANDLAG|kundbest|KUNDBEST"
        << "-|o|n|?|O" << Counts{{0, 7}, {1, 7}, {3, 7}, {5, 7}} << Counts{{0, 7}, {11, 7}, {50, 7}, {51, 7}}
        << false << QStringList{"Kundenbestellung: 7", "Kundenauftrag: 7"};
    QTest::newRow("branch program and invoice control make more possible")
        << "FILUML|KUNDBEST"
        << "n|o|O" << Counts{{1, 2}, {3, 7}} << Counts{{11, 7}, {50, 3}, {51, 4}} << true
        << QStringList{"Filialumlagerung: 2 / Kundenbestellung: 7",
                       "Rechnungskontrolle: 3 / Kundenauftrag: 7"};
    QTest::newRow("count 0 left out") << "RESERV|KUNDBEST"
                                      << "K|O" << Counts{{3, 5}} << Counts{{1, 6}} << false
                                      << QStringList{"Kundenbestellung: 5", "Kasse: 6"};
    QTest::newRow("negative and large counts")
        << "KUNDBEST|RESERV" << notStored << Counts{{3, -2}, {4, 1234567}} << none << false
        << QStringList{"Kundenbestellung: -2 / Reservierung: 1234567"};
    QTest::newRow("duplicates twice")
        << "KUNDBEST|RESERV|KUNDBEST"
        << "O|O" << Counts{{3, 3}, {4, 5}} << Counts{{11, 2}} << false
        << QStringList{"Kundenbestellung: 3 / Reservierung: 5 / Kundenbestellung: 3",
                       "Kundenauftrag: 2 / Kundenauftrag: 2"};
    QTest::newRow("OX counts as O") << notStored << "OX" << none << Counts{{11, 6}, {19, 9}} << false
                                    << QStringList{"Kundenauftrag: 6"};
    QTest::newRow("empty origin items left out")
        << notStored << "||O|" << none << Counts{{11, 6}} << false << QStringList{"Kundenauftrag: 6"};
    QTest::newRow("blank inside a code splits it") << "KUND BEST"
                                                   << "K O" << Counts{{3, 3}} << Counts{{1, 1}, {11, 2}}
                                                   << false << QStringList{"Kasse: 1 / Kundenauftrag: 2"};
    QTest::newRow("quoted codes") << "\"KUNDBEST\"|\"RESERV\""
                                  << "\"O\"" << Counts{{3, 3}, {4, 4}} << Counts{{11, 1}} << false
                                  << QStringList{"Kundenbestellung: 3 / Reservierung: 4", "Kundenauftrag: 1"};
}

void TestNoticeText::sortOutNotice()
{
    QFETCH(QString, gvSetting);
    QFETCH(QString, herkunftSetting);
    QFETCH(Counts, gvCounts);
    QFETCH(Counts, herkunftCounts);
    QFETCH(bool, torvelinAndReko);
    QFETCH(QStringList, lines);

    SortOutBranch branch(gvCounts, herkunftCounts);
    store(*branch.host, QStringLiteral("GV"), gvSetting);
    store(*branch.host, QStringLiteral("HERKUNFT"), herkunftSetting);
    branch.host->parameters.insert(QStringLiteral("TORVELIN"), torvelinAndReko);
    branch.host->parameters.insert(QStringLiteral("RECHKTRL"), torvelinAndReko);
    QVERIFY(branch.check());

    branch.notice->AusgabeText_Einstellen();

    QCOMPARE(ausgabe(*branch.notice)->text(), expectedNotice(lines));
    QVERIFY(branch.host->reports.isEmpty());
}

void TestNoticeText::fullTextWithBothLines()
{
    SortOutBranch branch({{3, 3}, {4, 12}}, {{11, 1}});
    branch.host->store.insert(QStringLiteral("GV07"), QStringLiteral("KUNDBEST|RESERV"));
    QVERIFY(branch.check());

    branch.notice->AusgabeText_Einstellen();

    QCOMPARE(ausgabe(*branch.notice)->text(),
             QStringLiteral("Es liegen Absortieraufgaben für diese Filiale vor.\r\n"
                            "Kundenbestellung: 3 / Reservierung: 12\r\n"
                            "Kundenauftrag: 1\r\n"
                            "\r\n"
                            "Möchten Sie diese sofort erledigen?"));
    QCOMPARE(branch.notice->windowTitle(), QStringLiteral("Überprüfung Absortieraufgaben"));
    QVERIFY(!branch.notice->findChild<QPushButton *>(QStringLiteral("btnOptionen"))->isHidden());
}

void TestNoticeText::existenceCheckAloneGivesNoLine()
{
    SortOutBranch branch({{3, 3}}, {{11, 4}});
    branch.host->tasksExist = true;
    QVERIFY(branch.check(false));

    branch.notice->AusgabeText_Einstellen();

    QCOMPARE(ausgabe(*branch.notice)->text(), expectedNotice({}));
}

void TestNoticeText::existenceCheckKeepsEarlierCounts()
{
    SortOutBranch branch({{3, 3}}, {{11, 4}});
    branch.host->tasksExist = true;
    QVERIFY(branch.check());
    setCounts(*branch.host, {{3, 30}}, {{11, 40}});
    QVERIFY(branch.check(false));

    branch.notice->AusgabeText_Einstellen();

    QCOMPARE(ausgabe(*branch.notice)->text(), expectedNotice({"Kundenbestellung: 3", "Kundenauftrag: 4"}));
}

void TestNoticeText::recomposingFollowsTheStoredSetting()
{
    SortOutBranch branch({{3, 3}, {4, 5}}, {{11, 4}});
    QVERIFY(branch.check());

    branch.notice->AusgabeText_Einstellen();
    branch.notice->AusgabeText_Einstellen();
    QCOMPARE(ausgabe(*branch.notice)->text(), expectedNotice({"Kundenbestellung: 3", "Kundenauftrag: 4"}));

    branch.host->store.insert(QStringLiteral("GV07"), QStringLiteral("RESERV"));
    branch.host->store.insert(QStringLiteral("HERKUNFT07"), QString());
    branch.notice->AusgabeText_Einstellen();
    QCOMPARE(ausgabe(*branch.notice)->text(), expectedNotice({"Reservierung: 5"}));
}

void TestNoticeText::lineMethodsSetTheFlagOnlyForAnEntry()
{
    SortOutBranch branch({{3, 3}}, {});
    QVERIFY(branch.check());

    bool entries = false;
    QString line;
    branch.notice->AusgabeText_Herkunft_Ermitteln(entries, line);
    QVERIFY(!entries);
    QVERIFY(line.isEmpty());
    branch.notice->AusgabeText_GV_Ermitteln(entries, line);
    QVERIFY(entries);
    QCOMPARE(line, QStringLiteral("Kundenbestellung: 3"));
    // A later line without entries leaves the flag as it was.
    branch.notice->AusgabeText_Herkunft_Ermitteln(entries, line);
    QVERIFY(entries);
    QVERIFY(line.isEmpty());
}

void TestNoticeText::lineMethodsReplaceTheText()
{
    SortOutBranch branch({}, {{1, 2}, {11, 3}});
    branch.host->store.insert(QStringLiteral("HERKUNFT07"), QStringLiteral("K|O"));
    QVERIFY(branch.check());

    bool entries = false;
    QString line = QStringLiteral("alter Text");
    branch.notice->AusgabeText_Herkunft_Ermitteln(entries, line);

    QCOMPARE(line, QStringLiteral("Kasse: 2 / Kundenauftrag: 3"));
}

void TestNoticeText::failingLookupEmptiesOnlyItsLine_data()
{
    QTest::addColumn<QString>("failingCall");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("type lookup") << "Kuerzel_2_TQVX_Aufgabe_Geschaeftsvorfall_Erw"
                                 << "TInfoboxFrm.AusgabeText_GV_Ermitteln" << QStringList{"Kundenauftrag: 4"};
    QTest::newRow("origin lookup") << "Char_2_Herkunftskennzeichen"
                                   << "TInfoboxFrm.AusgabeText_Herkunft_Ermitteln"
                                   << QStringList{"Kundenbestellung: 3"};
}

void TestNoticeText::failingLookupEmptiesOnlyItsLine()
{
    QFETCH(QString, failingCall);
    QFETCH(QString, label);
    QFETCH(QStringList, lines);

    SortOutBranch branch({{3, 3}}, {{11, 4}});
    QVERIFY(branch.check());
    branch.host->failOn(failingCall);

    branch.notice->AusgabeText_Einstellen();

    QCOMPARE(ausgabe(*branch.notice)->text(), expectedNotice(lines));
    QCOMPARE(branch.host->reportLabels(), QStringList{label});
    QVERIFY(branch.host->reports.first().report);
}

void TestNoticeText::failingLineKeepsTheFlag()
{
    SortOutBranch branch({{3, 3}}, {{11, 4}});
    QVERIFY(branch.check());
    branch.host->failOn(QStringLiteral("Char_2_Herkunftskennzeichen"));

    bool entries = true;
    QString line = QStringLiteral("alter Text");
    branch.notice->AusgabeText_Herkunft_Ermitteln(entries, line);
    QVERIFY(entries);
    QVERIFY(line.isEmpty());

    entries = false;
    branch.notice->AusgabeText_Herkunft_Ermitteln(entries, line);
    QVERIFY(!entries);
    QVERIFY(line.isEmpty());
}

void TestNoticeText::unreadableSettingGivesNoLine()
{
    SortOutBranch branch({{3, 3}}, {{11, 4}});
    QVERIFY(branch.check());
    branch.host->clearRecord();
    branch.host->failOn(QStringLiteral("TSimpleMask.ReadLocalDef"));

    branch.notice->AusgabeText_Einstellen();

    // The data module reports the failed reads; for the notice they are settings without items.
    QCOMPARE(ausgabe(*branch.notice)->text(), expectedNotice({}));
    QVERIFY(branch.host->reportLabels().contains(QStringLiteral("TDMOrdovant.Einstellung_laden")));
    QCOMPARE(branch.host->reportLabels().filter(QStringLiteral("TInfoboxFrm.")), QStringList());
}

void TestNoticeText::missingDataModuleIsReported()
{
    ScopedRecordingHost host;
    TInfoboxFrm notice;

    notice.AusgabeText_Einstellen();
    QVERIFY(ausgabe(notice)->text().isEmpty());

    bool entries = false;
    QString line = QStringLiteral("alter Text");
    notice.AusgabeText_GV_Ermitteln(entries, line);
    QVERIFY(line.isEmpty());
    QCOMPARE(host->reportLabels(),
             QStringList({"TInfoboxFrm.AusgabeText_Einstellen", "TInfoboxFrm.AusgabeText_GV_Ermitteln"}));
}

void TestNoticeText::expiredNotice()
{
    ScopedRecordingHost host;
    host->expiredRows = {false, true};
    setCounts(*host, {{3, 3}}, {{11, 4}});
    TDMOrdovant dm;
    QVERIFY(dm.ExistAbgelaufeneBelege());
    TInfoboxFrm notice;
    host->clearRecord();

    notice.AusgabeText_Einstellen();

    QCOMPARE(ausgabe(notice)->text(), QStringLiteral("Es gibt abgelaufene Reservierungen/Auswahlen.\r\n"
                                                     "Möchten Sie diese sofort bearbeiten?"));
    QCOMPARE(notice.windowTitle(), QStringLiteral("Überprüfung abgelaufener Reservierungen/Auswahlen"));
    QVERIFY(notice.findChild<QPushButton *>(QStringLiteral("btnOptionen"))->isHidden());
    // Neither settings nor counts nor the business date are read.
    QCOMPARE(host->count(QStringLiteral("TSimpleMask.ReadLocalDef")), 0);
    QCOMPARE(host->count(QStringLiteral("Kuerzel_2_TQVX_Aufgabe_Geschaeftsvorfall_Erw")), 0);
    QCOMPARE(host->count(QStringLiteral("qvx_Date")), 0);
    QVERIFY(host->reports.isEmpty());
}

QTEST_MAIN(TestNoticeText)
#include "tst_noticetext.moc"
