#include "check/ordovantdm.h"
#include "support/checklisttext.h"
#include "support/recordinghost.h"
#include "ui/optionenfrm.h"

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <QToolButton>

namespace {

using Routine = void (TfrmOptionen::*)(QListWidget *);

Routine routineNamed(const QString &name)
{
    if (name == "Hoch")
        return &TfrmOptionen::Hoch;
    if (name == "Runter")
        return &TfrmOptionen::Runter;
    if (name == "Alle_Checken")
        return &TfrmOptionen::Alle_Checken;
    return &TfrmOptionen::Auswahl_Umkehren;
}

void select(QListWidget &list, int row)
{
    if (row >= 0)
        list.setCurrentRow(row);
}

} // namespace

class TestListEditing : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void routineOnList_data();
    void routineOnList();
    void movedItemTakesItsTextAlong();
    void currentItemWithoutSelectionIsNotMoved();
    void repeatedUpStopsAtTheTop();
    void toggleAfterAllAndToggleTwice();
    void buttonsWorkOnTheirOwnList_data();
    void buttonsWorkOnTheirOwnList();
    void failuresAreReportedUnderTheRoutine_data();
    void failuresAreReportedUnderTheRoutine();
};

void TestListEditing::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestListEditing::routineOnList_data()
{
    QTest::addColumn<QString>("routine");
    QTest::addColumn<QString>("items");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<int>("expectedSelected");

    // clang-format off
    // Edges: nothing changes, the selection stays.
    QTest::newRow("up, first selected") << "Hoch" << "A B+ C" << 0 << "A B+ C" << 0;
    QTest::newRow("up, nothing selected") << "Hoch" << "A B+ C" << -1 << "A B+ C" << -1;
    QTest::newRow("down, last selected") << "Runter" << "A B C+" << 2 << "A B C+" << 2;
    QTest::newRow("down, nothing selected") << "Runter" << "A+ B C" << -1 << "A+ B C" << -1;
    for (const QString routine : {"Hoch", "Runter", "Alle_Checken", "Auswahl_Umkehren"})
        QTest::addRow("%s, empty list", qPrintable(routine)) << routine << "" << -1 << "" << -1;

    // One item.
    QTest::newRow("up, one item") << "Hoch" << "A+" << 0 << "A+" << 0;
    QTest::newRow("down, one item") << "Runter" << "A" << 0 << "A" << 0;
    QTest::newRow("all, one item") << "Alle_Checken" << "A" << 0 << "A+" << 0;
    QTest::newRow("toggle, one item") << "Auswahl_Umkehren" << "A+" << -1 << "A" << -1;

    // Moving: the moved item keeps its check, the other keeps its own, the selection follows.
    QTest::newRow("down, checked below unchecked") << "Runter" << "A B+ C" << 1 << "A C B+" << 2;
    QTest::newRow("up, unchecked above checked") << "Hoch" << "A+ B C" << 1 << "B A+ C" << 0;
    QTest::newRow("up, both checked") << "Hoch" << "A+ B+" << 1 << "B+ A+" << 0;
    QTest::newRow("down, first to second") << "Runter" << "A+ B C" << 0 << "B A+ C" << 1;

    // Checking keeps order and selection.
    QTest::newRow("all, some checked") << "Alle_Checken" << "A+ B C+" << 1 << "A+ B+ C+" << 1;
    QTest::newRow("toggle, some checked") << "Auswahl_Umkehren" << "A+ B C+" << 1 << "A B+ C" << 1;
    // clang-format on
}

void TestListEditing::routineOnList()
{
    QFETCH(QString, routine);
    QFETCH(QString, items);
    QFETCH(int, selected);
    QFETCH(QString, expected);
    QFETCH(int, expectedSelected);
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TfrmOptionen dialog;
    QListWidget list;
    fillCheckList(list, items);
    select(list, selected);

    (dialog.*routineNamed(routine))(&list);

    QCOMPARE(checkListText(list), expected);
    QCOMPARE(selectedRow(list), expectedSelected);
    QVERIFY(list.selectedItems().size() <= 1);
    QVERIFY(host->reports.isEmpty());
}

void TestListEditing::movedItemTakesItsTextAlong()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TfrmOptionen dialog;
    QListWidget list;
    fillCheckList(list, "A B+ C");
    list.setCurrentRow(1);

    dialog.Runter(&list);

    QCOMPARE(list.item(1)->text(), QStringLiteral("Eintrag C"));
    QCOMPARE(list.item(2)->text(), QStringLiteral("Eintrag B"));
    QCOMPARE(list.item(2)->flags() & Qt::ItemIsUserCheckable, Qt::ItemIsUserCheckable);
}

// A current item that is not selected (the list just got the focus) counts as no selection.
void TestListEditing::currentItemWithoutSelectionIsNotMoved()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TfrmOptionen dialog;
    QListWidget list;
    fillCheckList(list, "A B C");
    list.setCurrentRow(1, QItemSelectionModel::NoUpdate);

    dialog.Hoch(&list);
    dialog.Runter(&list);

    QCOMPARE(checkListText(list), QStringLiteral("A B C"));
    QCOMPARE(selectedRow(list), -1);
}

