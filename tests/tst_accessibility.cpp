#include "support/standalonehosthome.h"

#include "check/ordovantdm.h"
#include "support/branchprogram.h"
#include "support/recordinghost.h"
#include "ui/infobox.h"
#include "ui/optionenfrm.h"

#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QTest>

#include <memory>

#if QT_CONFIG(accessibility)

// What a screen reader learns from both dialogs through Qt's accessibility interfaces: every control's
// role, name, description and state, and the press action of "Ja".

namespace {

// The states that matter to these controls, as words.
QString stateWords(const QAccessible::State &state)
{
    QStringList words;
    if (state.focusable)
        words << QStringLiteral("focusable");
    if (state.focused)
        words << QStringLiteral("focused");
    if (state.checkable)
        words << QStringLiteral("checkable");
    if (state.checked)
        words << QStringLiteral("checked");
    return words.join(u' ');
}

// "clbGV:1" is the second entry of the list clbGV; any other path names a control, or the dialog itself.
QAccessibleInterface *accessibleAt(QWidget &dialog, const QString &path)
{
    const QString name = path.section(u':', 0, 0);
    QWidget *widget = dialog.objectName() == name ? &dialog : dialog.findChild<QWidget *>(name);
    QAccessibleInterface *accessible = widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
    if (accessible && path.contains(u':'))
        accessible = accessible->child(path.section(u':', 1).toInt());
    return accessible;
}

// A sort-out branch with one task of type "KUNDBEST" and one of origin "O", the defaults of both lists.
std::unique_ptr<QWidget> shownDialog(RecordingHost &host, TDMOrdovant &dm, const QString &dialog)
{
    host.arguments << QStringLiteral("-KD");
    host.detailTotal = 2;
    host.gvCounts.at(3) = 1;
    host.herkunftCounts.at(11) = 1;
    dm.ExistAbsortierAufgaben(true);
    std::unique_ptr<QWidget> shown;
    if (dialog == QLatin1String("InfoboxFrm"))
        shown = std::make_unique<TInfoboxFrm>();
    else
        shown = std::make_unique<TfrmOptionen>();
    shown->show();
    return shown;
}

} // namespace

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();
    void controls_data();
    void controls();
    void jaPressActionStartsTheBranchProgram();
};

void TestAccessibility::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
}

void TestAccessibility::controls_data()
{
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QAccessible::Role>("role");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("state");

    // clang-format off
    // The notice: its text as one label, the answers with their keys.
    QTest::newRow("notice") << "InfoboxFrm" << "InfoboxFrm" << QAccessible::Dialog
        << "Überprüfung Absortieraufgaben" << "" << "";
    QTest::newRow("notice text") << "InfoboxFrm" << "lblAusgabe" << QAccessible::StaticText
        << "Es liegen Absortieraufgaben für diese Filiale vor.\r\nKundenbestellung: 1\r\nKundenauftrag: 1\r\n"
           "\r\nMöchten Sie diese sofort erledigen?" << "" << "";
    QTest::newRow("Ja") << "InfoboxFrm" << "btnJa" << QAccessible::Button
        << "Ja" << "Ja (Taste Enter)" << "focusable focused";
    QTest::newRow("Nein") << "InfoboxFrm" << "btnNein" << QAccessible::Button
        << "Nein" << "Nein (Taste Esc)" << "focusable";
    QTest::newRow("Optionen") << "InfoboxFrm" << "btnOptionen" << QAccessible::Button
        << "Optionen" << "" << "focusable";

    // The options dialog.
    QTest::newRow("options") << "frmOptionen" << "frmOptionen" << QAccessible::Dialog
        << "Optionen" << "" << "";
    QTest::newRow("title") << "frmOptionen" << "pnlDataHeader" << QAccessible::StaticText
        << "Optionen" << "Überschrift des Dialogs" << "";
    QTest::newRow("Zurück") << "frmOptionen" << "btnZurueck" << QAccessible::Button
        << "Zurück" << "" << "focusable";
    QTest::newRow("Speichern") << "frmOptionen" << "btnWeiter" << QAccessible::Button
        << "Speichern" << "" << "focusable focused";
    const QString listKeys =
        QStringLiteral("Leertaste kreuzt an, Alt+Pfeil nach oben oder unten verschiebt den markierten Eintrag");
    for (const QString group : {"GV", "Herkunft"}) {
        const QString title = group == "GV" ? QStringLiteral("Geschäftsvorfall") : QStringLiteral("Herkunft");
        QTest::addRow("clb%s", qPrintable(group)) << "frmOptionen" << "clb" + group << QAccessible::List
            << "Eigene Anzahl für " + title << listKeys << "focusable";
        // Picture buttons: named by what they do, never focused.
        QTest::addRow("btnUp%s", qPrintable(group)) << "frmOptionen" << "btnUp" + group << QAccessible::Button
            << "Eintrag nach oben" << "Taste Alt+Pfeil nach oben in der Liste" << "";
        QTest::addRow("btnDown%s", qPrintable(group)) << "frmOptionen" << "btnDown" + group << QAccessible::Button
            << "Eintrag nach unten" << "Taste Alt+Pfeil nach unten in der Liste" << "";
        QTest::addRow("btnAlle%s", qPrintable(group)) << "frmOptionen" << "btnAlle" + group << QAccessible::Button
            << "Alle Einträge ankreuzen" << "Alle Einträge ankreuzen" << "";
        QTest::addRow("btnToggle%s", qPrintable(group)) << "frmOptionen" << "btnToggle" + group << QAccessible::Button
            << "Alle Kreuze umkehren" << "Alle Kreuze umkehren" << "";
    }
    // Entries: named by their text, with their check.
    QTest::newRow("first GV") << "frmOptionen" << "clbGV:0" << QAccessible::ListItem
        << "Kundenbestellung" << "" << "focusable checkable checked";
    QTest::newRow("second GV") << "frmOptionen" << "clbGV:1" << QAccessible::ListItem
        << "Reservierung" << "" << "focusable checkable";
    QTest::newRow("first origin") << "frmOptionen" << "clbHerkunft:0" << QAccessible::ListItem
        << "Kundenauftrag" << "" << "focusable checkable checked";
    // clang-format on
}

