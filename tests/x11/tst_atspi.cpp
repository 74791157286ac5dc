// Both dialogs as a screen reader meets them: the real program on a virtual display (xvfb-run), its
// accessibility bus started on a private session bus (dbus-run-session), read and driven through AT-SPI
// (libatspi); keys come through the X server (xdotool), as from a keyboard.

// GLib's headers use the word "signals", which Qt defines as a macro: libatspi comes first.
#include <atspi/atspi.h>

#include "../support/branchprogram.h"
#include "../support/programrun.h"
#include "../support/standalonehosthome.h"
#include "../support/tooloutput.h"

#include <QScopeGuard>
#include <QtTest>

#include <functional>
#include <memory>
#include <optional>

namespace {

constexpr int TimeoutMs = 30000;

// Terminal 07 of branch 42, which has one open sort-out task of type "KUNDBEST" and origin "O".
const QByteArray HostIni = "[Terminal]\nID=07\n[Startparameter]\nTORVELIN=ja\n[Geschaeftsdatum]\n"
                           "Datum=2026-12-08\n[Verzeichnisse]\nFERTIG=fertig\n[Warenabgabe]\n17=42\n";

using Accessible = std::shared_ptr<AtspiAccessible>;

Accessible hold(AtspiAccessible *accessible)
{
    return Accessible(accessible, [](AtspiAccessible *held) {
        if (held)
            g_object_unref(held);
    });
}

QString taken(gchar *text)
{
    const QString result = QString::fromUtf8(text);
    g_free(text);
    return result;
}

QString nameOf(AtspiAccessible *accessible)
{
    return taken(atspi_accessible_get_name(accessible, nullptr));
}

bool hasState(AtspiAccessible *accessible, AtspiStateType state)
{
    AtspiStateSet *states = atspi_accessible_get_state_set(accessible);
    const bool has = atspi_state_set_contains(states, state);
    g_object_unref(states);
    return has;
}

// The first object below `root`, depth first, of that role whose name `fits`.
Accessible find(AtspiAccessible *root, AtspiRole role, const std::function<bool(const QString &)> &fits)
{
    const int count = atspi_accessible_get_child_count(root, nullptr);
    for (int index = 0; index < count; ++index) {
        const Accessible child = hold(atspi_accessible_get_child_at_index(root, index, nullptr));
        if (!child)
            continue;
        if (atspi_accessible_get_role(child.get(), nullptr) == role && fits(nameOf(child.get())))
            return child;
        if (Accessible found = find(child.get(), role, fits))
            return found;
    }
    return {};
}

Accessible findNamed(AtspiAccessible *root, AtspiRole role, const QString &name)
{
    return find(root, role, [&](const QString &candidate) { return candidate == name; });
}

// The program's application on the bus. Its objects are asked afresh each time: the test runs no GLib
// loop that would bring the changes into libatspi's cache.
Accessible application(qint64 pid)
{
    const Accessible desktop = hold(atspi_get_desktop(0));
    const int count = atspi_accessible_get_child_count(desktop.get(), nullptr);
    for (int index = 0; index < count; ++index) {
        Accessible child = hold(atspi_accessible_get_child_at_index(desktop.get(), index, nullptr));
        if (child && atspi_accessible_get_process_id(child.get(), nullptr) == pid) {
            atspi_accessible_set_cache_mask(child.get(), ATSPI_CACHE_NONE);
            return child;
        }
    }
    return {};
}

// A list's entries by name, "+" behind a checked one.
QString entries(AtspiAccessible *list)
{
    atspi_accessible_clear_cache(list);
    QStringList result;
    const int count = atspi_accessible_get_child_count(list, nullptr);
    for (int index = 0; index < count; ++index) {
        const Accessible entry = hold(atspi_accessible_get_child_at_index(list, index, nullptr));
        result << nameOf(entry.get()) + (hasState(entry.get(), ATSPI_STATE_CHECKED) ? "+" : "");
    }
    return result.join(u'|');
}

bool doAction(AtspiAccessible *accessible, const QString &name)
{
    AtspiAction *action = atspi_accessible_get_action_iface(accessible);
    if (!action)
        return false;
    const auto release = qScopeGuard([&] { g_object_unref(action); });
    const int count = atspi_action_get_n_actions(action, nullptr);
    for (int index = 0; index < count; ++index) {
        if (taken(atspi_action_get_action_name(action, index, nullptr)) == name)
            return atspi_action_do_action(action, index, nullptr);
    }
    return false;
}

// Gives the program's window the keyboard, through the X server, and presses `keys` there.
bool pressKeys(qint64 pid, const QStringList &keys = {})
{
    const QString window = toolOutput(QStringLiteral("xdotool"),
                                      {"search", "--sync", "--onlyvisible", "--pid", QString::number(pid)})
                               .value_or(QString())
                               .section(u'\n', 0, 0);
    QStringList arguments{"windowfocus", "--sync", window};
    if (!keys.isEmpty())
        arguments << "key" << keys;
    return !window.isEmpty() && toolOutput(QStringLiteral("xdotool"), arguments).has_value();
}

} // namespace

