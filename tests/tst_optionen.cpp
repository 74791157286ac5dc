#include "check/ordovantdm.h"
#include "host/codetables.h"
#include "support/checklisttext.h"
#include "support/optionsfixture.h"
#include "support/recordinghost.h"
#include "ui/optionenfrm.h"

#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <functional>
#include <memory>

namespace {

const QString detailCheck = QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert");
const QString existenceCheck = QStringLiteral("TQVX_AufgabenMani.AufgabenVorhanden");
const QString writeLocal = QStringLiteral("TSimpleMask.WriteLocal");

QString writeCall(const QString &key, const QString &value)
{
    return QStringLiteral("TSimpleMask.WriteLocal(\"%1\", \"%2\")").arg(key, value);
}

template <typename T = QWidget> T *control(QWidget &dialog, const QString &name)
{
    return dialog.findChild<T *>(name);
}

QListWidget *gvList(QWidget &dialog)
{
    return control<QListWidget>(dialog, QStringLiteral("clbGV"));
}

QListWidget *herkunftList(QWidget &dialog)
{
    return control<QListWidget>(dialog, QStringLiteral("clbHerkunft"));
}

QPushButton *button(QWidget &dialog, const QString &name)
{
    return control<QPushButton>(dialog, name);
}

// Runs the dialog modally; `action` gets the active modal widget once the run is under way.
int runModal(TfrmOptionen &dialog, const std::function<void(QWidget &)> &action)
{
    QTimer::singleShot(0, &dialog, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal) {
            dialog.done(-1);
            return;
        }
        action(*modal);
    });
    return dialog.exec();
}

// The items of a check list with their display texts, for the filling tests.
QStringList texts(const QListWidget &list)
{
    QStringList result;
    for (int row = 0; row < list.count(); ++row)
        result << list.item(row)->text();
    return result;
}

} // namespace

class TestOptionen : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    // Form
    void controlsAtDesignSize_data();
    void controlsAtDesignSize();
    void windowCaptionsAndKeys();
    void pictureButtons_data();
    void pictureButtons();
    void tabOrderRunsThroughButtonsThenLists();
    void resizingWidensListsButKeepsGroupHeights();

    // Filling
    void fillsPossibleItemsInIdOrder_data();
    void fillsPossibleItemsInIdOrder();
    void designStateFillsNothing();

    // Preselection
    void preselects_data();
    void preselects();
    void preselectsRealListsFromDefaults();
    void preselectsRealListsFromStoredValues();
    void showingFocusesSpeichernAndSelectsNothing();
    void storedValueLongerThanListKeepsEveryChoice();

    // Exchange
    void exchange_data();
    void exchange();

    // Saving and leaving
    void speichernWritesCheckedItemsInShownOrder();
    void zurueckWritesNothing();
    void closeBoxWritesNothingAndRunsNoCheck();
    void switchEAsksOnlyForExistence_data();
    void switchEAsksOnlyForExistence();
    void leaving_data();
    void leaving();
    void failedComposeKeepsThatSettingOnly();
    void withoutDataModuleEverythingIsReported();

    // Lifecycle
    void globalFollowsTheDialog();
    void destroyReleasesCodesThenRaisesThenTerminates();
    void destroyTerminatesAndReportsWhenRaiseThrows();
};

void TestOptionen::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QCOMPARE(frmOptionen, nullptr);
}

// --- Form ---

void TestOptionen::controlsAtDesignSize_data()
{
    QTest::addColumn<QString>("parent");
    QTest::addColumn<QRect>("geometry");

    // clang-format off
    QTest::newRow("pnlouter") << "frmOptionen" << QRect(4, 4, 569, 477);
    QTest::newRow("pnlinner") << "pnlouter" << QRect(4, 4, 561, 469);
    QTest::newRow("pnlDataHeader") << "pnlinner" << QRect(4, 4, 553, 35);
    QTest::newRow("pnlButtons") << "pnlinner" << QRect(4, 428, 553, 37);
    QTest::newRow("btnZurueck") << "pnlButtons" << QRect(4, 4, 165, 29);
    QTest::newRow("btnWeiter") << "pnlButtons" << QRect(316, 4, 233, 29);
    for (const QString group : {"GV", "Herkunft"}) {
        const int top = group == "GV" ? 48 : 240;
        QTest::addRow("grpAnzNach%s", qPrintable(group)) << "pnlinner" << QRect(4, top, 549, 181);
        const QString box = "grpAnzNach" + group;
        QTest::addRow("clb%s", qPrintable(group)) << box << QRect(8, 20, 481, 149);
        QTest::addRow("btnUp%s", qPrintable(group)) << box << QRect(495, 37, 46, 24);
        QTest::addRow("btnAlle%s", qPrintable(group)) << box << QRect(495, 66, 46, 24);
        QTest::addRow("btnToggle%s", qPrintable(group)) << box << QRect(495, 94, 46, 24);
        QTest::addRow("btnDown%s", qPrintable(group)) << box << QRect(495, 121, 46, 24);
    }
    // clang-format on
}

