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
#include <memory>

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

// The start as the program runs it on a branch with the counts of setCounts(): the data module's
// sort-out check, then the notice on screen.
struct CountedStart
{
    CountedStart()
    {
        setCounts(*host);
        found = dm.ExistAbsortierAufgaben(true);
        notice = std::make_unique<TInfoboxFrm>();
        notice->show();
    }

    ScopedRecordingHost host;
    TDMOrdovant dm;
    bool found = false;
    std::unique_ptr<TInfoboxFrm> notice;
};

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
    CountedStart start;
    QVERIFY(start.found);
    QCOMPARE(noticeText(*start.notice),
             ersteZeile + "\r\nKundenbestellung: 2\r\nKundenauftrag: 3\r\n\r\n" + frage);
    const int heightBefore = start.notice->height();

    openOptions(*start.notice, [](QWidget &options) {
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

    QCOMPARE(start.host->store.value("GV07"), QStringLiteral("INVDIFF|KUNDBEST|RESERV|LIEFRET|ABSCHR"));
    QCOMPARE(start.host->store.value("HERKUNFT07"), QStringLiteral("K"));
    QCOMPARE(noticeText(*start.notice),
             ersteZeile +
                 "\r\nInventurdifferenz: 4 / Kundenbestellung: 2 / Reservierung: 6 / "
                 "Lieferantenretoure: 1 / Abschrift: 9\r\nKasse: 1\r\n\r\n" +
                 frage);
    QVERIFY(start.notice->height() > heightBefore); // the longer type line wraps
    QVERIFY(start.notice->isVisible());
    QVERIFY(!start.host->terminated);
    QVERIFY(start.host->reports.isEmpty());
}

void TestRoundTrip::leavingWithoutSavingKeepsTheNotice()
{
    CountedStart start;
    QVERIFY(start.found);
    const QString textBefore = noticeText(*start.notice);
    start.host->gvCounts[3] = 7; // the check that "Zurück" runs counts anew

    openOptions(*start.notice, [](QWidget &options) {
        options.findChild<QToolButton *>(QStringLiteral("btnAlleGV"))->click();
        options.findChild<QPushButton *>(QStringLiteral("btnZurueck"))->click();
    });

    QCOMPARE(start.host->count("TSimpleMask.WriteLocal"), 0);
    QCOMPARE(noticeText(*start.notice),
             QString(textBefore).replace("Kundenbestellung: 2", "Kundenbestellung: 7"));
    QVERIFY(!start.host->terminated);
}

void TestRoundTrip::noTaskLeftEndsTheProgram()
{
    CountedStart start;
    QVERIFY(start.found);
    start.host->clearRecord();
    // Meanwhile every task was done.
    start.host->detailTotal = 0;
    start.host->gvCounts = {};
    start.host->herkunftCounts = {};

    openOptions(*start.notice, [](QWidget &options) {
        options.findChild<QPushButton *>(QStringLiteral("btnWeiter"))->click();
    });

    QVERIFY(start.host->terminated);
    QVERIFY(start.host->started.isEmpty());
    // The notice was composed once more after the check, from the counts that check found.
    const QStringList names = start.host->callNames();
    QVERIFY(names.lastIndexOf("TSimpleMask.ReadLocalDef") > names.indexOf(detailCheck));
    QCOMPARE(start.host->count(detailCheck), 1);
    QCOMPARE(noticeText(*start.notice), ersteZeile + "\r\n" + frage);
}

QTEST_MAIN(TestRoundTrip)
#include "tst_roundtrip.moc"
