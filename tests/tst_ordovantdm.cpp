#include "check/ordovantdm.h"
#include "support/recordinghost.h"

#include <QListWidget>
#include <QTest>

#include <memory>

namespace {

const QString createStore =
    QStringLiteral("TSimpleMask.Create(\"ORDOVANT\", \"DM\", \"\", false, true, null, \"\", \"\")");
const QString rekeyStore =
    QStringLiteral("TSimpleMask.ChangeKeyValues(\"ORDOVANT\", \"DM\", \"\", false, true, \"\", \"\")");
const QString fehlerRaise =
    QStringLiteral("QVXInfo.FehlerRaise(\"TDMOrdovant.DataModuleDestroy\", 0, \"\", \"\", 0, 0)");
const QString fehlerTerminate =
    QStringLiteral("QVXInfo.FehlerTerminate(\"TDMOrdovant.DataModuleDestroy\", 0, \"\", \"\", 0, 0)");

QString readCall(const QString &key, const QString &defaultValue)
{
    return QStringLiteral("TSimpleMask.ReadLocalDef(\"%1\", \"%2\")").arg(key, defaultValue);
}

QString writeCall(const QString &key, const QString &value)
{
    return QStringLiteral("TSimpleMask.WriteLocal(\"%1\", \"%2\")").arg(key, value);
}

// A check list as the options dialog fills it: text, attached code, check state.
void addItem(QListWidget &list, const QVariant &code, bool checked)
{
    auto *item = new QListWidgetItem(QStringLiteral("Eintrag"), &list);
    item->setData(Qt::UserRole, code);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(checked ? Qt::Checked : Qt::Unchecked);
}

} // namespace

class TestOrdovantDM : public QObject
{
    Q_OBJECT

private slots:
    // Lifecycle
    void createsWithStartValuesAndNoHostCall();
    void globalPointsToTheDataModuleWhileItLives();
    void globalOfAnotherDataModuleIsKept();
    void destroyWithoutStoreEscalates_data();
    void destroyWithoutStoreEscalates();
    void destroyFreesStoreBeforeRaising();

    // Settings access
    void defaultsWhenNothingStored_data();
    void defaultsWhenNothingStored();
    void firstAccessCreatesStoreLaterOnesRekey();
    void writeThenReadOnSameTerminal();
    void valueOfOneTerminalIsNotSeenOnAnother();
    void valueSurvivesIntoALaterRun();
    void missingTerminalIdReadsAndWritesNothing_data();
    void missingTerminalIdReadsAndWritesNothing();
    void failedStoreCreationFailsTheAccess();
    void failedRekeyStillReadsFromTheStore();
    void failingReadGivesEmptyTextNotDefault();
    void failingWriteIsReported();

    // Setting values composed from check lists
    void valueOfCheckList_data();
    void valueOfCheckList();
    void nullListGivesNoValue();
};

// --- Lifecycle ---

void TestOrdovantDM::createsWithStartValuesAndNoHostCall()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    QVERIFY(host->calls.isEmpty());
    QCOMPARE(dm.Modus(), TMERU_CheckModus::cmAbsort);
    QCOMPARE(dm.GetAnzAufgaben(), 0);
    QCOMPARE(dm.GetAnzNachGV(), TQVX_Aufgabe_GV_Integer_Array{});
    QCOMPARE(dm.GetAnzNachHerkunft(), TQVX_Herkunfts_Integer_Array{});
    QVERIFY(host->reports.isEmpty());
}

void TestOrdovantDM::globalPointsToTheDataModuleWhileItLives()
{
    ScopedRecordingHost host;
    {
        TDMOrdovant dm;
        QCOMPARE(DMOrdovant, &dm);
    }
    QCOMPARE(DMOrdovant, nullptr);
}