void TestOptionen::controlsAtDesignSize()
{
    QFETCH(QString, parent);
    QFETCH(QRect, geometry);
    OptionsFixture options;
    TfrmOptionen &dialog = options.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QWidget *widget = control(dialog, QTest::currentDataTag());
    QVERIFY(widget);
    QCOMPARE(widget->parentWidget()->objectName(), parent);
    QCOMPARE(widget->geometry(), geometry);
}

void TestOptionen::windowCaptionsAndKeys()
{
    OptionsFixture options;
    TfrmOptionen &dialog = options.open();

    QCOMPARE(dialog.windowTitle(), QStringLiteral("Optionen"));
    QCOMPARE(dialog.size(), QSize(570, 479));
    QCOMPARE(dialog.minimumHeight(), 479);
    QCOMPARE(control<QWidget>(dialog, "pnlinner")->minimumSize(), QSize(441, 161));
    QCOMPARE(control<QLabel>(dialog, "pnlDataHeader")->text(), QStringLiteral("Optionen"));
    QCOMPARE(control<QLabel>(dialog, "pnlDataHeader")->font().family(), QStringLiteral("Arial"));
    QCOMPARE(control<QGroupBox>(dialog, "grpAnzNachGV")->title(),
             QStringLiteral(" Eigene Anzahl für Geschäftsvorfall ... "));
    QCOMPARE(control<QGroupBox>(dialog, "grpAnzNachHerkunft")->title(),
             QStringLiteral(" Eigene Anzahl für Herkunft ... "));

    QPushButton *zurueck = button(dialog, "btnZurueck");
    QPushButton *weiter = button(dialog, "btnWeiter");
    QCOMPARE(zurueck->text(), QStringLiteral("Zurück"));
    QCOMPARE(weiter->text(), QStringLiteral("Speichern"));
    for (QPushButton *b : {zurueck, weiter}) {
        QCOMPARE(b->font().family(), QStringLiteral("Arial"));
        QCOMPARE(b->font().pixelSize(), 21);
        QVERIFY(!b->icon().isNull());
    }
    QVERIFY(weiter->isDefault());
    QCOMPARE(weiter->layoutDirection(), Qt::RightToLeft); // glyph right of the caption
    QCOMPARE(zurueck->findChild<QLabel *>("btnZurueckTaste")->text(), QStringLiteral("Esc"));
    QCOMPARE(weiter->findChild<QLabel *>("btnWeiterTaste")->text(), QStringLiteral("Enter"));

    for (QListWidget *list : {gvList(dialog), herkunftList(dialog)}) {
        QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
        QVERIFY(!list->isSortingEnabled());
    }
}

void TestOptionen::pictureButtons_data()
{
    QTest::addColumn<QString>("picture");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("background"); // a point outside the drawing

    // clang-format off
    const QString file = QStringLiteral(":/optionen/pictures/optionen_%1.png");
    for (const char *group : {"GV", "Herkunft"}) {
        QTest::addRow("btnUp%s", group) << file.arg("hoch") << QSize(18, 11) << QPoint(0, 0);
        QTest::addRow("btnDown%s", group) << file.arg("runter") << QSize(18, 11) << QPoint(0, 10);
        QTest::addRow("btnAlle%s", group) << file.arg("alle") << QSize(36, 16) << QPoint(0, 0);
        QTest::addRow("btnToggle%s", group) << file.arg("umkehren") << QSize(36, 16) << QPoint(0, 0);
    }
    // clang-format on
}

