// Starts the real program on host directories with broken or hostile input and checks that it ends
// (or waits in its notice) without harm: exit code 0, the failure in ordovant.log under the label of
// the routine that caught it, and every file of the host directory as it was.

#include "support/programrun.h"
#include "support/standalonehosthome.h"

#include <QRandomGenerator>
#include <QSysInfo>
#include <QtTest>

namespace {

using Entry = HostSetup::Entry;
using Outcome = ProgramRun::Outcome;

const QString ShowException = QStringLiteral("TQVXProgramm.ShowException");
const QString ShowMeldung = QStringLiteral("TQVXInfo.ShowMeldung");
const QString SortOutCheck = QStringLiteral("TDMOrdovant.ExistAbsortierAufgaben");
const QString ExpiredCheck = QStringLiteral("TDMOrdovant.ExistAbgelaufeneBelege");
const QString SettingsRead = QStringLiteral("TDMOrdovant.Einstellung_laden");
const QString Printing = QStringLiteral("TDMOrdovant.AutoAufgabenDrucken");
const QString BranchRead = QStringLiteral("TDMOrdovant.FilialeLaden");
const QString NotABranch = QStringLiteral("keine Filialnummer von 1 bis 32767");

// Terminal 07 of branch 42 with the branch program in use and a fixed business date; `filiale` is
// the branch number as written in the file, `more` further sections.
QByteArray hostIni(const QByteArray &filiale = "42", const QByteArray &more = {})
{
    return "[Terminal]\nID=07\n[Startparameter]\nTORVELIN=ja\n[Geschaeftsdatum]\nDatum=2026-12-08\n"
           "[Warenabgabe]\n17=" +
           filiale + "\n" + more;
}

QByteArray randomBytes(int size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, '\0');
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    // A NUL at the start makes sure no reader mistakes it for text.
    bytes[0] = '\0';
    return bytes;
}

// Branch 42 has open sort-out tasks: the check finds them and goes on to printing and the notice.
const QStringList TasksOf42{"--task", "42,3,11", "--task", "42,4,1"};
const HostSetup WithTasks{.hostIni = hostIni(), .branch = TasksOf42};
const HostSetup NoDatabase{.hostIni = hostIni()};

// Branch 42 has no open task but an expired reservation: a matched "A" would open a notice, an
// unmatched one ends quietly.
const HostSetup OnlyExpiredReservationOf42{.hostIni = hostIni(),
                                           .branch = {"--task", "42,3,11,1", "--beleg", "42,32,2000-01-01"}};

// Terminal 07 of branch 42 with open tasks and a store.
HostSetup storeInPlace(const QByteArray &store, const QList<Entry> &entries = {})
{
    return {.hostIni = hostIni(), .store = store, .branch = TasksOf42, .entries = entries};
}

// Terminal 07 of branch 42 with open tasks in a session with these variables.
HostSetup tasksInSession(const QList<std::pair<QString, QString>> &more,
                         HostSetup::XServer xServer = HostSetup::XServer::None)
{
    return {.hostIni = hostIni(),
            .branch = TasksOf42,
            .environment = HostSetup::noDisplay() + more,
            .xServer = xServer};
}

// host.ini chooses what runs: modes that let another user change or replace it.
HostSetup unsafeHostIni(int mode, int owner = -1)
{
    return {.hostIni = hostIni(), .branch = TasksOf42, .entries = {Entry::change("host.ini", mode, owner)}};
}

// The host directory oben/home, the folder above it with the given mode; no open task.
HostSetup hostIniBelow(int mode)
{
    return {.hostIni = hostIni("42", "[Datenbank]\nPfad=../../filiale.db\n"),
            .branch = {"--task", "42,3,11,1"},
            .entries = {Entry::change("oben/home", 0755), Entry::change("oben", mode)},
            .home = "oben/home"};
}

// A store that only QSettings reads (a quoted value) and the folder for temporary files as given.
HostSetup storeWithTemporaryFolder(const QString &folder, const QList<Entry> &entries = {},
                                   const QList<HostSetup::Mount> &mounts = {})
{
    HostSetup setup = storeInPlace("[ORDOVANT]\nDM\\GV07=\"RESERV\"\n", entries);
    setup.temporaryFolder = folder;
    setup.mounts = mounts;
    return setup;
}

