#include "app/ordovant.h"
#include "check/ordovantdm.h"
#include "host/hostfunctions.h"
#include "support/recordinghost.h"
#include "ui/infobox.h"
#include "ui/optionenfrm.h"

#include <QApplication>
#include <QtTest>

class TestEntry : public QObject
{
    Q_OBJECT

private slots:
    void switchRule_data();
    void switchRule();
    void switchPositionDoesNotMatter();

    void initialisesFrameThenCreatesDataModule();
    void noArgumentsCountsInDetailAndShowsNothingWithoutTasks();
    void tasksFoundMakeTheNoticeTheMainWindow();
    void switchEUsesTheExistenceTest_data();
    void switchEUsesTheExistenceTest();
    void switchAWinsOverO_data();
    void switchAWinsOverO();
    void switchAWithoutExpiredDocumentsShowsNothing();
    void switchOOpensOptionsWithoutAnyCheck();
    void bareLetterIsNoSwitch();
    void failingInitIsShownAndNothingIsCreated();
    void dataModuleLivesUntilTheStartEnds();
};

void TestEntry::switchRule_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("switchName");
    QTest::addColumn<bool>("matches");

    QTest::newRow("dash upper") << "-A"
                                << "A" << true;
    QTest::newRow("dash lower") << "-a"
                                << "A" << true;
    QTest::newRow("slash upper") << "/A"
                                 << "A" << true;
    QTest::newRow("slash lower") << "/a"
                                 << "A" << true;
    QTest::newRow("dash and more letters") << "-AB"
                                           << "A" << false;
    QTest::newRow("bare letter") << "A"
                                 << "A" << false;
    QTest::newRow("two dashes") << "--A"
                                << "A" << false;
    QTest::newRow("prefix alone") << "-"
                                  << "A" << false;
    QTest::newRow("empty argument") << ""
                                    << "A" << false;
    QTest::newRow("two-letter switch mixed case") << "/kD"
                                                  << "KD" << true;
    QTest::newRow("two-letter switch cut short") << "-K"
                                                 << "KD" << false;
    QTest::newRow("two-letter switch with more") << "-KDX"
                                                 << "KD" << false;
    QTest::newRow("blank after prefix") << "- A"
                                        << "A" << false;
    QTest::newRow("umlaut is no letter A") << QString::fromUtf8("-Ä") << "A" << false;
    QTest::newRow("Kelvin sign is no K") << QString::fromUtf8("-\u212AD") << "KD" << false;
    QTest::newRow("dotless i is no I") << QString::fromUtf8("-\u0131") << "I" << false;
}

void TestEntry::switchRule()
{
    QFETCH(QString, argument);
    QFETCH(QString, switchName);
    QFETCH(bool, matches);
    QCOMPARE(matchesCmdLineSwitch(argument, switchName), matches);
}

void TestEntry::switchPositionDoesNotMatter()
{
    ScopedRecordingHost host;
    host->arguments = {"ordovant", "irgendwas", "-x", "/e"};
    QVERIFY(FindCmdLineSwitch(QStringLiteral("E")));
    // The program name is not an argument, even when it looks like a switch.
    host->arguments = {"/E"};
    QVERIFY(!FindCmdLineSwitch(QStringLiteral("E")));
}

void TestEntry::initialisesFrameThenCreatesDataModule()
{
    ScopedRecordingHost host;
    OrdovantStart start = startOrdovant();

    QCOMPARE(host->calls.value(0), QStringLiteral("QVXProgramm.Init(\"ORDOVANT\", 3, 0, 0, true)"));
    QVERIFY(start.dataModule);
    QCOMPARE(DMOrdovant, start.dataModule.get());
}

void TestEntry::noArgumentsCountsInDetailAndShowsNothingWithoutTasks()
{
    ScopedRecordingHost host;
    OrdovantStart start = startOrdovant();

    QCOMPARE(host->count("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert"), 1);
    QCOMPARE(host->count("TQVX_AufgabenMani.AufgabenVorhanden"), 0);
    QVERIFY(!start.mainWindow);
}

void TestEntry::tasksFoundMakeTheNoticeTheMainWindow()
{
    ScopedRecordingHost host;
    host->detailTotal = 3;
    OrdovantStart start = startOrdovant();

    QVERIFY(qobject_cast<TInfoboxFrm *>(start.mainWindow.get()));
    QCOMPARE(InfoboxFrm, start.mainWindow.get());
}