void TestOptionen::pictureButtons()
{
    QFETCH(QString, picture);
    QFETCH(QSize, size);
    QFETCH(QPoint, background);
    OptionsFixture options;
    TfrmOptionen &dialog = options.open();

    auto *b = control<QToolButton>(dialog, QTest::currentDataTag());
    QVERIFY(b);
    QVERIFY(b->text().isEmpty());
    QCOMPARE(b->focusPolicy(), Qt::NoFocus);
    QCOMPARE(b->iconSize(), size);
    QCOMPARE(b->icon().availableSizes(), QList<QSize>{size});

    const QImage image(picture);
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    QCOMPARE(qAlpha(image.pixel(background)), 0);
    QCOMPARE(qAlpha(image.pixel(size.width() / 2, size.height() / 2)), 255);
}

void TestOptionen::tabOrderRunsThroughButtonsThenLists()
{
    OptionsFixture options;
    TfrmOptionen &dialog = options.open();

    QStringList order;
    QWidget *widget = button(dialog, "btnZurueck");
    do {
        if (widget->focusPolicy() & Qt::TabFocus)
            order << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != button(dialog, "btnZurueck"));
    QCOMPARE(order, (QStringList{"btnZurueck", "btnWeiter", "clbGV", "clbHerkunft"}));
}

void TestOptionen::resizingWidensListsButKeepsGroupHeights()
{
    OptionsFixture options;
    TfrmOptionen &dialog = options.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    dialog.resize(700, 600); // 130 wider, 121 higher
    QTRY_COMPARE(dialog.size(), QSize(700, 600));
    QTRY_COMPARE(control(dialog, "pnlouter")->geometry(), QRect(4, 4, 699, 598));
    QCOMPARE(control(dialog, "pnlinner")->geometry(), QRect(4, 4, 691, 590));
    QCOMPARE(control(dialog, "pnlDataHeader")->geometry(), QRect(4, 4, 683, 35));
    QCOMPARE(control(dialog, "pnlButtons")->geometry(), QRect(4, 549, 683, 37));
    QCOMPARE(control(dialog, "btnZurueck")->geometry(), QRect(4, 4, 165, 29));
    QCOMPARE(control(dialog, "btnWeiter")->geometry(), QRect(446, 4, 233, 29));
    QCOMPARE(control(dialog, "grpAnzNachGV")->geometry(), QRect(4, 48, 679, 181));
    QCOMPARE(control(dialog, "grpAnzNachHerkunft")->geometry(), QRect(4, 240, 679, 181));
    QCOMPARE(control(dialog, "clbHerkunft")->geometry(), QRect(8, 20, 611, 149));
    QCOMPARE(control(dialog, "btnUpGV")->geometry(), QRect(625, 37, 46, 24));
    QCOMPARE(control(dialog, "btnDownHerkunft")->geometry(), QRect(625, 121, 46, 24));

    dialog.resize(300, 300);
    QTRY_COMPARE(dialog.size(), QSize(450, 479));
    QTRY_COMPARE(control(dialog, "pnlinner")->width(), 441);
}

// --- Filling ---

void TestOptionen::fillsPossibleItemsInIdOrder_data()
{
    QTest::addColumn<bool>("torvelin");
    QTest::addColumn<bool>("handlager");
    QTest::addColumn<bool>("reko");
    QTest::addColumn<QStringList>("gv");
    QTest::addColumn<int>("herkuenfte");

    // clang-format off
    QTest::newRow("bare branch") << false << false << false
        << QStringList{"KUNDBEST", "RESERV", "LIEFRET", "INVDIFF", "ABSCHR"} << 51;
    QTest::newRow("everything") << true << true << true
        << QStringList{"FILUML", "RUECKZL", "KUNDBEST", "RESERV", "HANDLAG", "LIEFRET", "INVDIFF", "ABSCHR"}
        << 52;
    // clang-format on
}