// Open tasks for the branches that a wrongly parsed or truncated number would name.
HostSetup branchNumber(const QByteArray &written, const QStringList &decoyBranches)
{
    QStringList rows;
    for (const QString &branch : decoyBranches)
        rows << QStringLiteral("--task=%1,3,11").arg(branch)
             << QStringLiteral("--beleg=%1,32,2000-01-01").arg(branch);
    return {.hostIni = hostIni(written), .branch = rows};
}

// Terminal 07 keeps its settings on a PostgreSQL server that is not there.
HostSetup settingsOnServerOf(const QByteArray &branch)
{
    return {.hostIni =
                "[Terminal]\nID=07\n[Warenabgabe]\n" + branch +
                "[Datenbank]\nTreiber=QPSQL\nHost=/kein-server\n[Einstellungen]\nSpeicher=Datenbank\n"};
}

const QList<QByteArray> NearMisses{"--A",       "-AO",       "A",
                                   "O",         "E",         "-",
                                   "/",         "",          "-KDX",
                                   "//O",       "-\xc3\x96", "- A",
                                   "-A ",       "/o/",       "-\xef\xbc\xa1",
                                   "-\xd0\x90", "-\xd0\x9e", "-\xe2\x84\xab",
                                   "=O",        "\\A",       "-0",
                                   "-\xd0\x95"};

QList<QByteArray> thousandsOfArguments(const QByteArray &last = {})
{
    QList<QByteArray> arguments;
    for (int i = 0; i < 10000; ++i)
        arguments << NearMisses.at(i % NearMisses.size()) +
                         (i % 7 == 0 ? QByteArray::number(i) : QByteArray());
    if (!last.isEmpty())
        arguments << last;
    return arguments;
}

void addRow(const char *name, const HostSetup &setup, const QList<QByteArray> &arguments, Outcome outcome,
            const QString &label = {}, const QString &fragment = {}, const QString &terminal = "07")
{
    QTest::newRow(name) << setup << arguments << outcome << ProgramRun::Report{label, fragment, terminal};
}

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void endsWithoutHarm_data();
    void endsWithoutHarm();
};