void TestOrdovantDM::globalOfAnotherDataModuleIsKept()
{
    ScopedRecordingHost host;
    auto first = std::make_unique<TDMOrdovant>();
    TDMOrdovant second;
    first.reset();
    QCOMPARE(DMOrdovant, &second);
}

// A destroy without a store raises, which ends the program; when the raise throws, the data module
// terminates the program itself, and registers the failure without a report.
void TestOrdovantDM::destroyWithoutStoreEscalates_data()
{
    const QString registered =
        QStringLiteral("QVXInfo.RegisterException(\"TDMOrdovant.DataModuleDestroy\", false)");
    QTest::addColumn<QStringList>("throwing");
    QTest::addColumn<QStringList>("calls");

    QTest::newRow("raise ends the program") << QStringList() << QStringList{fehlerRaise, fehlerTerminate};
    QTest::newRow("raise throws") << QStringList{"QVXInfo.FehlerRaise"}
                                  << QStringList{fehlerRaise, fehlerTerminate, registered};
    QTest::newRow("terminate throws too") << QStringList{"QVXInfo.FehlerRaise", "QVXInfo.FehlerTerminate"}
                                          << QStringList{fehlerRaise, fehlerTerminate, registered};
}

void TestOrdovantDM::destroyWithoutStoreEscalates()
{
    QFETCH(QStringList, throwing);
    QFETCH(QStringList, calls);
    ScopedRecordingHost host;
    for (const QString &call : throwing)
        host->failOn(call);
    std::make_unique<TDMOrdovant>().reset();
    QCOMPARE(host->calls, calls);
    QCOMPARE(host->reportLabels(),
             throwing.isEmpty() ? QStringList() : QStringList{"TDMOrdovant.DataModuleDestroy"});
    QCOMPARE(DMOrdovant, nullptr);
}

void TestOrdovantDM::destroyFreesStoreBeforeRaising()
{
    ScopedRecordingHost host;
    auto dm = std::make_unique<TDMOrdovant>();
    dm->Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST"));
    dm->Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST"));
    host->clearRecord();
    dm.reset();
    QCOMPARE(host->calls, (QStringList{QStringLiteral("TSimpleMask.Free"), fehlerRaise, fehlerTerminate}));
}

// --- Settings access ---

void TestOrdovantDM::defaultsWhenNothingStored_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("defaultValue");
    QTest::newRow("GV") << QStringLiteral("GV") << QStringLiteral("KUNDBEST");
    QTest::newRow("HERKUNFT") << QStringLiteral("HERKUNFT") << QStringLiteral("O");
    QTest::newRow("WARENANFOEIGFIL") << QStringLiteral("WARENANFOEIGFIL") << QStringLiteral("N");
}

void TestOrdovantDM::defaultsWhenNothingStored()
{
    QFETCH(QString, name);
    QFETCH(QString, defaultValue);
    ScopedRecordingHost host;
    TDMOrdovant dm;
    QCOMPARE(dm.Einstellung_laden(name, defaultValue), defaultValue);
    QCOMPARE(host->calls, (QStringList{createStore, QStringLiteral("QVXInfoTerminalID"),
                                       readCall(name + "07", defaultValue)}));
}

void TestOrdovantDM::firstAccessCreatesStoreLaterOnesRekey()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST"));
    dm.Einstellung_speichern(QStringLiteral("HERKUNFT"), QStringLiteral("O|K"));
    dm.Einstellung_laden(QStringLiteral("HERKUNFT"), QStringLiteral("O"));
    QCOMPARE(host->calls, (QStringList{
                              createStore,
                              "QVXInfoTerminalID",
                              readCall("GV07", "KUNDBEST"),
                              rekeyStore,
                              "QVXInfoTerminalID",
                              writeCall("HERKUNFT07", "O|K"),
                              rekeyStore,
                              "QVXInfoTerminalID",
                              readCall("HERKUNFT07", "O"),
                          }));
    QVERIFY(host->reports.isEmpty());
}