void TestAccessibility::controls()
{
    QFETCH(QString, dialog);
    QFETCH(QString, path);
    QFETCH(QAccessible::Role, role);
    QFETCH(QString, name);
    QFETCH(QString, description);
    QFETCH(QString, state);
    ScopedRecordingHost host;
    TDMOrdovant dm;
    const std::unique_ptr<QWidget> shown = shownDialog(*host, dm, dialog);
    QVERIFY(QTest::qWaitForWindowActive(shown.get()));

    QAccessibleInterface *accessible = accessibleAt(*shown, path);
    QVERIFY(accessible);
    QCOMPARE(accessible->role(), role);
    QCOMPARE(accessible->text(QAccessible::Name), name);
    QCOMPARE(accessible->text(QAccessible::Description), description);
    QCOMPARE(stateWords(accessible->state()), state);
    QVERIFY(host->reports.isEmpty());
}

// A screen reader's "press" on "Ja" starts the branch program as a click does, and ends the notice.
void TestAccessibility::jaPressActionStartsTheBranchProgram()
{
    StandaloneHostHome home;
    QVERIFY(home.writeIni("[Terminal]\nID=07\n[Startparameter]\nTORVELIN=ja\n[Verzeichnisse]\nFERTIG=fertig\n"
                          "[Warenabgabe]\n17=42\n"));
    QVERIFY(installBranchProgram(home.filePath(QStringLiteral("fertig"))));
    InstalledStandaloneHost host;
    TDMOrdovant dm;
    TInfoboxFrm notice;
    notice.show();

    QAccessibleActionInterface *ja = accessibleAt(notice, QStringLiteral("btnJa"))->actionInterface();
    QVERIFY(ja);
    QVERIFY(ja->actionNames().contains(QAccessibleActionInterface::pressAction()));
    ja->doAction(QAccessibleActionInterface::pressAction());

    QTRY_COMPARE_WITH_TIMEOUT(home.readFile(QStringLiteral("fertig/gestartet.txt")),
                              QByteArray("-AbsortAufgaben\n"), 20000);
    QTRY_VERIFY(!notice.isVisible());
    QCOMPARE(home.logLines(), QStringList());
}

#else

// A Qt built without accessibility gives a screen reader nothing: that is a failure, not a skip, and
// the other tests of the build still run.
class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void qtHasAccessibility() { QFAIL("this Qt is built without accessibility: screen readers see nothing"); }
};

#endif

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
