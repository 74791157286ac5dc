// What the window system shows in the title bar: the real program on an X display (xvfb-run), its
// window read back with xdotool. Offscreen, the window title never reaches a window system.

#include "../support/programrun.h"
#include "../support/standalonehosthome.h"
#include "../support/tooloutput.h"

#include <QtTest>

#include <optional>

namespace {

constexpr int TimeoutMs = 30000;

// Terminal 07 of branch 42, which has an open sort-out task and an expired reservation.
const QByteArray HostIni = "[Terminal]\nID=07\n[Startparameter]\nTORVELIN=ja\n[Geschaeftsdatum]\n"
                           "Datum=2026-12-08\n[Warenabgabe]\n17=42\n";

} // namespace

class TestWindowTitles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void titleBarShowsTheWindowsOwnTitle_data();
    void titleBarShowsTheWindowsOwnTitle();
};

void TestWindowTitles::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display: run it under xvfb-run");
}

void TestWindowTitles::titleBarShowsTheWindowsOwnTitle_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("platform"); // QT_QPA_PLATFORM; empty: unset, as in a desktop session

    // The sort-out notice, without the automatic printing before it.
    QTest::newRow("notice") << "-KD" << QStringLiteral("Überprüfung Absortieraufgaben") << "xcb";
    QTest::newRow("expired notice") << "-A"
                                    << QStringLiteral("Überprüfung abgelaufener Reservierungen/Auswahlen")
                                    << "xcb";
    QTest::newRow("options") << "-O" << QStringLiteral("Optionen") << "xcb";
    // The session's own window system, found among those tried in turn.
    QTest::newRow("notice, the session's window system")
        << "-KD" << QStringLiteral("Überprüfung Absortieraufgaben") << "";
}

void TestWindowTitles::titleBarShowsTheWindowsOwnTitle()
{
    QFETCH(QString, argument);
    QFETCH(QString, title);
    QFETCH(QString, platform);
    StandaloneHostHome home;
    const HostSetup setup{.hostIni = HostIni,
                          .branch = {"--task", "42,3,11", "--beleg", "42,32,2000-01-01"},
                          .environment = {{"QT_QPA_PLATFORM", platform.isEmpty() ? QString() : platform}}};
    PREPARE_HOME(home, setup);
    ProgramRun ordovant(home);
    QVERIFY(ordovant.start({argument.toUtf8()}));

    const QString window =
        toolOutput(QStringLiteral("xdotool"), {"search", "--sync", "--onlyvisible", "--pid",
                                               QString::number(ordovant.process().processId())})
            .value_or(QString())
            .section(u'\n', 0, 0);
    QVERIFY2(!window.isEmpty(), qPrintable(ordovant.transcript()));
    QTRY_COMPARE(toolOutput(QStringLiteral("xdotool"), {"getwindowname", window}).value_or(QString()), title);
}

QTEST_GUILESS_MAIN(TestWindowTitles)
#include "tst_windowtitles.moc"