void TestOrdovantDM::writeThenReadOnSameTerminal()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("RESERV|KUNDBEST"));
    QCOMPARE(host->store.value(QStringLiteral("GV07")), QStringLiteral("RESERV|KUNDBEST"));
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")),
             QStringLiteral("RESERV|KUNDBEST"));
}

void TestOrdovantDM::valueOfOneTerminalIsNotSeenOnAnother()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("RESERV"));
    host->terminal = QStringLiteral("12");
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")),
             QStringLiteral("KUNDBEST"));
    QCOMPARE(host->callsNamed(QStringLiteral("TSimpleMask.ReadLocalDef")),
             QStringList{readCall("GV12", "KUNDBEST")});
}

void TestOrdovantDM::valueSurvivesIntoALaterRun()
{
    ScopedRecordingHost host;
    {
        TDMOrdovant first;
        first.Einstellung_speichern(QStringLiteral("HERKUNFT"), QStringLiteral("K|O"));
    }
    TDMOrdovant later;
    QCOMPARE(later.Einstellung_laden(QStringLiteral("HERKUNFT"), QStringLiteral("O")), QStringLiteral("K|O"));
}

void TestOrdovantDM::missingTerminalIdReadsAndWritesNothing_data()
{
    QTest::addColumn<bool>("idFails");
    QTest::newRow("id cannot be obtained") << true;
    QTest::newRow("id is empty") << false;
}

void TestOrdovantDM::missingTerminalIdReadsAndWritesNothing()
{
    QFETCH(bool, idFails);
    ScopedRecordingHost host;
    host->store.insert(QStringLiteral("GV"), QStringLiteral("geteilt"));
    if (idFails)
        host->failOn(QStringLiteral("QVXInfoTerminalID"));
    else
        host->terminal.clear();
    TDMOrdovant dm;

    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")), QString());
    QCOMPARE(host->reportLabels(),
             (QStringList{"TDMOrdovant.SimpleMask_key_Get", "TDMOrdovant.Einstellung_laden"}));

    host->reports.clear();
    dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("RESERV"));
    QCOMPARE(host->reportLabels(),
             (QStringList{"TDMOrdovant.SimpleMask_key_Get", "TDMOrdovant.Einstellung_speichern"}));

    QCOMPARE(host->count(QStringLiteral("TSimpleMask.ReadLocalDef")), 0);
    QCOMPARE(host->count(QStringLiteral("TSimpleMask.WriteLocal")), 0);
    QCOMPARE(host->store, (QMap<QString, QString>{{"GV", "geteilt"}}));
    for (const auto &report : std::as_const(host->reports))
        QVERIFY(report.report);
}

void TestOrdovantDM::failedStoreCreationFailsTheAccess()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("TSimpleMask.Create"));
    TDMOrdovant dm;
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")), QString());
    QCOMPARE(host->reportLabels(),
             (QStringList{"TDMOrdovant.SimpleMask_CiN", "TDMOrdovant.Einstellung_laden"}));

    // The next access tries the creation again.
    host->succeedAgain(QStringLiteral("TSimpleMask.Create"));
    host->clearRecord();
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")),
             QStringLiteral("KUNDBEST"));
    QCOMPARE(host->calls.front(), createStore);
    QVERIFY(host->reports.isEmpty());
}

void TestOrdovantDM::failedRekeyStillReadsFromTheStore()
{
    ScopedRecordingHost host;
    host->store.insert(QStringLiteral("GV07"), QStringLiteral("RESERV"));
    TDMOrdovant dm;
    dm.Einstellung_laden(QStringLiteral("GV"), QString());
    host->failOn(QStringLiteral("TSimpleMask.ChangeKeyValues"));
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QString()), QStringLiteral("RESERV"));
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.SimpleMask_CiN"});
    QCOMPARE(host->count(QStringLiteral("TSimpleMask.Create")), 1);
}