void TestOptionen::fillsPossibleItemsInIdOrder()
{
    QFETCH(bool, torvelin);
    QFETCH(bool, handlager);
    QFETCH(bool, reko);
    QFETCH(QStringList, gv);
    QFETCH(int, herkuenfte);
    OptionsFixture options;
    options.host->parameters["TORVELIN"] = torvelin;
    options.host->parameters["RECHKTRL"] = reko;
    if (handlager)
        options.host->store["WARENANFOEIGFIL07"] = "J";
    TfrmOptionen &dialog = options.open();

    QListWidget *clbGV = gvList(dialog);
    QCOMPARE(checkListText(*clbGV), gv.join(' '));
    QStringList names;
    for (const QString &code : gv)
        names << CQVX_Aufgabe_Geschaeftsvorfall_2_String[geschaeftsvorfallAusTabelle(code)];
    QCOMPARE(texts(*clbGV), names);

    QListWidget *clbHerkunft = herkunftList(dialog);
    QCOMPARE(clbHerkunft->count(), herkuenfte);
    QCOMPARE(clbHerkunft->item(0)->text(), QStringLiteral("Kasse"));
    QCOMPARE(clbHerkunft->item(0)->data(Qt::UserRole), QVariant(QStringLiteral("K")));
    QCOMPARE(clbHerkunft->item(herkuenfte - 1)->data(Qt::UserRole), QVariant(QStringLiteral("q")));
    for (QListWidget *list : {clbGV, clbHerkunft}) {
        QVERIFY(list->selectedItems().isEmpty());
        for (int row = 0; row < list->count(); ++row) {
            QVERIFY(list->item(row)->flags() & Qt::ItemIsUserCheckable);
            QCOMPARE(list->item(row)->checkState(), Qt::Unchecked);
        }
    }
    QVERIFY(options.host->reports.isEmpty());
}

void TestOptionen::designStateFillsNothing()
{
    OptionsFixture options;
    options.host->designing = true;
    TfrmOptionen &dialog = options.open();

    QCOMPARE(options.host->count("Designing_InComponentState"), 1);
    QCOMPARE(gvList(dialog)->count(), 0);
    QCOMPARE(herkunftList(dialog)->count(), 0);
}

// --- Preselection ---

void TestOptionen::preselects_data()
{
    QTest::addColumn<QString>("group"); // GV or HERKUNFT
    QTest::addColumn<QString>("items");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected");

    // clang-format off
    QTest::newRow("GV: worked example") << "GV" << "A B C D E" << "D|B" << "D+ B+ C A E";
    QTest::newRow("GV: code not in the list") << "GV" << "A B C" << "X|C" << "A C+ B";
    QTest::newRow("GV: same code twice") << "GV" << "A B C" << "B|B" << "A B+ C";
    QTest::newRow("GV: letter case counts") << "GV" << "A B C" << "b" << "A B C";
    QTest::newRow("GV: empty value") << "GV" << "A B C" << "" << "A B C";
    QTest::newRow("GV: first stays first") << "GV" << "A B C" << "A|C" << "A+ C+ B";
    QTest::newRow("GV: quoted code") << "GV" << "A B C" << "\"C\"" << "C+ B A";
    QTest::newRow("GV: blanks around codes") << "GV" << "A B C" << " C | A " << "C+ A+ B";
    // More elements than items: nothing the list can show is dropped.
    QTest::newRow("GV: longer, gone codes first") << "GV" << "A B C" << "X|Y|Z|C|A" << "C+ A+ B";
    QTest::newRow("GV: longer, behind a gap") << "GV" << "A B C" << "X|C|Y|A" << "C+ A+ B";
    QTest::newRow("GV: longer, placed before") << "GV" << "A B C" << "A|X|Y|B" << "A+ B+ C";
    QTest::newRow("GV: longer, duplicate") << "GV" << "A B" << "A|B|A" << "A+ B+";
    QTest::newRow("GV: longer, unknown code") << "GV" << "A B" << "B|X|Y" << "B+ A";
    QTest::newRow("GV: longer, several behind") << "GV" << "A B C D" << "W|X|Y|Z|D|B|D|A" << "D+ B+ A+ C";
    // An origin is its code's first character.
    QTest::newRow("HERKUNFT: first character counts") << "HERKUNFT" << "K W O" << "OX" << "O+ W K";
    QTest::newRow("HERKUNFT: letter case counts") << "HERKUNFT" << "K W O" << "o" << "K W O";
    QTest::newRow("HERKUNFT: order of the value") << "HERKUNFT" << "K W O A" << "A|W" << "A+ W+ O K";
    QTest::newRow("HERKUNFT: empty element matches nothing") << "HERKUNFT" << "K W O" << "|O" << "K O+ W";
    QTest::newRow("HERKUNFT: trailing delimiter") << "HERKUNFT" << "K W O" << "O|" << "O+ W K";
    QTest::newRow("HERKUNFT: longer than the list") << "HERKUNFT" << "K W" << "X|Y|W" << "W+ K";
    // clang-format on
}

