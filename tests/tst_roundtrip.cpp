#include "check/ordovantdm.h"
#include "support/recordinghost.h"
#include "ui/infobox.h"
#include "ui/optionenfrm.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace {

const QString ersteZeile = QStringLiteral("Es liegen Absortieraufgaben für diese Filiale vor.");
const QString frage = QStringLiteral("Möchten Sie diese sofort erledigen?");
const QString detailCheck = QStringLiteral("TWarenabgabeMani.Anzahl_AbsortAufg_Detailliert");

// Counts for every type that is possible at a bare branch, and for two origins.
void setCounts(RecordingHost &host)
{
    host.detailTotal = 25;
    host.gvCounts[3] = 2;        // KUNDBEST, Kundenbestellung
    host.gvCounts[4] = 6;        // RESERV, Reservierung
    host.gvCounts[6] = 1;        // LIEFRET, Lieferantenretoure
    host.gvCounts[7] = 4;        // INVDIFF, Inventurdifferenz
    host.gvCounts[8] = 9;        // ABSCHR, Abschrift
    host.herkunftCounts[1] = 1;  // K, Kasse
    host.herkunftCounts[11] = 3; // O, Kundenauftrag
}

// Presses "Optionen" on the notice and lets `inOptions` work in the options dialog while it runs.
void openOptions(TInfoboxFrm &notice, const std::function<void(QWidget &)> &inOptions)
{
    QTimer::singleShot(0, &notice, [&] {
        if (auto *options = qobject_cast<TfrmOptionen *>(QApplication::activeModalWidget())) {
            inOptions(*options);
            return;
        }
        // Not the expected modal run: end whatever runs, so that the checks below fail instead of hanging.
        for (QWidget *widget : QApplication::topLevelWidgets())
            if (qobject_cast<TfrmOptionen *>(widget))
                widget->close();
    });
    notice.findChild<QPushButton *>(QStringLiteral("btnOptionen"))->click();
}

QString noticeText(TInfoboxFrm &notice)
{
    return notice.findChild<QLabel *>(QStringLiteral("lblAusgabe"))->text();
}

} // namespace

class TestRoundTrip : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void savedChoiceShapesTheNotice();
    void leavingWithoutSavingKeepsTheNotice();
    void noTaskLeftEndsTheProgram();
};

void TestRoundTrip::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QCOMPARE(frmOptionen, nullptr);
}

void TestRoundTrip::savedChoiceShapesTheNotice()
{
    ScopedRecordingHost host;
    setCounts(*host);
    TDMOrdovant dm;
    QVERIFY(dm.ExistAbsortierAufgaben(true));
    TInfoboxFrm notice;
    notice.show();
    QCOMPARE(noticeText(notice), ersteZeile + "\r\nKundenbestellung: 2\r\nKundenauftrag: 3\r\n\r\n" + frage);
    const int heightBefore = notice.height();

    openOptions(notice, [](QWidget &options) {
        // Every type, "Inventurdifferenz" first; the origin "Kasse" instead of "Kundenauftrag".
        auto *clbGV = options.findChild<QListWidget *>(QStringLiteral("clbGV"));
        options.findChild<QToolButton *>(QStringLiteral("btnAlleGV"))->click();
        clbGV->setCurrentRow(3);
        for (int press = 0; press < 3; ++press)
            options.findChild<QToolButton *>(QStringLiteral("btnUpGV"))->click();
        auto *clbHerkunft = options.findChild<QListWidget *>(QStringLiteral("clbHerkunft"));
        clbHerkunft->item(0)->setCheckState(Qt::Unchecked);
        clbHerkunft->item(10)->setCheckState(Qt::Checked);
        options.findChild<QPushButton *>(QStringLiteral("btnWeiter"))->click();
    });

    QCOMPARE(host->store.value("GV07"), QStringLiteral("INVDIFF|KUNDBEST|RESERV|LIEFRET|ABSCHR"));
    QCOMPARE(host->store.value("HERKUNFT07"), QStringLiteral("K"));
    QCOMPARE(noticeText(notice), ersteZeile +
                                     "\r\nInventurdifferenz: 4 / Kundenbestellung: 2 / Reservierung: 6 / "
                                     "Lieferantenretoure: 1 / Abschrift: 9\r\nKasse: 1\r\n\r\n" +
                                     frage);
    QVERIFY(notice.height() > heightBefore); // the longer type line wraps
    QVERIFY(notice.isVisible());
    QVERIFY(!host->terminated);
    QVERIFY(host->reports.isEmpty());
}

void TestRoundTrip::leavingWithoutSavingKeepsTheNotice()
{
    ScopedRecordingHost host;
    setCounts(*host);
    TDMOrdovant dm;
    QVERIFY(dm.ExistAbsortierAufgaben(true));
    TInfoboxFrm notice;
    notice.show();
    const QString textBefore = noticeText(notice);
    host->gvCounts[3] = 7; // the check that "Zurück" runs counts anew

    openOptions(notice, [](QWidget &options) {
        options.findChild<QToolButton *>(QStringLiteral("btnAlleGV"))->click();
        options.findChild<QPushButton *>(QStringLiteral("btnZurueck"))->click();
    });

    QCOMPARE(host->count("TSimpleMask.WriteLocal"), 0);
    QCOMPARE(noticeText(notice), QString(textBefore).replace("Kundenbestellung: 2", "Kundenbestellung: 7"));
    QVERIFY(!host->terminated);
}

void TestRoundTrip::noTaskLeftEndsTheProgram()
{
    ScopedRecordingHost host;
    setCounts(*host);
    TDMOrdovant dm;
    QVERIFY(dm.ExistAbsortierAufgaben(true));
    TInfoboxFrm notice;
    notice.show();
    host->clearRecord();
    // Meanwhile every task was done.
    host->detailTotal = 0;
    host->gvCounts = {};
    host->herkunftCounts = {};

    openOptions(notice, [](QWidget &options) {
        options.findChild<QPushButton *>(QStringLiteral("btnWeiter"))->click();
    });

    QVERIFY(host->terminated);
    QVERIFY(host->started.isEmpty());
    // The notice was composed once more after the check, from the counts that check found.
    const QStringList names = host->callNames();
    QVERIFY(names.lastIndexOf("TSimpleMask.ReadLocalDef") > names.indexOf(detailCheck));
    QCOMPARE(host->count(detailCheck), 1);
    QCOMPARE(noticeText(notice), ersteZeile + "\r\n" + frage);
}

QTEST_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