void TestOrdovantDM::failingReadGivesEmptyTextNotDefault()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("TSimpleMask.ReadLocalDef"));
    TDMOrdovant dm;
    QCOMPARE(dm.Einstellung_laden(QStringLiteral("GV"), QStringLiteral("KUNDBEST")), QString());
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.Einstellung_laden"});
    QVERIFY(host->reports.front().report);
}

void TestOrdovantDM::failingWriteIsReported()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("TSimpleMask.WriteLocal"));
    TDMOrdovant dm;
    dm.Einstellung_speichern(QStringLiteral("GV"), QStringLiteral("RESERV"));
    QCOMPARE(host->reportLabels(), QStringList{"TDMOrdovant.Einstellung_speichern"});
    QVERIFY(host->store.isEmpty());
}

// --- Setting values composed from check lists ---

// The value of the types' or the origins' list, from its items' codes and check states; no value and
// a report when an item lacks its code.
void TestOrdovantDM::valueOfCheckList_data()
{
    QTest::addColumn<bool>("origins");
    QTest::addColumn<QVariantList>("codes");
    QTest::addColumn<QList<bool>>("checked");
    QTest::addColumn<std::optional<QString>>("value");

    QTest::newRow("types: checked codes in list order")
        << false << QVariantList{"RESERV", "FILUML", "KUNDBEST", "ABSCHR"}
        << QList<bool>{true, false, true, true}
        << std::optional<QString>(QStringLiteral("RESERV|KUNDBEST|ABSCHR"));
    QTest::newRow("types: nothing checked")
        << false << QVariantList{"RESERV"} << QList<bool>{false} << std::optional<QString>(QString());
    QTest::newRow("types: codes quoted that need it")
        << false << QVariantList{"A B", "C"} << QList<bool>{true, true}
        << std::optional<QString>(QStringLiteral("\"A B\"|C"));
    QTest::newRow("origins: empty list")
        << true << QVariantList() << QList<bool>() << std::optional<QString>(QString());
    QTest::newRow("origins: first character of each code")
        << true << QVariantList{QChar(u'O'), QChar(u'K'), "Wx", QChar(u'|')}
        << QList<bool>{true, false, true, true} << std::optional<QString>(QStringLiteral("O|W|\"|\""));
    QTest::newRow("origins: an item without code") << true << QVariantList{QChar(u'O'), QVariant()}
                                                   << QList<bool>{true, true} << std::optional<QString>();
}

void TestOrdovantDM::valueOfCheckList()
{
    QFETCH(bool, origins);
    QFETCH(QVariantList, codes);
    QFETCH(QList<bool>, checked);
    QFETCH(std::optional<QString>, value);

    ScopedRecordingHost host;
    TDMOrdovant dm;
    QListWidget list;
    for (qsizetype i = 0; i < codes.size(); ++i)
        addItem(list, codes.at(i), checked.at(i));
    QCOMPARE(origins ? dm.Herkunft_Konfigurationen_2_String(&list) : dm.GV_Konfigurationen_2_String(&list),
             value);
    const QString label = origins ? QStringLiteral("TDMOrdovant.Herkunft_Konfigurationen_2_String")
                                  : QStringLiteral("TDMOrdovant.GV_Konfigurationen_2_String");
    QCOMPARE(host->reportLabels(), value ? QStringList() : QStringList{label});
}

void TestOrdovantDM::nullListGivesNoValue()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    QCOMPARE(dm.GV_Konfigurationen_2_String(nullptr), std::nullopt);
    QCOMPARE(dm.Herkunft_Konfigurationen_2_String(nullptr), std::nullopt);
    QCOMPARE(host->reportLabels(), (QStringList{"TDMOrdovant.GV_Konfigurationen_2_String",
                                                "TDMOrdovant.Herkunft_Konfigurationen_2_String"}));
}

QTEST_MAIN(TestOrdovantDM)

#include "tst_ordovantdm.moc"