void TestOptionen::preselects()
{
    QFETCH(QString, group);
    QFETCH(QString, items);
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    OptionsFixture options;
    options.host->store[group + "07"] = stored;
    TfrmOptionen &dialog = options.open();
    QListWidget list;
    fillCheckList(list, items);

    if (group == u"GV")
        dialog.GV_Einstellen(&list, "GV", "KUNDBEST");
    else
        dialog.Herkunft_Einstellen(&list, "HERKUNFT", "O");

    QCOMPARE(checkListText(list), expected);
    QCOMPARE(selectedRow(list), -1);
    QVERIFY(options.host->reports.isEmpty());
}

void TestOptionen::preselectsRealListsFromDefaults()
{
    OptionsFixture options;
    options.host->parameters["TORVELIN"] = true;
    TfrmOptionen &dialog = options.open();
    options.host->clearRecord();
    dialog.show();

    QCOMPARE(checkListText(*gvList(dialog)),
             QStringLiteral("KUNDBEST+ RUECKZL FILUML RESERV LIEFRET INVDIFF ABSCHR"));
    QCOMPARE(gvList(dialog)->item(0)->text(), QStringLiteral("Kundenbestellung"));
    QListWidget *clbHerkunft = herkunftList(dialog);
    QCOMPARE(checkListText(*clbHerkunft).left(26), QStringLiteral("O+ W A I U B Z L R M K S V"));
    QCOMPARE(clbHerkunft->item(0)->text(), QStringLiteral("Kundenauftrag"));
    QCOMPARE(options.host->callsNamed("TSimpleMask.ReadLocalDef"),
             (QStringList{R"(TSimpleMask.ReadLocalDef("GV07", "KUNDBEST"))",
                          R"(TSimpleMask.ReadLocalDef("HERKUNFT07", "O"))"}));
}

void TestOptionen::preselectsRealListsFromStoredValues()
{
    OptionsFixture options;
    options.host->store["GV07"] = "INVDIFF|RESERV";
    options.host->store["HERKUNFT07"] = "Ab|o|K";
    TfrmOptionen &dialog = options.show();

    QCOMPARE(checkListText(*gvList(dialog)), QStringLiteral("INVDIFF+ RESERV+ LIEFRET KUNDBEST ABSCHR"));
    QCOMPARE(texts(*gvList(dialog)).first(), QStringLiteral("Inventurdifferenz"));
    // "o" is the code of an origin that is never possible: its position keeps its item.
    QCOMPARE(checkListText(*herkunftList(dialog)).left(12), QStringLiteral("A+ W K+ I U "));
}

void TestOptionen::showingFocusesSpeichernAndSelectsNothing()
{
    OptionsFixture options;
    TfrmOptionen &dialog = options.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));

    QCOMPARE(dialog.focusWidget(), button(dialog, "btnWeiter"));
    QCOMPARE(selectedRow(*gvList(dialog)), -1);
    QCOMPARE(selectedRow(*herkunftList(dialog)), -1);
}

void TestOptionen::storedValueLongerThanListKeepsEveryChoice()
{
    OptionsFixture options;
    options.host->detailTotal = 1;
    // Five possible types; the first five codes are no longer possible at this branch.
    options.host->store["GV07"] = "FILUML|RUECKZL|OHNE|HANDLAG|GIBTSNICHT|ABSCHR|KUNDBEST|ABSCHR";
    TfrmOptionen &dialog = options.show();

    QCOMPARE(checkListText(*gvList(dialog)), QStringLiteral("ABSCHR+ KUNDBEST+ RESERV LIEFRET INVDIFF"));
    QVERIFY(options.host->reports.isEmpty());

    button(dialog, "btnWeiter")->click();
    QCOMPARE(options.host->store.value("GV07"), QStringLiteral("ABSCHR|KUNDBEST"));
}

// --- Exchange ---

void TestOptionen::exchange_data()
{
    QTest::addColumn<QString>("items");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<QString>("expected"); // each item's text follows its code
    QTest::addColumn<bool>("reported");

    // clang-format off
    QTest::newRow("swaps texts and values, unchecks") << "A+ B C D+ E" << 0 << 3 << "D B C A E" << false;
    QTest::newRow("the other way round") << "A+ B C D+ E" << 3 << 0 << "D B C A E" << false;
    QTest::newRow("one position unchecks it") << "A+ B+ C+ D+" << 2 << 2 << "A+ B+ C D+" << false;
    QTest::newRow("beyond the end changes nothing") << "A+ B C" << 0 << 3 << "A+ B C" << true;
    QTest::newRow("before the start changes nothing") << "A+ B C" << -1 << 1 << "A+ B C" << true;
    // clang-format on
}

