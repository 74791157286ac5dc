#include "host/hosterror.h"
#include "support/noticefixture.h"
#include "support/recordinghost.h"
#include "ui/infobox.h"
#include "ui/optionenfrm.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

const QString firstLine = QStringLiteral("Es liegen Absortieraufgaben für diese Filiale vor.");

template <typename T = QWidget> T *control(QWidget &notice, const QString &name)
{
    return notice.findChild<T *>(name);
}

QLabel *ausgabe(QWidget &notice)
{
    return control<QLabel>(notice, QStringLiteral("lblAusgabe"));
}

QPushButton *button(QWidget &notice, const QString &name)
{
    return control<QPushButton>(notice, name);
}

// As many type entries as the notice needs lines of text.
QString manyTypes(int count)
{
    QStringList codes;
    for (int i = 0; i < count; ++i)
        codes << QStringLiteral("KUNDBEST");
    return codes.join(u'|');
}

void showAndWait(QWidget &notice)
{
    notice.show();
    QVERIFY(QTest::qWaitForWindowExposed(&notice));
}

// The rule of the notice: outside, the window is 112 pixels taller than its label, and the label is
// as tall as its wrapped text.
void verifyHeightRule(QWidget &notice)
{
    QLabel *label = ausgabe(notice);
    if (label->text().isEmpty())
        QCOMPARE(label->height(), label->fontMetrics().height());
    else
        QCOMPARE(label->height(), label->heightForWidth(657));
    QCOMPARE(notice.frameGeometry().height(), label->height() + 112);
}

// The designed distances to the window's bottom edge hold at every height.
void verifyAnchors(QWidget &notice)
{
    auto *background = control<QFrame>(notice, QStringLiteral("pnlHintergrund"));
    auto *content = control<QFrame>(notice, QStringLiteral("pnlContent"));
    auto *buttonBar = control<QFrame>(notice, QStringLiteral("pnlButtonHintergrund"));
    QCOMPARE(notice.height() - background->geometry().bottom() - 1, 5);
    QCOMPARE(background->height() - content->geometry().bottom() - 1, 48);
    QCOMPARE(background->height() - buttonBar->geometry().bottom() - 1, 4);
    QCOMPARE(buttonBar->height(), 41);
    QCOMPARE(content->pos(), QPoint(4, 4));
}

} // namespace

class TestInfobox : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    // --- Creation ---
    void creationSetsGlobalAndInitialisesForm();
    void designTimeSkipsFormInit();
    void failingFormInitIsReported();
    void failedCreationClearsGlobal();

    // --- The form as designed ---
    void designedLayout_data();
    void designedLayout();
    void windowFrame();
    void controls();

    // --- Showing ---
    void opensCentredWithJaFocused();
    void heightFollowsLongerAndShorterText();
    void textTallerThanScreenStaysReadable();
    void expiredNotice();

    // --- Keys and buttons ---
    void keysAnswer_data();
    void keysAnswer();
    void jaStartsBranchProgram_data();
    void jaStartsBranchProgram();
    void failedStartKeepsNoticeOpen_data();
    void failedStartKeepsNoticeOpen();
    void closeBoxEndsWithoutStart();
    void withoutDataModuleNothingStarts();

    // --- Options ---
    void optionsComposeTheNoticeAnew();
};

void TestInfobox::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty());
    QVERIFY(!InfoboxFrm);
}

void TestInfobox::creationSetsGlobalAndInitialisesForm()
{
    ScopedRecordingHost host;
    {
        TInfoboxFrm notice;
        QCOMPARE(InfoboxFrm, &notice);
        QCOMPARE(host->callNames().filter(QRegularExpression("^(Designing|QVXFormInit)")),
                 QStringList({"Designing_InComponentState", "QVXFormInit"}));
        QCOMPARE(host->callsNamed(QStringLiteral("QVXFormInit")),
                 QStringList{"QVXFormInit(\"InfoboxFrm\", true)"});
        QCOMPARE(host->count(QStringLiteral("TAppExec.Create")), 1);
        QVERIFY(host->reports.isEmpty());
    }
    QVERIFY(!InfoboxFrm);
    QCOMPARE(host->count(QStringLiteral("TAppExec.Free")), 1);
}

void TestInfobox::designTimeSkipsFormInit()
{
    ScopedRecordingHost host;
    host->designing = true;
    TInfoboxFrm notice;
    QCOMPARE(host->count(QStringLiteral("QVXFormInit")), 0);
    QVERIFY(host->reports.isEmpty());
}

