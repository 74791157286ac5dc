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
    void startDispatch_data();
    void startDispatch();
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

void TestEntry::startDispatch_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("detailTotal");
    QTest::addColumn<bool>("tasksExist");
    QTest::addColumn<QVector<bool>>("expiredRows");
    QTest::addColumn<QString>("window"); // the main window's object name; empty: none
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("expiredMode");

    const QString detail = QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert");
    const QString existence = QStringLiteral("TQVX_AufgabenMani.AufgabenVorhanden");
    const QStringList expired{"TQVX_BelegAuswahlDM.Create", "TQVX_BelegAuswahlDM.BelegeListe_Laden"};
    const QStringList none;
    // clang-format off
    QTest::newRow("no switch, no task") << QStringList{"ordovant"} << 0 << false << QVector<bool>{}
                                        << "" << QStringList{detail} << false;
    QTest::newRow("no switch, tasks: the notice") << QStringList{"ordovant"} << 3 << false << QVector<bool>{}
                                                  << "InfoboxFrm" << QStringList{detail} << false;
    QTest::newRow("-E: existence") << QStringList{"ordovant", "-E"} << 0 << true << QVector<bool>{}
                                   << "InfoboxFrm" << QStringList{existence} << false;
    QTest::newRow("/e: existence") << QStringList{"ordovant", "/e"} << 0 << true << QVector<bool>{}
                                   << "InfoboxFrm" << QStringList{existence} << false;
    QTest::newRow("A wins over O, A first") << QStringList{"ordovant", "-A", "-O"} << 0 << false
                                            << QVector<bool>{false, true} << "InfoboxFrm" << expired << true;
    QTest::newRow("A wins over O, O first") << QStringList{"ordovant", "/o", "/a"} << 0 << false
                                            << QVector<bool>{false, true} << "InfoboxFrm" << expired << true;
    QTest::newRow("-a, nothing expired") << QStringList{"ordovant", "-a"} << 5 << false
                                         << QVector<bool>{false, false} << "" << expired << true;
    QTest::newRow("/o: options, no check") << QStringList{"ordovant", "/o"} << 5 << false << QVector<bool>{true}
                                           << "frmOptionen" << none << false;
    QTest::newRow("bare letters are no switches") << QStringList{"ordovant", "A", "O"} << 0 << false
                                                  << QVector<bool>{} << "" << QStringList{detail} << false;
    // clang-format on
}

void TestEntry::startDispatch()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, detailTotal);
    QFETCH(bool, tasksExist);
    QFETCH(QVector<bool>, expiredRows);
    QFETCH(QString, window);
    QFETCH(QStringList, asked);
    QFETCH(bool, expiredMode);
    ScopedRecordingHost host;
    host->arguments = arguments;
    host->detailTotal = detailTotal;
    host->tasksExist = tasksExist;
    host->expiredRows = expiredRows;
    OrdovantStart start = startOrdovant();

    const QStringList checks{"TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert",
                             "TQVX_AufgabenMani.AufgabenVorhanden", "TQVX_BelegAuswahlDM.Create",
                             "TQVX_BelegAuswahlDM.BelegeListe_Laden"};
    QStringList calls = host->callNames();
    calls.removeIf([&](const QString &call) { return !checks.contains(call); });
    QCOMPARE(calls, asked);
    QCOMPARE(start.mainWindow ? start.mainWindow->objectName() : QString(), window);
    if (window == u"InfoboxFrm")
        QCOMPARE(InfoboxFrm, start.mainWindow.get());
    if (window == u"frmOptionen") {
        QCOMPARE(frmOptionen, start.mainWindow.get());
        // The options dialog makes none of the business components.
        QCOMPARE(host->count("TWarenabgabeMani.Create") + host->count("TQVX_AufgabenMani.Create"), 0);
    }
    QCOMPARE(start.dataModule->Modus(),
             expiredMode ? TMERU_CheckModus::cmAbgelaufen : TMERU_CheckModus::cmAbsort);
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