void TestOptionen::exchange()
{
    QFETCH(QString, items);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QString, expected);
    QFETCH(bool, reported);
    OptionsFixture options;
    TfrmOptionen &dialog = options.open();
    QListWidget list;
    fillCheckList(list, items);

    dialog.Exchange(&list, from, to);

    QCOMPARE(checkListText(list), expected);
    for (int row = 0; row < list.count(); ++row)
        QCOMPARE(list.item(row)->text(), "Eintrag " + list.item(row)->data(Qt::UserRole).toString());
    QCOMPARE(options.host->reportLabels(), reported ? QStringList{"TfrmOptionen.Exchange"} : QStringList());
    if (reported)
        QVERIFY(options.host->reports.first().report);
}

// --- Saving and leaving ---

void TestOptionen::speichernWritesCheckedItemsInShownOrder()
{
    OptionsFixture options;
    options.host->detailTotal = 2;
    TfrmOptionen &dialog = options.show();
    QListWidget *clbGV = gvList(dialog);
    QListWidget *clbHerkunft = herkunftList(dialog);

    // LIEFRET checked and moved to the top, ABSCHR moved up unchecked.
    clbGV->item(2)->setCheckState(Qt::Checked);
    clbGV->setCurrentRow(2);
    control<QToolButton>(dialog, "btnUpGV")->click();
    control<QToolButton>(dialog, "btnUpGV")->click();
    clbGV->setCurrentRow(4);
    control<QToolButton>(dialog, "btnUpGV")->click();
    QCOMPARE(checkListText(*clbGV), QStringLiteral("LIEFRET+ KUNDBEST+ RESERV ABSCHR INVDIFF"));
    // "A" checked and moved above "W"; "O" moved below it, both by the keys of the focused list.
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    clbHerkunft->setFocus();
    clbHerkunft->item(2)->setCheckState(Qt::Checked);
    clbHerkunft->setCurrentRow(2);
    QTest::keyClick(clbHerkunft, Qt::Key_Up, Qt::AltModifier);
    clbHerkunft->setCurrentRow(0);
    QTest::keyClick(clbHerkunft, Qt::Key_Down, Qt::AltModifier);
    options.host->clearRecord();

    button(dialog, "btnWeiter")->click();

    QCOMPARE(options.host->callsNamed(writeLocal),
             (QStringList{writeCall("GV07", "LIEFRET|KUNDBEST"), writeCall("HERKUNFT07", "A|O")}));
    QVERIFY(options.host->callNames().indexOf(detailCheck) >
            options.host->callNames().lastIndexOf(writeLocal));
    QCOMPARE(dialog.result(), 1);
    QVERIFY(options.host->reports.isEmpty());
}

void TestOptionen::zurueckWritesNothing()
{
    ScopedRecordingHost host;
    host->detailTotal = 2;
    host->store["GV07"] = "RESERV";
    {
        TDMOrdovant dm;
        TfrmOptionen dialog;
        dialog.show();
        control<QToolButton>(dialog, "btnAlleGV")->click();
        host->clearRecord();

        button(dialog, "btnZurueck")->click();

        QCOMPARE(host->count(writeLocal), 0);
        QCOMPARE(host->count(detailCheck), 1);
        QCOMPARE(dialog.result(), 2);
        QVERIFY(!host->terminated);
    }
    TDMOrdovant dm;
    TfrmOptionen again;
    again.show();
    QCOMPARE(checkListText(*gvList(again)), QStringLiteral("RESERV+ KUNDBEST LIEFRET INVDIFF ABSCHR"));
}

void TestOptionen::closeBoxWritesNothingAndRunsNoCheck()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    {
        TfrmOptionen mainWindow;
        mainWindow.show();
        host->clearRecord();
        QVERIFY(mainWindow.close());
        QVERIFY(!mainWindow.isVisible());
        QCOMPARE(mainWindow.result(), 0);
    }
    TfrmOptionen modal;
    const int result = runModal(modal, [](QWidget &widget) { widget.close(); });
    QCOMPARE(result, 0);
    QCOMPARE(host->count(writeLocal), 0);
    QCOMPARE(host->count(detailCheck) + host->count(existenceCheck), 0);
    QVERIFY(!host->terminated);
}