void TestInfobox::failingFormInitIsReported()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("QVXFormInit"));
    TInfoboxFrm notice;
    QCOMPARE(InfoboxFrm, &notice);
    QCOMPARE(host->reportLabels(), QStringList{"TInfoboxFrm.FormCreate"});
}

void TestInfobox::failedCreationClearsGlobal()
{
    ScopedRecordingHost host;
    host->failOn(QStringLiteral("TAppExec.Create"));
    QVERIFY_THROWS_EXCEPTION(HostError, TInfoboxFrm());
    QVERIFY(!InfoboxFrm);
}

void TestInfobox::designedLayout_data()
{
    QTest::addColumn<QString>("holder"); // the row's name is the control's
    QTest::addColumn<QRect>("geometry");

    // clang-format off
    QTest::newRow("pnlHintergrund") << "InfoboxFrm" << QRect(4, 4, 681, 101);
    QTest::newRow("pnlContent") << "pnlHintergrund" << QRect(4, 4, 673, 49);
    QTest::newRow("pnlButtonHintergrund") << "pnlHintergrund" << QRect(4, 56, 673, 41);
    QTest::newRow("pnlButtons") << "pnlButtonHintergrund" << QRect(4, 4, 665, 33);
    QTest::newRow("btnJa") << "pnlButtons" << QRect(528, 4, 133, 27);
    QTest::newRow("btnOptionen") << "pnlButtons" << QRect(268, 4, 125, 27);
    QTest::newRow("btnNein") << "pnlButtons" << QRect(4, 4, 125, 27);
    // clang-format on
}