void TestBadInput::endsWithoutHarm_data()
{
    QTest::addColumn<HostSetup>("setup");
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<ProgramRun::Report>("report");
    const Outcome EndsWithReport = Outcome::EndsWithReport;
    const Outcome OnStandardError = Outcome::EndsWithReportOnStandardError;
    const Outcome ReportsAndWaits = Outcome::ReportsAndWaits;

    // host.ini: the start stops; the terminal id cannot be had, so the report carries "?".
    addRow("host.ini is a directory", {.entries = {Entry::folder("host.ini")}}, {}, EndsWithReport,
           ShowException, "host.ini", "?");
    addRow("host.ini unreadable", {.hostIni = hostIni(), .entries = {Entry::change("host.ini", 0)}}, {},
           EndsWithReport, ShowException, "host.ini", "?");
    addRow("host.ini binary garbage", {.hostIni = randomBytes(2048, 1)}, {}, EndsWithReport, ShowException,
           "host.ini", "?");
    addRow("host home does not exist", {.home = "fehlt"}, {}, OnStandardError, ShowException, "ORDOVANT_HOME",
           QSysInfo::machineHostName());
    // A terminal id with a separator would store its choice under another workstation's key.
    addRow("terminal id with a slash",
           {.hostIni = "[Terminal]\nID=07/\n[Warenabgabe]\n17=42\n",
            .store = "[ORDOVANT/DM]\nGV07=RESERV\nHERKUNFT07=K\n"},
           {"-O"}, EndsWithReport, ShowException, "07/", "?");
    addRow("terminal id with a backslash",
           {.hostIni = "[Terminal]\r\nID=07\\\r\n[Warenabgabe]\r\n17=42\r\n",
            .store = "[ORDOVANT]\nDM\\GV07=RESERV\n"},
           {"-O"}, EndsWithReport, ShowException, "07\\", "?");
    addRow("host.ini a link that leads nowhere", {.entries = {Entry::link("host.ini", "fehlt.ini")}}, {},
           EndsWithReport, ShowException, "Verknüpfung", "?");
    addRow("host.ini a link loop",
           {.entries = {Entry::link("host.ini", "schleife.ini"), Entry::link("schleife.ini", "host.ini")}},
           {}, EndsWithReport, ShowException, "Verknüpfung", "?");
    addRow("host.ini a FIFO", {.entries = {Entry::fifo("host.ini")}}, {}, EndsWithReport, ShowException,
           "FIFO", "?");
    // host.ini chooses what runs: where another user could change or replace it, nothing runs. Each has
    // open tasks, which would otherwise have the notice wait.
    addRow("host.ini writable by its group", unsafeHostIni(0664), {}, EndsWithReport, ShowException,
           "chmod go-w");
    addRow("host.ini writable by everyone", unsafeHostIni(0646), {}, EndsWithReport, ShowException,
           "chmod go-w");
    addRow("host.ini owned by another user", unsafeHostIni(0644, 65534), {}, EndsWithReport, ShowException,
           "gehört dem Benutzer");
    addRow("a folder above the host directory writable by others", hostIniBelow(0777), {}, EndsWithReport,
           ShowException, "oben dürfen auch andere");
    addRow("a sticky world-writable folder above the host directory", hostIniBelow(01777), {},
           Outcome::EndsQuietly);
    addRow("host.ini a link into a folder others may write",
           {.branch = TasksOf42,
            .entries = {Entry::file("offen/host.ini", hostIni()), Entry::change("offen", 0777),
                        Entry::link("host.ini", "offen/host.ini")}},
           {}, EndsWithReport, ShowException, "offen dürfen auch andere");
    addRow("host home a FIFO", {.entries = {Entry::fifo("home")}, .home = "home"}, {}, OnStandardError,
           ShowException, "kein Verzeichnis", QSysInfo::machineHostName());
    addRow("no host name and no terminal id", {.hostIni = "[Warenabgabe]\n17=42\n", .noHostName = true},
           {"-O"}, EndsWithReport, ShowException, "keinen Namen", "?");
    // Windows' INI functions take names in any letter case: terminal 08 of branch 42 finds its tasks
    // and reports the missing FERTIG under its own id.
    addRow("section and key names in any letter case",
           {.hostIni = "[terminal]\nid=08\n[STARTPARAMETER]\nTorvelin=ja\n[warenABGABE]\n17=42\n",
            .branch = TasksOf42},
           {}, ReportsAndWaits, Printing, "FERTIG", "08");
    // No window system: a start without work needs none; one that wants a dialog reports it and ends.
    HostSetup noDisplayNoWork = OnlyExpiredReservationOf42;
    noDisplayNoWork.environment = HostSetup::noDisplay();
    addRow("no display, no work", noDisplayNoWork, {}, Outcome::EndsQuietly);
    addRow("no display, tasks", tasksInSession({}), {"-KD"}, EndsWithReport, ShowException, "no display");
    addRow("display whose server is gone", tasksInSession({{"DISPLAY", ":7913"}}), {"-KD"}, EndsWithReport,
           ShowException, "no display");
    // Whatever keeps the window system from starting is no display, and the check still runs.
    using XServer = HostSetup::XServer;
    addRow("display whose server was killed", tasksInSession({}, XServer::Gone), {"-KD"}, EndsWithReport,
           ShowException, "no display");
    addRow("display that refuses the authorisation", tasksInSession({}, XServer::RefusesAuthorisation),
           {"-KD"}, EndsWithReport, ShowException, "no display");
    addRow("display that does not answer", tasksInSession({}, XServer::Stopped), {"-KD"}, EndsWithReport,
           ShowException, "antwortet nicht");
    // Debian's Qt has no Wayland plugin.
    addRow("Wayland display without a Wayland plugin", tasksInSession({{"WAYLAND_DISPLAY", "wayland-0"}}),
           {"-KD"}, EndsWithReport, ShowException, "no display");
    addRow("linuxfb without its device",
           tasksInSession({{"QT_QPA_PLATFORM", "linuxfb:fb=/dev/kein-framebuffer"}}), {"-KD"}, EndsWithReport,
           ShowException, "no display");
    addRow("eglfs", tasksInSession({{"QT_QPA_PLATFORM", "eglfs"}}), {"-KD"}, EndsWithReport, ShowException,
           "\"eglfs\" aus QT_QPA_PLATFORM");
    addRow("minimal platform, which shows nobody a window", tasksInSession({{"QT_QPA_PLATFORM", "minimal"}}),
           {"-KD"}, EndsWithReport, ShowException, "\"minimal\" aus QT_QPA_PLATFORM");
    addRow("no display, options dialog", {.hostIni = hostIni(), .environment = HostSetup::noDisplay()},
           {"/o"}, OnStandardError, ShowException, "no display");
    addRow("host.ini larger than 1 MiB", {.hostIni = hostIni() + QByteArray(1024 * 1024, ';')}, {},
           EndsWithReport, ShowException, "größer als 1 MiB", "?");
    addRow("host.ini plain text", {.hostIni = "Filiale 42\nTerminal 07\n"}, {}, EndsWithReport, ShowException,
           "host.ini", "?");

    // Server settings that cannot work stop the start before anything connects.
    const auto withLines = [](const QByteArray &lines) { return HostSetup{.hostIni = hostIni("42", lines)}; };
    addRow("settings in the read-only SQLite file", withLines("[Einstellungen]\nSpeicher=Datenbank\n"), {},
           EndsWithReport, ShowException, "QPSQL");
    addRow("password in the connection options",
           withLines("[Datenbank]\nTreiber=QPSQL\nOptionen=\"sslmode=disable; Password=geheim\"\n"), {},
           EndsWithReport, ShowException, "Passwort");
    addRow("unknown driver", withLines("[Datenbank]\nTreiber=QMYSQL\n"), {}, EndsWithReport, ShowException,
           "QMYSQL");
    addRow("time limit of no time", withLines("[Datenbank]\nTreiber=QPSQL\nZeitlimit=0\n"), {},
           EndsWithReport, ShowException, "Zeitlimit");
    // A message quotes a value as written, even one that reads like a placeholder of the message.
    addRow("time limit quoting a placeholder", withLines("[Datenbank]\nTreiber=QPSQL\nZeitlimit=%4\n"), {},
           EndsWithReport, ShowException, "Zeitlimit=\"%4\" keine Zahl von 1 bis 3600");
    addRow("port quoting a placeholder", withLines("[Datenbank]\nTreiber=QPSQL\nPort=%5x\n"), {},
           EndsWithReport, ShowException, "Port=\"%5x\" keine Zahl von 1 bis 65535");
    // libpq reaches a PostgreSQL server; the Windows build has none and names ODBC.
    addRow("PostgreSQL server that is not there",
           withLines("[Datenbank]\nTreiber=QPSQL\nHost=/kein-server\n"), {}, EndsWithReport, SortOutCheck,
#ifdef Q_OS_WIN
           "über ODBC (Treiber=QODBC)"
#else
           "auf /kein-server"
#endif
    );

    // Branch database: the check that needs it reports, counts nothing and shows nothing.
    addRow("database path with a drive letter", withLines("[Datenbank]\r\nPfad=D:\\Filiale\\filiale.db\r\n"),
           {}, EndsWithReport, SortOutCheck, "D:\\Filiale\\filiale.db");
    addRow("database missing", NoDatabase, {}, EndsWithReport, SortOutCheck, "filiale.db");
    // The log lies in a folder other users may write.
    addRow("log a link another user planted",
           {.hostIni = hostIni(),
            .entries = {Entry::file("opfer/.bashrc", "alias ls='ls -l'\n"),
                        Entry::link("ordovant.log", "opfer/.bashrc", 1001)}},
           {}, OnStandardError, SortOutCheck, "filiale.db");
    addRow("log a FIFO", {.hostIni = hostIni(), .entries = {Entry::fifo("ordovant.log")}}, {},
           OnStandardError, SortOutCheck, "filiale.db");
    // A log at its limit, so that the next report rotates it.
    const Entry fullLog = Entry::file("ordovant.log", QByteArray(1024 * 1024, 'x') + '\n');
    addRow("full log, its rotation lock a FIFO",
           {.hostIni = hostIni(), .entries = {fullLog, Entry::fifo("ordovant.log.sperre")}}, {},
           EndsWithReport, "HostLog.write", "ordovant.log.sperre");
    addRow("full log, its older generation a folder",
           {.hostIni = hostIni(), .entries = {fullLog, Entry::folder("ordovant.log.1")}}, {}, EndsWithReport,
           "HostLog.write", "ordovant.log.1");
    addRow("database missing, existence test", NoDatabase, {"-E"}, EndsWithReport, SortOutCheck,
           "filiale.db");
    addRow("database missing, expired check", NoDatabase, {"/a"}, EndsWithReport, ExpiredCheck, "filiale.db");
    addRow("database a FIFO", {.hostIni = hostIni(), .entries = {Entry::fifo("filiale.db")}}, {},
           EndsWithReport, SortOutCheck, "keine Datei, sondern");
    addRow("database empty file", {.hostIni = hostIni(), .entries = {Entry::file("filiale.db", "")}}, {},
           EndsWithReport, SortOutCheck, "filiale.db");
    addRow("database random bytes",
           {.hostIni = hostIni(), .entries = {Entry::file("filiale.db", randomBytes(8192, 2))}}, {},
           EndsWithReport, SortOutCheck, "filiale.db");
    // A valid SQLite file that holds none of the branch tables.
    const HostSetup noTables{
        .hostIni = hostIni(),
        .entries = {Entry::sqlite("filiale.db", "CREATE TABLE lager (artikel INTEGER, menge INTEGER)")}};
    addRow("database without tables", noTables, {}, EndsWithReport, SortOutCheck, "filiale.db");
    addRow("database without tables, expired check", noTables, {"-A"}, EndsWithReport, ExpiredCheck,
           "filiale.db");
    HostSetup locked = WithTasks;
    locked.databaseLocked = true;
    addRow("database locked by a writer", locked, {}, EndsWithReport, SortOutCheck, "locked");

    // Settings store: read by the notice, which the open tasks bring up ("-KD": nothing is printed).
    addRow("settings store is a directory", storeInPlace({}, {Entry::folder("einstellungen.ini")}), {"-KD"},
           ReportsAndWaits, SettingsRead, "einstellungen.ini");
    addRow("settings store binary garbage", storeInPlace(randomBytes(4096, 3)), {"-KD"}, ReportsAndWaits,
           SettingsRead, "einstellungen.ini");
    addRow("settings store plain text", storeInPlace("GV07 KUNDBEST RESERV\nnotiert am Montag\n"), {"-KD"},
           ReportsAndWaits, SettingsRead, "einstellungen.ini");
    addRow("settings store a copied log",
           storeInPlace("2026-12-08T07:55:01 07 TDMOrdovant.Einstellung_laden: GV07=RESERV\n"), {"-KD"},
           ReportsAndWaits, SettingsRead, "kein Einstellungsspeicher");

    // The working copy of a store that QSettings reads needs the folder for temporary files; a full
    // one lies beside the host directory, since Qt makes folders of its own there.
    addRow("temporary folder missing", storeWithTemporaryFolder("kein-tmp"), {"-KD"}, ReportsAndWaits,
           SettingsRead, "kein-tmp fehlt");
    addRow("temporary folder a file",
           storeWithTemporaryFolder("tmp-datei", {Entry::file("tmp-datei", "kein Ordner\n")}), {"-KD"},
           ReportsAndWaits, SettingsRead, "tmp-datei ist kein Ordner");
    addRow("temporary folder full",
           storeWithTemporaryFolder({}, {},
                                    {{.point = "-voll",
                                      .type = "tmpfs",
                                      .kib = 16,
                                      .room = 0,
                                      .temporaryFolder = true,
                                      .beside = true}}),
           {"-KD"}, ReportsAndWaits, SettingsRead, "-voll ist voll");

    // Branch number: not a number gives message 1004 and no check. The decoy branches hold work that
    // a wrong reading would find (and then wait in a notice).
    addRow("branch number with letters", branchNumber("4a2", {"4", "42", "2"}), {}, EndsWithReport,
           ShowMeldung, "1004");
    addRow("branch number with letters, expired check", branchNumber("4a2", {"4", "42", "2"}), {"-A"},
           EndsWithReport, ShowMeldung, "1004");
    addRow("branch number with a blank inside", branchNumber("\"4 2\"", {"4", "42"}), {}, EndsWithReport,
           ShowMeldung, "1004");
    addRow("branch number blanks only", branchNumber("\"   \"", {"42"}), {}, EndsWithReport, ShowMeldung,
           "1004");
    // A whole number outside 1 to 32767 names no branch: one message for all, whatever size or sign,
    // and no check (0 and the negative ones would otherwise pass for "no work").
    addRow("branch number overflowing 32 bits", branchNumber("2147483648", {"21474"}), {}, EndsWithReport,
           BranchRead, NotABranch);
    addRow("branch number outside 16 bits", branchNumber("40000", {"4000"}), {}, EndsWithReport, BranchRead,
           NotABranch);
    addRow("branch number cut down to a real branch", branchNumber("70000", {"4464"}), {"-E"}, EndsWithReport,
           BranchRead, NotABranch);
    addRow("branch number outside 16 bits, expired check", branchNumber("70000", {"4464"}), {"-A"},
           EndsWithReport, BranchRead, NotABranch);
    addRow("branch number 0", branchNumber("0", {"42"}), {}, EndsWithReport, BranchRead, NotABranch);
    addRow("branch number negative", branchNumber("-42", {"42"}), {}, EndsWithReport, BranchRead, NotABranch);

    // Settings on the server belong to a branch: without one the options dialog reports its reads and
    // waits. The server named does not exist, so a read that went on would fail otherwise.
    addRow("settings on the server for branch 0", settingsOnServerOf("17=0\n"), {"-O"}, ReportsAndWaits,
           SettingsRead, NotABranch);
    addRow("settings on the server, branch missing", settingsOnServerOf(""), {"-O"}, ReportsAndWaits,
           SettingsRead, "fehlt unter [Warenabgabe]");
    addRow("settings on the server, branch not a number", settingsOnServerOf("17=zwei\n"), {"-O"},
           ReportsAndWaits, SettingsRead, NotABranch);
    addRow("settings on the server, branch quoting a placeholder", settingsOnServerOf("17=%3\n"), {"-O"},
           ReportsAndWaits, SettingsRead, "17=\"%3\" " + NotABranch);

    // "FERTIG": printing fails and is reported; the tasks were still found, so the notice comes up.
    addRow("FERTIG missing", WithTasks, {}, ReportsAndWaits, Printing, "FERTIG");
    addRow("FERTIG missing, existence test", WithTasks, {"/e"}, ReportsAndWaits, Printing, "FERTIG");
    addRow("FERTIG without the branch program",
           {.hostIni = hostIni("42", "[Verzeichnisse]\nFERTIG=bin\n"),
            .branch = TasksOf42,
            .entries = {Entry::file("bin/torvelin.txt", "kein Programm\n")}},
           {}, ReportsAndWaits, Printing, "torvelin.exe");
    addRow("FERTIG pointing nowhere",
           {.hostIni = hostIni("42", "[Verzeichnisse]\nFERTIG=gibtesnicht\n"), .branch = TasksOf42}, {},
           ReportsAndWaits, Printing, "gibtesnicht");

    // Arguments: none of these is a switch, so the plain check runs and ends; a wrongly matched "A"
    // or "O" would open a window and wait.
    const HostSetup quiet = OnlyExpiredReservationOf42;
    addRow("thousands of arguments", quiet, thousandsOfArguments(), Outcome::EndsQuietly);
    addRow("thousands of arguments and a switch at the end", NoDatabase, thousandsOfArguments("-a"),
           EndsWithReport, ExpiredCheck, "filiale.db");
    addRow("one very long argument", quiet, {"-" + QByteArray(100000, 'A')}, Outcome::EndsQuietly);
    addRow("arguments that are not UTF-8", quiet,
           {"\xff\xfe", "-\xc3", "-O\xff", "-\xffO", "/A\x80",
            "\xc0\xaf"
            "A",
            "-\xed\xa0\x80", "\xf4\x90\x80\x80", "-\xc1\x81"},
           Outcome::EndsQuietly);
    addRow("arguments with control characters", quiet,
           {"-\x01"
            "A",
            "-A\x7f", "-\tO", "-O\r", "\x1b[2J-A", "-\nA", "/\x08O", "-A\t",
            "\x1b"
            "-O"},
           Outcome::EndsQuietly);
    addRow("letters that only look like switches", quiet,
           {"-\xef\xbc\xa1", "-\xd0\x90", "/\xd0\x9e", "-\xce\x91", "-\xe2\x84\xab", "/\xef\xbc\xaf"},
           Outcome::EndsQuietly);
}

void TestBadInput::endsWithoutHarm()
{
    QFETCH(HostSetup, setup);
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(Outcome, outcome);
    QFETCH(ProgramRun::Report, report);

    if (const QString reason = ProgramRun::unpassable(arguments); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    StandaloneHostHome dir;
    PREPARE_HOME(dir, setup);
    const QMap<QString, QString> before = dir.snapshot();

    ProgramRun ordovant(dir);
    QVERIFY2(ordovant.start(arguments), qPrintable(ordovant.process().errorString() + dir.error()));
    ordovant.expect(outcome, report);
    ordovant.stop();
    if (QTest::currentTestFailed())
        return;
    QVERIFY2(dir.changesSince(before).isEmpty(), qPrintable(dir.changesSince(before)));
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