void TestOptionen::switchEAsksOnlyForExistence_data()
{
    QTest::addColumn<QString>("buttonName");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("check");

    // clang-format off
    for (const QString name : {"btnWeiter", "btnZurueck"}) {
        QTest::addRow("%s, -e", qPrintable(name)) << name << "-e" << existenceCheck;
        QTest::addRow("%s, /E", qPrintable(name)) << name << "/E" << existenceCheck;
        QTest::addRow("%s, -o only", qPrintable(name)) << name << "-o" << detailCheck;
    }
    // clang-format on
}

void TestOptionen::switchEAsksOnlyForExistence()
{
    QFETCH(QString, buttonName);
    QFETCH(QString, argument);
    QFETCH(QString, check);
    OptionsFixture options;
    options.host->arguments = {"ordovant", argument};
    options.host->tasksExist = true;
    options.host->detailTotal = 1;
    TfrmOptionen &dialog = options.show();
    options.host->clearRecord();

    button(dialog, buttonName)->click();

    QCOMPARE(options.host->count(check), 1);
    QCOMPARE(options.host->count(detailCheck) + options.host->count(existenceCheck), 1);
    QVERIFY(!options.host->terminated);
}

void TestOptionen::leaving_data()
{
    QTest::addColumn<bool>("modal");
    QTest::addColumn<QString>("press"); // a button, or a key pressed in the type list
    QTest::addColumn<int>("presses");
    QTest::addColumn<int>("tasks");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("writes");

    // clang-format off
    // As the main window the dialog stays open; each press saves (or not) and checks again.
    QTest::newRow("main, Speichern, tasks left") << false << "btnWeiter" << 2 << 3 << 1 << 4;
    QTest::newRow("main, Speichern, no task") << false << "btnWeiter" << 2 << 0 << 1 << 4;
    QTest::newRow("main, Zurück, tasks left") << false << "btnZurueck" << 2 << 3 << 2 << 0;
    QTest::newRow("main, Zurück, no task") << false << "btnZurueck" << 2 << 0 << 2 << 0;
    QTest::newRow("main, Enter") << false << "Enter" << 1 << 1 << 1 << 2;
    QTest::newRow("main, Return") << false << "Return" << 1 << 1 << 1 << 2;
    QTest::newRow("main, Esc") << false << "Esc" << 1 << 1 << 2 << 0;
    // A modal run ends with the button's result.
    QTest::newRow("modal, Speichern, tasks left") << true << "btnWeiter" << 1 << 3 << 1 << 2;
    QTest::newRow("modal, Speichern, no task") << true << "btnWeiter" << 1 << 0 << 1 << 2;
    QTest::newRow("modal, Zurück, tasks left") << true << "btnZurueck" << 1 << 3 << 2 << 0;
    QTest::newRow("modal, Zurück, no task") << true << "btnZurueck" << 1 << 0 << 2 << 0;
    // clang-format on
}

void TestOptionen::leaving()
{
    QFETCH(bool, modal);
    QFETCH(QString, press);
    QFETCH(int, presses);
    QFETCH(int, tasks);
    QFETCH(int, result);
    QFETCH(int, writes);
    const QMap<QString, Qt::Key> keys{
        {"Enter", Qt::Key_Enter}, {"Return", Qt::Key_Return}, {"Esc", Qt::Key_Escape}};
    OptionsFixture options;
    options.host->detailTotal = tasks;
    TfrmOptionen &dialog = options.open();
    const auto pressOn = [&](QWidget &shown) {
        for (int i = 0; i < presses; ++i) {
            if (keys.contains(press))
                QTest::keyClick(gvList(shown), keys.value(press));
            else
                button(shown, press)->click();
        }
    };
    // The check's messages and the printing it starts come while the dialog is still up.
    QStringList askedWhileUp;
    int ran = 0;
    if (modal) {
        ran = runModal(dialog, [&](QWidget &shown) {
            connect(shown.windowHandle(), &QWindow::visibleChanged, &dialog, [&](bool visible) {
                if (!visible)
                    askedWhileUp = options.host->callNames();
            });
            pressOn(shown);
        });
    } else {
        dialog.show();
        QVERIFY(QTest::qWaitForWindowActive(&dialog));
        gvList(dialog)->setFocus();
        pressOn(dialog);
        ran = dialog.result();
    }

    QCOMPARE(ran, result);
    QCOMPARE(dialog.isVisible(), !modal);
    QCOMPARE(options.host->count(writeLocal), writes);
    QCOMPARE(options.host->count(detailCheck), presses);
    QCOMPARE(options.host->terminated, tasks == 0);
    if (modal) {
        QVERIFY(askedWhileUp.contains(detailCheck));
        QCOMPARE(askedWhileUp.contains(QStringLiteral("Application.Terminate")), tasks == 0);
    }
}