void TestInfobox::designedLayout()
{
    QFETCH(QString, holder);
    QFETCH(QRect, geometry);

    ScopedRecordingHost host;
    TInfoboxFrm notice;
    QCOMPARE(notice.size(), QSize(688, 110));
    QWidget *widget = control(notice, QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(widget);
    QWidget *holderWidget = holder == notice.objectName() ? &notice : control(notice, holder);
    QVERIFY(holderWidget);
    QVERIFY(holderWidget->isAncestorOf(widget));
    QCOMPARE(QRect(widget->mapTo(holderWidget, QPoint(0, 0)), widget->size()), geometry);
}

void TestInfobox::windowFrame()
{
    ScopedRecordingHost host;
    TInfoboxFrm notice;
    QCOMPARE(notice.windowTitle(), QStringLiteral("Überprüfung Absortieraufgaben"));
    const Qt::WindowFlags flags = notice.windowFlags();
    QCOMPARE(flags & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    QCOMPARE(notice.minimumSize(), notice.maximumSize());
    QCOMPARE(notice.palette().color(QPalette::Window), notice.palette().color(QPalette::Button));
    QVERIFY(!notice.isModal());
}

void TestInfobox::controls()
{
    ScopedRecordingHost host;
    TInfoboxFrm notice;

    QLabel *label = ausgabe(notice);
    QCOMPARE(label->font().family(), QStringLiteral("Arial"));
    QCOMPARE(label->font().pixelSize(), 27);
    QVERIFY(label->font().bold());
    QCOMPARE(label->palette().color(label->foregroundRole()), QColor(Qt::red));
    QCOMPARE(label->minimumWidth(), 657);
    QCOMPARE(label->maximumWidth(), 657);
    QVERIFY(label->wordWrap());
    QCOMPARE(label->textFormat(), Qt::PlainText);
    QVERIFY(!label->buddy());

    auto *content = control(notice, QStringLiteral("pnlContent"));
    QCOMPARE(content->font().pixelSize(), 27);
    QCOMPARE(content->palette().color(QPalette::WindowText), QColor(Qt::red));
    QCOMPARE(control<QFrame>(notice, QStringLiteral("pnlHintergrund"))->frameShadow(), QFrame::Sunken);
    QCOMPARE(control<QFrame>(notice, QStringLiteral("pnlButtons"))->frameShape(), QFrame::NoFrame);

    QPushButton *ja = button(notice, QStringLiteral("btnJa"));
    QPushButton *nein = button(notice, QStringLiteral("btnNein"));
    QPushButton *optionen = button(notice, QStringLiteral("btnOptionen"));
    QCOMPARE(ja->text(), QStringLiteral("Ja"));
    QCOMPARE(nein->text(), QStringLiteral("Nein"));
    QCOMPARE(optionen->text(), QStringLiteral("Optionen"));
    for (QPushButton *b : {ja, nein, optionen})
        QVERIFY2(!b->icon().isNull(), qPrintable(b->objectName()));
    QVERIFY(ja->isDefault());
    QCOMPARE(ja->layoutDirection(), Qt::RightToLeft);
    QCOMPARE(nein->layoutDirection(), Qt::LeftToRight);
    QCOMPARE(control<QLabel>(notice, QStringLiteral("btnJaTaste"))->text(), QStringLiteral("Enter"));
    QCOMPARE(control<QLabel>(notice, QStringLiteral("btnNeinTaste"))->text(), QStringLiteral("Esc"));
    QVERIFY(ja->toolTip().contains(QStringLiteral("Enter")));
    QVERIFY(nein->toolTip().contains(QStringLiteral("Esc")));

    QCOMPARE(ja->nextInFocusChain(), nein);
    QCOMPARE(nein->nextInFocusChain(), optionen);
}

void TestInfobox::opensCentredWithJaFocused()
{
    NoticeFixture shown;
    QVERIFY(shown.show());
    TInfoboxFrm &notice = shown.notice();

    QCOMPARE(notice.focusWidget(), button(notice, QStringLiteral("btnJa")));
    const QPoint offset = notice.frameGeometry().center() - notice.screen()->availableGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    QVERIFY(ausgabe(notice)->text().startsWith(firstLine));
    // The label stands where it was designed; its height follows the text.
    QCOMPARE(ausgabe(notice)->mapTo(control(notice, QStringLiteral("pnlContent")), QPoint(0, 0)),
             QPoint(8, 8));
    QCOMPARE(ausgabe(notice)->width(), 657);
    verifyHeightRule(notice);
    verifyAnchors(notice);
}

void TestInfobox::heightFollowsLongerAndShorterText()
{
    NoticeFixture shown;
    QVERIFY(shown.show());
    TInfoboxFrm &notice = shown.notice();
    verifyHeightRule(notice);
    const int designedText = notice.frameGeometry().height();

    shown.host->store.insert(QStringLiteral("GV07"), manyTypes(12));
    notice.hide();
    notice.show();
    verifyHeightRule(notice);
    verifyAnchors(notice);
    const int longerText = notice.frameGeometry().height();
    QVERIFY(longerText > designedText);

    shown.host->store.insert(QStringLiteral("GV07"), QString());
    shown.host->store.insert(QStringLiteral("HERKUNFT07"), QString());
    notice.hide();
    notice.show();
    verifyHeightRule(notice);
    verifyAnchors(notice);
    QVERIFY(notice.frameGeometry().height() < designedText);
    QVERIFY(!control<QScrollArea>(notice, QStringLiteral("scrAusgabe"))->verticalScrollBar()->isVisible());
}

void TestInfobox::textTallerThanScreenStaysReadable()
{
    NoticeFixture shown;
    shown.host->store.insert(QStringLiteral("GV07"), manyTypes(120));
    QVERIFY(shown.show());
    TInfoboxFrm &notice = shown.notice();

    const QRect screenArea = notice.screen()->availableGeometry();
    QLabel *label = ausgabe(notice);
    QCOMPARE(label->height(), label->heightForWidth(657));
    QVERIFY(label->height() + 112 > screenArea.height());
    QVERIFY(screenArea.contains(notice.frameGeometry()));
    for (const char *name : {"btnJa", "btnNein", "btnOptionen"}) {
        QPushButton *b = button(notice, QString::fromLatin1(name));
        QVERIFY(screenArea.contains(QRect(b->mapToGlobal(QPoint(0, 0)), b->size())));
        QVERIFY(notice.rect().contains(QRect(b->mapTo(&notice, QPoint(0, 0)), b->size())));
    }
    verifyAnchors(notice);

    // The whole text can be scrolled into view, beside the scroll bar and not under it.
    auto *area = control<QScrollArea>(notice, QStringLiteral("scrAusgabe"));
    QScrollBar *bar = area->verticalScrollBar();
    QVERIFY(bar->isVisible());
    bar->setValue(bar->maximum());
    const QRect visible(QPoint(0, 0), area->viewport()->size());
    const QRect labelInViewport(label->mapTo(area->viewport(), QPoint(0, 0)), label->size());
    QVERIFY(labelInViewport.bottom() <= visible.bottom());
    QVERIFY(labelInViewport.left() >= 0);
    QVERIFY(labelInViewport.right() <= visible.right());

    // Back to a short text: the height rule applies again and nothing scrolls.
    shown.host->store.insert(QStringLiteral("GV07"), QStringLiteral("KUNDBEST"));
    notice.hide();
    notice.show();
    verifyHeightRule(notice);
    QVERIFY(!bar->isVisible());
    QCOMPARE(label->mapTo(control(notice, QStringLiteral("pnlContent")), QPoint(0, 0)), QPoint(8, 8));
}

void TestInfobox::expiredNotice()
{
    NoticeFixture shown;
    QVERIFY(shown.show(NoticeFixture::Check::Expired));
    TInfoboxFrm &notice = shown.notice();

    QCOMPARE(notice.windowTitle(), QStringLiteral("Überprüfung abgelaufener Reservierungen/Auswahlen"));
    QVERIFY(!button(notice, QStringLiteral("btnOptionen"))->isVisible());
    QCOMPARE(ausgabe(notice)->text().count(QStringLiteral("\r\n")), 1);
    verifyHeightRule(notice);
}

void TestInfobox::keysAnswer_data()
{
    QTest::addColumn<QString>("focused");
    QTest::addColumn<int>("key"); // 0: the focused button is clicked
    QTest::addColumn<bool>("started");

    QTest::newRow("Return on Ja") << "btnJa" << int(Qt::Key_Return) << true;
    QTest::newRow("Enter on Ja") << "btnJa" << int(Qt::Key_Enter) << true;
    QTest::newRow("Esc on Ja") << "btnJa" << int(Qt::Key_Escape) << false;
    QTest::newRow("Esc on Optionen") << "btnOptionen" << int(Qt::Key_Escape) << false;
    QTest::newRow("Nein clicked") << "btnNein" << 0 << false;
}

void TestInfobox::keysAnswer()
{
    QFETCH(QString, focused);
    QFETCH(int, key);
    QFETCH(bool, started);

    NoticeFixture shown;
    QVERIFY(shown.show());
    TInfoboxFrm &notice = shown.notice();
    button(notice, focused)->setFocus();
    shown.host->clearRecord();

    if (key)
        QTest::keyClick(notice.focusWidget(), Qt::Key(key));
    else
        button(notice, focused)->click();

    QCOMPARE(shown.host->callNames(),
             started ? QStringList({"GetDirWwsByName", "TAppExec.Execute", "Application.Terminate"})
                     : QStringList{"Application.Terminate"});
    QCOMPARE(shown.host->started.size(), started ? 1 : 0);
    QVERIFY(shown.host->terminated);
    QVERIFY(!notice.isVisible());
    QVERIFY(shown.host->reports.isEmpty());
}

void TestInfobox::jaStartsBranchProgram_data()
{
    QTest::addColumn<bool>("expired");
    QTest::addColumn<QString>("parameter");

    QTest::newRow("sort-out tasks") << false << "-AbsortAufgaben";
    QTest::newRow("expired reservations") << true << "-OffeneBelege";
}

void TestInfobox::jaStartsBranchProgram()
{
    QFETCH(bool, expired);
    QFETCH(QString, parameter);

    NoticeFixture shown;
    QVERIFY(shown.show(expired ? NoticeFixture::Check::Expired : NoticeFixture::Check::SortOut));
    TInfoboxFrm &notice = shown.notice();

    button(notice, QStringLiteral("btnJa"))->click();

    QCOMPARE(shown.host->callNames(),
             QStringList({"GetDirWwsByName", "TAppExec.Execute", "Application.Terminate"}));
    QCOMPARE(shown.host->callsNamed(QStringLiteral("GetDirWwsByName")),
             QStringList{"GetDirWwsByName(\"FERTIG\", \"\", true)"});
    QCOMPARE(shown.host->started.size(), 1);
    const AppExecRequest &request = shown.host->started.first();
    QCOMPARE(request.exePath, QStringLiteral("/opt/torvelin"));
    QCOMPARE(request.exeName, QStringLiteral("TORVELIN.EXE"));
    QCOMPARE(request.parameters, QStringList{parameter});
    QCOMPARE(request.wait, false);
    QCOMPARE(request.windowState, TWindowState::Normal);
    QVERIFY(shown.host->terminated);
    QVERIFY(!notice.isVisible());
}

void TestInfobox::failedStartKeepsNoticeOpen_data()
{
    QTest::addColumn<QString>("failingCall");
    QTest::addColumn<bool>("executed");

    QTest::newRow("start fails") << "TAppExec.Execute" << true;
    QTest::newRow("directory unknown") << "" << false;
    QTest::newRow("directory lookup fails") << "GetDirWwsByName" << false;
}

void TestInfobox::failedStartKeepsNoticeOpen()
{
    QFETCH(QString, failingCall);
    QFETCH(bool, executed);

    NoticeFixture shown;
    QVERIFY(shown.show());
    TInfoboxFrm &notice = shown.notice();
    const auto directories = shown.host->directories;
    if (failingCall.isEmpty())
        shown.host->directories.clear();
    else
        shown.host->failOn(failingCall);

    button(notice, QStringLiteral("btnJa"))->click();

    QCOMPARE(shown.host->count(QStringLiteral("TAppExec.Execute")), executed ? 1 : 0);
    QVERIFY(shown.host->started.isEmpty());
    QVERIFY(!shown.host->terminated);
    QVERIFY(notice.isVisible());
    QCOMPARE(shown.host->reportLabels(), QStringList{"TInfoboxFrm.btnJaClick"});

    // The user can try again: the second start has its one parameter, not two.
    shown.host->directories = directories;
    shown.host->succeedAgain(failingCall);
    button(notice, QStringLiteral("btnJa"))->click();
    QCOMPARE(shown.host->started.size(), 1);
    QCOMPARE(shown.host->started.first().parameters, QStringList{"-AbsortAufgaben"});
    QVERIFY(shown.host->terminated);
    QVERIFY(!notice.isVisible());
}

void TestInfobox::closeBoxEndsWithoutStart()
{
    NoticeFixture shown;
    QVERIFY(shown.show());
    TInfoboxFrm &notice = shown.notice();
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);

    // As the main window the notice ends the message loop when it is closed.
    QTimer::singleShot(0, &notice, [&] { QVERIFY(notice.close()); });
    QCOMPARE(QApplication::exec(), 0);

    QVERIFY(!notice.isVisible());
    QCOMPARE(lastWindowClosed.count(), 1);
    QVERIFY(shown.host->started.isEmpty());
    QCOMPARE(shown.host->count(QStringLiteral("GetDirWwsByName")), 0);
    QVERIFY(shown.host->reports.isEmpty());
}

void TestInfobox::withoutDataModuleNothingStarts()
{
    ScopedRecordingHost host;
    TInfoboxFrm notice;
    showAndWait(notice);
    QVERIFY(host->reportLabels().contains(QStringLiteral("TInfoboxFrm.AusgabeText_Einstellen")));
    verifyHeightRule(notice);
    host->clearRecord();

    button(notice, QStringLiteral("btnJa"))->click();

    QVERIFY(host->started.isEmpty());
    QVERIFY(!host->terminated);
    QVERIFY(notice.isVisible());
    QCOMPARE(host->reportLabels(), QStringList{"TInfoboxFrm.btnJaClick"});
    notice.close();
}

void TestInfobox::optionsComposeTheNoticeAnew()
{
    NoticeFixture shown;
    QVERIFY(shown.show());
    TInfoboxFrm &notice = shown.notice();
    const QString before = ausgabe(notice)->text();

    // While the options dialog is open, another workstation session changed the stored choice;
    // closing it by its close box stores nothing and runs no check.
    QPointer<QWidget> options;
    bool optionsShown = false;
    QString optionsName;
    QTimer::singleShot(0, &notice, [&] {
        options = QApplication::activeModalWidget();
        optionsShown = qobject_cast<TfrmOptionen *>(options.data()) != nullptr;
        optionsName = options ? options->objectName() : QString();
        shown.host->store.insert(QStringLiteral("GV07"), manyTypes(12));
        if (options)
            options->close();
    });
    button(notice, QStringLiteral("btnOptionen"))->click();

    QVERIFY(optionsShown);
    QCOMPARE(optionsName, QStringLiteral("frmOptionen"));
    QVERIFY(options.isNull());
    QVERIFY(ausgabe(notice)->text() != before);
    QCOMPARE(notice.focusWidget(), button(notice, QStringLiteral("btnJa")));
    verifyHeightRule(notice);
    QVERIFY(notice.isVisible());
    QVERIFY(!shown.host->terminated);
    QVERIFY(!shown.host->reportLabels().contains(QStringLiteral("TInfoboxFrm.btnOptionenClick")));
}

QTEST_MAIN(TestInfobox)
#include "tst_infobox.moc"