void TestEntry::switchEUsesTheExistenceTest_data()
{
    QTest::addColumn<QString>("argument");
    QTest::newRow("dash upper") << "-E";
    QTest::newRow("slash lower") << "/e";
}

void TestEntry::switchEUsesTheExistenceTest()
{
    QFETCH(QString, argument);
    ScopedRecordingHost host;
    host->arguments = {"ordovant", argument};
    host->tasksExist = true;
    OrdovantStart start = startOrdovant();

    QCOMPARE(host->count("TQVX_AufgabenMani.AufgabenVorhanden"), 1);
    QCOMPARE(host->count("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert"), 0);
    QVERIFY(qobject_cast<TInfoboxFrm *>(start.mainWindow.get()));
}

void TestEntry::switchAWinsOverO_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("A first") << QStringList{"ordovant", "-A", "-O"};
    QTest::newRow("O first") << QStringList{"ordovant", "/o", "/a"};
}

void TestEntry::switchAWinsOverO()
{
    QFETCH(QStringList, arguments);
    ScopedRecordingHost host;
    host->arguments = arguments;
    host->expiredRows = {false, true};
    OrdovantStart start = startOrdovant();

    QCOMPARE(host->count("TQVX_BelegAuswahlDM.BelegeListe_Laden"), 1);
    QCOMPARE(host->count("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert"), 0);
    QVERIFY(qobject_cast<TInfoboxFrm *>(start.mainWindow.get()));
    QCOMPARE(start.dataModule->Modus(), TMERU_CheckModus::cmAbgelaufen);
}

void TestEntry::switchAWithoutExpiredDocumentsShowsNothing()
{
    ScopedRecordingHost host;
    host->arguments = {"ordovant", "-a"};
    host->expiredRows = {false, false};
    host->detailTotal = 5;
    OrdovantStart start = startOrdovant();

    QVERIFY(!start.mainWindow);
    QCOMPARE(host->count("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert"), 0);
}

void TestEntry::switchOOpensOptionsWithoutAnyCheck()
{
    ScopedRecordingHost host;
    host->arguments = {"ordovant", "/o"};
    host->detailTotal = 5;
    host->expiredRows = {true};
    OrdovantStart start = startOrdovant();

    QVERIFY(qobject_cast<TfrmOptionen *>(start.mainWindow.get()));
    QCOMPARE(frmOptionen, start.mainWindow.get());
    QCOMPARE(start.mainWindow->objectName(), QStringLiteral("frmOptionen"));
    QCOMPARE(host->count("TWarenabgabeMani.Create"), 0);
    QCOMPARE(host->count("TQVX_AufgabenMani.Create"), 0);
    QCOMPARE(host->count("TQVX_BelegAuswahlDM.Create"), 0);
}

void TestEntry::bareLetterIsNoSwitch()
{
    ScopedRecordingHost host;
    host->arguments = {"ordovant", "A", "O"};
    OrdovantStart start = startOrdovant();

    QCOMPARE(host->count("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert"), 1);
    QCOMPARE(host->count("TQVX_BelegAuswahlDM.Create"), 0);
    QVERIFY(!start.mainWindow);
}

void TestEntry::failingInitIsShownAndNothingIsCreated()
{
    ScopedRecordingHost host;
    host->failOn("QVXProgramm.Init");
    host->detailTotal = 5;
    OrdovantStart start = startOrdovant();

    QCOMPARE(host->count("QVXProgramm.ShowException"), 1);
    QVERIFY(host->callsNamed("QVXProgramm.ShowException").first().endsWith(", false)"));
    QVERIFY(!start.dataModule);
    QVERIFY(!start.mainWindow);
    QCOMPARE(host->count("TWarenabgabeMani.Create"), 0);
}

void TestEntry::dataModuleLivesUntilTheStartEnds()
{
    ScopedRecordingHost host;
    host->detailTotal = 2;
    {
        OrdovantStart start = startOrdovant();
        QVERIFY(DMOrdovant);
        start.mainWindow.reset();
        QVERIFY(!InfoboxFrm);
        QVERIFY(DMOrdovant);
    }
    QVERIFY(!DMOrdovant);
    QCOMPARE(host->callNames().mid(host->calls.size() - 2),
             QStringList({"QVXInfo.FehlerRaise", "QVXInfo.FehlerTerminate"}));
}

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