class TestAtspi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void noticeIsReadAndJaStartsTheBranchProgram();
    void optionsListsAreReadAndAltDownMovesAnEntry();

private:
    // Starts ordovant with `argument` and waits for its window on the accessibility bus.
    Accessible start(const QString &argument);

    std::unique_ptr<StandaloneHostHome> m_home;
    std::unique_ptr<ProgramRun> m_ordovant;
};

void TestAtspi::initTestCase()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        QSKIP("needs an X display: run it under xvfb-run");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        QSKIP("needs a session bus: run it under dbus-run-session");
    // libatspi ends the process when it finds no accessibility bus: ask the session bus first.
    QProcess launcher;
    launcher.start(QStringLiteral("dbus-send"), {"--session", "--print-reply", "--dest=org.a11y.Bus",
                                                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"});
    if (!launcher.waitForFinished(TimeoutMs) || launcher.exitStatus() != QProcess::NormalExit ||
        launcher.exitCode() != 0)
        QSKIP(qPrintable("the accessibility bus does not start: " +
                         (launcher.error() == QProcess::FailedToStart
                              ? launcher.errorString()
                              : QString::fromUtf8(launcher.readAllStandardError()).trimmed())));
    atspi_init();
    GError *error = nullptr;
    const Accessible desktop = hold(atspi_get_desktop(0));
    if (atspi_accessible_get_child_count(desktop.get(), &error) < 0 || error) {
        const QString reason = error ? QString::fromUtf8(error->message) : QStringLiteral("no registry");
        g_clear_error(&error);
        QSKIP(qPrintable("the accessibility registry does not answer: " + reason));
    }
}

void TestAtspi::init()
{
    m_home.reset();
    m_home = std::make_unique<StandaloneHostHome>();
    PREPARE_HOME(*m_home, (HostSetup{.hostIni = HostIni, .branch = {"--task", "42,3,11"}}));
    QVERIFY(installBranchProgram(m_home->filePath(QStringLiteral("fertig"))));
}

void TestAtspi::cleanup()
{
    m_ordovant.reset();
}

Accessible TestAtspi::start(const QString &argument)
{
    m_ordovant = std::make_unique<ProgramRun>(*m_home);
    m_ordovant->setVariable(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    m_ordovant->setVariable(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    m_ordovant->start({argument.toUtf8()});
    Accessible window;
    QDeadlineTimer deadline(TimeoutMs);
    while (!window && !deadline.hasExpired() && m_ordovant->process().state() != QProcess::NotRunning) {
        if (const Accessible app = application(m_ordovant->process().processId()))
            window = hold(atspi_accessible_get_child_at_index(app.get(), 0, nullptr));
        if (!window)
            QTest::qWait(100);
    }
    if (!window)
        qWarning("%s", qPrintable(m_ordovant->transcript()));
    return window;
}

void TestAtspi::noticeIsReadAndJaStartsTheBranchProgram()
{
    const Accessible window = start(QStringLiteral("-KD"));
    QVERIFY(window);
    QCOMPARE(nameOf(window.get()), QStringLiteral("Überprüfung Absortieraufgaben"));

    const Accessible text = find(window.get(), ATSPI_ROLE_LABEL, [](const QString &name) {
        return name.startsWith(QStringLiteral("Es liegen"));
    });
    QVERIFY(text);
    QCOMPARE(nameOf(text.get()), QStringLiteral("Es liegen Absortieraufgaben für diese Filiale vor.\r\n"
                                                "Kundenbestellung: 1\r\nKundenauftrag: 1\r\n\r\n"
                                                "Möchten Sie diese sofort erledigen?"));

    const Accessible ja = findNamed(window.get(), ATSPI_ROLE_PUSH_BUTTON, QStringLiteral("Ja"));
    QVERIFY(ja);
    QVERIFY(pressKeys(m_ordovant->process().processId()));
    QTRY_VERIFY_WITH_TIMEOUT(hasState(ja.get(), ATSPI_STATE_FOCUSED), TimeoutMs);
    QVERIFY(doAction(ja.get(), QStringLiteral("Press")));

    QVERIFY(m_ordovant->finish(TimeoutMs));
    QFile started(m_home->filePath(QStringLiteral("fertig/gestartet.txt")));
    QTRY_VERIFY_WITH_TIMEOUT(started.exists(), TimeoutMs);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(started.readAll(), QByteArray("-AbsortAufgaben\n"));
}

void TestAtspi::optionsListsAreReadAndAltDownMovesAnEntry()
{
    const Accessible window = start(QStringLiteral("-O"));
    QVERIFY(window);
    QCOMPARE(nameOf(window.get()), QStringLiteral("Optionen"));
    const Accessible gv =
        findNamed(window.get(), ATSPI_ROLE_LIST, QStringLiteral("Eigene Anzahl für Geschäftsvorfall"));
    const Accessible herkunft =
        findNamed(window.get(), ATSPI_ROLE_LIST, QStringLiteral("Eigene Anzahl für Herkunft"));
    QVERIFY(gv && herkunft);
    QCOMPARE(entries(gv.get()).section(u'|', 0, 2),
             QStringLiteral("Kundenbestellung+|Rücksendung Zentrallager|Filialumlagerung"));
    QCOMPARE(entries(herkunft.get()).section(u'|', 0, 1), QStringLiteral("Kundenauftrag+|Wareneingang"));
    for (const char *name :
         {"Eintrag nach oben", "Alle Einträge ankreuzen", "Alle Kreuze umkehren", "Eintrag nach unten"})
        QVERIFY2(findNamed(window.get(), ATSPI_ROLE_PUSH_BUTTON, QString::fromUtf8(name)), name);

    // From "Speichern" the tab key reaches the first list; the screen reader selects its first entry.
    QVERIFY(pressKeys(m_ordovant->process().processId(), {"Tab"}));
    QTRY_VERIFY_WITH_TIMEOUT(hasState(gv.get(), ATSPI_STATE_FOCUSED), TimeoutMs);
    AtspiTable *table = atspi_accessible_get_table_iface(gv.get());
    QVERIFY(table);
    const bool selected = atspi_table_add_row_selection(table, 0, nullptr);
    g_object_unref(table);
    QVERIFY(selected);

    QVERIFY(pressKeys(m_ordovant->process().processId(), {"alt+Down"}));
    QTRY_COMPARE_WITH_TIMEOUT(entries(gv.get()).section(u'|', 0, 2),
                              QStringLiteral("Rücksendung Zentrallager|Kundenbestellung+|Filialumlagerung"),
                              TimeoutMs);
}

QTEST_GUILESS_MAIN(TestAtspi)
#include "tst_atspi.moc"