void TestOptionen::failedComposeKeepsThatSettingOnly()
{
    OptionsFixture options;
    options.host->detailTotal = 1;
    options.host->store["HERKUNFT07"] = "O|K";
    TfrmOptionen &dialog = options.show();
    // A checked origin without a code character cannot be composed.
    herkunftList(dialog)->item(0)->setData(Qt::UserRole, QString());
    options.host->clearRecord();

    button(dialog, "btnWeiter")->click();

    QCOMPARE(options.host->callsNamed(writeLocal), QStringList{writeCall("GV07", "KUNDBEST")});
    QCOMPARE(options.host->store.value("HERKUNFT07"), QStringLiteral("O|K"));
    QCOMPARE(options.host->reportLabels(), QStringList{"TDMOrdovant.Herkunft_Konfigurationen_2_String"});
    QCOMPARE(options.host->count(detailCheck), 1);
    QCOMPARE(dialog.result(), 1);
}

void TestOptionen::withoutDataModuleEverythingIsReported()
{
    ScopedRecordingHost host;
    TfrmOptionen dialog;
    dialog.show();
    button(dialog, "btnWeiter")->click();
    QCOMPARE(dialog.result(), 0); // the failure came before the result
    button(dialog, "btnZurueck")->click();

    QCOMPARE(
        host->reportLabels(),
        (QStringList{"TfrmOptionen.Verfuegbare_GV_Fuellen", "TfrmOptionen.Verfuegbare_Herkuenfte_Fuellen",
                     "TfrmOptionen.GV_Einstellen", "TfrmOptionen.Herkunft_Einstellen",
                     "TfrmOptionen.btnWeiterClick", "TfrmOptionen.btnZurueckClick"}));
    QVERIFY(!host->terminated);
}

// --- Lifecycle ---

void TestOptionen::globalFollowsTheDialog()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    auto first = std::make_unique<TfrmOptionen>();
    QCOMPARE(frmOptionen, first.get());
    auto second = std::make_unique<TfrmOptionen>();
    QCOMPARE(frmOptionen, second.get());
    first.reset();
    QCOMPARE(frmOptionen, second.get());
    second.reset();
    QCOMPARE(frmOptionen, nullptr);
}

void TestOptionen::destroyReleasesCodesThenRaisesThenTerminates()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    auto dialog = std::make_unique<TfrmOptionen>();
    QListWidget *clbGV = gvList(*dialog);
    connect(clbGV->model(), &QAbstractItemModel::dataChanged, clbGV, [&](const QModelIndex &index) {
        host->calls << QStringLiteral("release %1: %2")
                           .arg(index.row())
                           .arg(index.data(Qt::UserRole).isNull() ? "cleared" : "kept");
    });
    host->clearRecord();

    dialog.reset();

    const QString raise = R"(QVXInfo.FehlerRaise("TfrmOptionen.FormDestroy", 0, "", "", 0, 0))";
    const QString terminate = R"(QVXInfo.FehlerTerminate("TfrmOptionen.FormDestroy", 0, "", "", 0, 0))";
    QCOMPARE(host->calls, (QStringList{"release 0: cleared", "release 1: cleared", "release 2: cleared",
                                       "release 3: cleared", "release 4: cleared", raise, terminate}));
    QVERIFY(host->reports.isEmpty());
}

void TestOptionen::destroyTerminatesAndReportsWhenRaiseThrows()
{
    ScopedRecordingHost host;
    TDMOrdovant dm;
    auto dialog = std::make_unique<TfrmOptionen>();
    host->failOn("QVXInfo.FehlerRaise");
    host->clearRecord();

    dialog.reset();

    QCOMPARE(host->callNames(),
             (QStringList{"QVXInfo.FehlerRaise", "QVXInfo.FehlerTerminate", "QVXInfo.RegisterException"}));
    QCOMPARE(host->reports.size(), 1);
    QCOMPARE(host->reports.first().label, QStringLiteral("TfrmOptionen.FormDestroy"));
    QCOMPARE(host->reports.first().report, false);
    host->succeedAgain("QVXInfo.FehlerRaise");
}

QTEST_MAIN(TestOptionen)
#include "tst_optionen.moc"