void TestListEditing::repeatedUpStopsAtTheTop()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TfrmOptionen dialog;
    QListWidget list;
    fillCheckList(list, "A+ B C D+ E");
    list.setCurrentRow(3);

    for (int press = 0; press < 3; ++press)
        dialog.Hoch(&list);
    QCOMPARE(checkListText(list), QStringLiteral("D+ A+ B C E"));
    QCOMPARE(selectedRow(list), 0);

    dialog.Hoch(&list);
    QCOMPARE(checkListText(list), QStringLiteral("D+ A+ B C E"));
    QCOMPARE(selectedRow(list), 0);
}

void TestListEditing::toggleAfterAllAndToggleTwice()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TfrmOptionen dialog;
    QListWidget list;
    fillCheckList(list, "A+ B C+ D");
    list.setCurrentRow(2);

    dialog.Auswahl_Umkehren(&list);
    dialog.Auswahl_Umkehren(&list);
    QCOMPARE(checkListText(list), QStringLiteral("A+ B C+ D"));

    dialog.Alle_Checken(&list);
    dialog.Auswahl_Umkehren(&list);
    QCOMPARE(checkListText(list), QStringLiteral("A B C D"));
    QCOMPARE(selectedRow(list), 2);
}

void TestListEditing::buttonsWorkOnTheirOwnList_data()
{
    QTest::addColumn<QString>("action"); // a picture button, or keys pressed in the focused list
    QTest::addColumn<QString>("listName");
    QTest::addColumn<QString>("expectedStart"); // the first three items afterwards

    // clang-format off
    // After showing: GV "KUNDBEST+ RESERV LIEFRET ...", origins "O+ W A ..."; row 1 is selected.
    QTest::newRow("btnUpGV") << "btnUpGV" << "clbGV" << "RESERV KUNDBEST+ LIEFRET";
    QTest::newRow("btnDownGV") << "btnDownGV" << "clbGV" << "KUNDBEST+ LIEFRET RESERV";
    QTest::newRow("btnAlleGV") << "btnAlleGV" << "clbGV" << "KUNDBEST+ RESERV+ LIEFRET+";
    QTest::newRow("btnToggleGV") << "btnToggleGV" << "clbGV" << "KUNDBEST RESERV+ LIEFRET+";
    QTest::newRow("btnUpHerkunft") << "btnUpHerkunft" << "clbHerkunft" << "W O+ A";
    QTest::newRow("btnDownHerkunft") << "btnDownHerkunft" << "clbHerkunft" << "O+ A W";
    QTest::newRow("btnAlleHerkunft") << "btnAlleHerkunft" << "clbHerkunft" << "O+ W+ A+";
    QTest::newRow("btnToggleHerkunft") << "btnToggleHerkunft" << "clbHerkunft" << "O W+ A+";
    // The keys move as the buttons do; without Alt an arrow only moves the selection; Space checks.
    QTest::newRow("Alt+Up in clbGV") << "Alt+Up" << "clbGV" << "RESERV KUNDBEST+ LIEFRET";
    QTest::newRow("Alt+Down in clbGV") << "Alt+Down" << "clbGV" << "KUNDBEST+ LIEFRET RESERV";
    QTest::newRow("Alt+Up in clbHerkunft") << "Alt+Up" << "clbHerkunft" << "W O+ A";
    QTest::newRow("Alt+Down in clbHerkunft") << "Alt+Down" << "clbHerkunft" << "O+ A W";
    QTest::newRow("Down in clbGV") << "Down" << "clbGV" << "KUNDBEST+ RESERV LIEFRET";
    QTest::newRow("Space in clbHerkunft") << "Space" << "clbHerkunft" << "O+ W+ A";
    // clang-format on
}

void TestListEditing::buttonsWorkOnTheirOwnList()
{
    QFETCH(QString, action);
    QFETCH(QString, listName);
    QFETCH(QString, expectedStart);
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TfrmOptionen dialog;
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    auto *list = dialog.findChild<QListWidget *>(listName);
    auto *other = dialog.findChild<QListWidget *>(listName == "clbGV" ? "clbHerkunft" : "clbGV");
    list->setCurrentRow(1);
    const QString otherBefore = checkListText(*other);

    if (auto *button = dialog.findChild<QToolButton *>(action)) {
        QTest::mouseClick(button, Qt::LeftButton);
    } else {
        list->setFocus();
        QTest::keySequence(list, QKeySequence(action));
    }

    QCOMPARE(checkListText(*list).section(u' ', 0, 2), expectedStart);
    QCOMPARE(checkListText(*other), otherBefore);
    QVERIFY(host->reports.isEmpty());
}

void TestListEditing::failuresAreReportedUnderTheRoutine_data()
{
    QTest::addColumn<QString>("routine");
    // clang-format off
    for (const QString routine : {"Hoch", "Runter", "Alle_Checken", "Auswahl_Umkehren"})
        QTest::newRow(qPrintable(routine)) << routine;
    // clang-format on
}

void TestListEditing::failuresAreReportedUnderTheRoutine()
{
    QFETCH(QString, routine);
    ScopedRecordingHost host;
    TDMOrdovant dm;
    TfrmOptionen dialog;

    (dialog.*routineNamed(routine))(nullptr);

    QCOMPARE(host->reportLabels(), QStringList{"TfrmOptionen." + routine});
    QVERIFY(host->reports.first().report);
}

QTEST_MAIN(TestListEditing)
#include "tst_listediting.moc"
