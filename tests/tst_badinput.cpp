// Starts the real program on host directories with broken or hostile input and checks that it ends
// (or waits in its notice) without harm: exit code 0, the failure in ordovant.log under the label of
// the routine that caught it, and every file of the host directory as it was.

#include "support/hostfiles.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

#ifdef Q_OS_LINUX
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// How long a run may take before it counts as hung: a bound, no timing; a sanitizer build on a busy
// machine takes seconds to start.
constexpr int FinishTimeoutMs = 60000;

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

// A host directory in a temporary place. Preparation failures are collected, not thrown, so that a
// row reports them through the test.
class HostDirectory final
{
public:
    HostDirectory() = default;
    ~HostDirectory()
    {
        releaseDatabase();
        endXServer();
        unmount();
    }
    HostDirectory(const HostDirectory &) = delete;
    HostDirectory &operator=(const HostDirectory &) = delete;

    QString path() const { return m_dir.path(); }
    // What ORDOVANT_HOME names: the directory, or a place below it.
    QString home() const { return m_home.isEmpty() ? path() : filePath(m_home); }
    void setHome(const QString &relative) { m_home = relative; }
    QString filePath(const QString &relative) const { return m_dir.filePath(relative); }
    QString error() const { return m_error; }
    QString skipReason() const { return m_skipReason; }
    void skip(const QString &reason) { m_skipReason = reason; }

    void write(const QString &relative, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(filePath(relative)).absolutePath());
        QFile file(filePath(relative));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            fail(QStringLiteral("cannot write %1").arg(relative));
    }

    // A symbolic link at `relative` that names `target` as written.
    void link([[maybe_unused]] const QString &target, [[maybe_unused]] const QString &relative)
    {
#ifdef Q_OS_WIN
        skip(QStringLiteral("a symbolic link needs a right that Windows users usually lack"));
#else
        if (!QFile::link(target, filePath(relative)))
            fail(QStringLiteral("cannot link %1").arg(relative));
#endif
    }

    void setMode([[maybe_unused]] const QString &relative, [[maybe_unused]] int mode)
    {
#ifdef Q_OS_UNIX
        if (::chmod(QFile::encodeName(filePath(relative)).constData(), mode_t(mode)) != 0)
            fail(QStringLiteral("cannot change the mode of %1").arg(relative));
#else
        skip(QStringLiteral("Unix permission bits"));
#endif
    }

    // The entry belongs to nobody (65534), a user other than this one.
    void giveAway([[maybe_unused]] const QString &relative)
    {
#ifdef Q_OS_UNIX
        if (::geteuid() != 0)
            skip(QStringLiteral("only root can give a file to another user"));
        else if (::lchown(QFile::encodeName(filePath(relative)).constData(), 65534, 65534) != 0)
            fail(QStringLiteral("cannot give away %1").arg(relative));
#else
        skip(QStringLiteral("Unix owners"));
#endif
    }

    // As `link`, the link then given to another user: root only.
    void plantLink(const QString &target, const QString &relative, [[maybe_unused]] uint owner)
    {
        link(target, relative);
#ifdef Q_OS_LINUX
        if (::geteuid() != 0)
            skip(QStringLiteral("a link of another user needs root to make"));
        else if (::lchown(QFile::encodeName(filePath(relative)).constData(), owner, owner) != 0)
            fail(QStringLiteral("cannot give away the link %1").arg(relative));
#endif
    }

    // A log at its limit, so that the next report rotates it.
    void fullLog()
    {
        write(QStringLiteral("ordovant.log"), QByteArray(1024 * 1024, 'x') + '\n');
    }

    void makeFifo([[maybe_unused]] const QString &relative)
    {
#ifdef Q_OS_LINUX
        if (::mkfifo(QFile::encodeName(filePath(relative)).constData(), 0644) != 0)
            fail(QStringLiteral("cannot make the FIFO %1").arg(relative));
#else
        skip(QStringLiteral("FIFOs are made here on Linux only"));
#endif
    }

    // The program runs on a machine without a host name (a namespace of its own, so root only).
    void clearHostName()
    {
        m_clearHostName = true;
#ifdef Q_OS_LINUX
        QProcess probe;
        withoutHostName(probe);
        probe.start(QStringLiteral(ORDOVANT_DB_TOOL), {QStringLiteral("--help")});
        if (probe.waitForFinished(FinishTimeoutMs) && probe.exitCode() == 0)
            return;
#endif
        skip(QStringLiteral("no namespace of its own for a host name (needs Linux and root)"));
    }

    // The program runs in a session without a window system, or one whose X server is gone.
    void withoutDisplay(const QString &display = {})
    {
        m_withoutDisplay = true;
        m_display = display;
#ifdef Q_OS_WIN
        if (!display.isEmpty())
            skip(QStringLiteral("an X server's socket is seen from Linux only"));
#endif
    }

    void prepareProcess(QProcess &process) const
    {
        if (m_clearHostName)
            withoutHostName(process);
        if (m_withoutDisplay) {
            QProcessEnvironment environment = process.processEnvironment();
            for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
                environment.remove(QLatin1String(name));
            if (!m_display.isEmpty())
                environment.insert(QStringLiteral("DISPLAY"), m_display);
            process.setProcessEnvironment(environment);
        }
        if (!m_variables.isEmpty()) {
            QProcessEnvironment environment = process.processEnvironment();
            for (auto it = m_variables.cbegin(); it != m_variables.cend(); ++it)
                environment.insert(it.key(), it.value());
            process.setProcessEnvironment(environment);
        }
    }

    // A variable of the run's environment, set after the display's were cleared.
    void setVariable(const QString &name, const QString &value)
    {
        m_variables.insert(name, value);
    }

    // The run's display is an X server of its own (Xvfb) in the given state. The run holds the
    // server's cookie, or another one where the server is to refuse it.
    enum class XServer { Gone, Stopped, RefusesAuthorisation };
    void xServer([[maybe_unused]] XServer state)
    {
#ifdef Q_OS_LINUX
        const QByteArray cookie = randomBytes(16, 11);
        writeAuthority(QStringLiteral("xserver.auth"), cookie);
        writeAuthority(QStringLiteral("xclient.auth"),
                       state == XServer::RefusesAuthorisation ? randomBytes(16, 12) : cookie);
        m_xServer.start(QStringLiteral("Xvfb"),
                        {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp"), QStringLiteral("-auth"),
                         filePath(QStringLiteral("xserver.auth"))});
        if (!m_xServer.waitForStarted(FinishTimeoutMs)) {
            skip(QStringLiteral("no Xvfb here"));
            return;
        }
        while (!m_xNumber.contains('\n') && m_xServer.waitForReadyRead(FinishTimeoutMs))
            m_xNumber += m_xServer.readAllStandardOutput();
        m_xNumber = m_xNumber.trimmed();
        if (m_xNumber.isEmpty())
            fail(QStringLiteral("Xvfb named no display"));
        withoutDisplay(QStringLiteral(":") + QString::fromLatin1(m_xNumber));
        setVariable(QStringLiteral("XAUTHORITY"), filePath(QStringLiteral("xclient.auth")));
        if (state == XServer::Gone) {
            // Killed, it leaves its socket behind.
            m_xKilled = true;
            m_xServer.kill();
            m_xServer.waitForFinished(FinishTimeoutMs);
        } else if (state == XServer::Stopped) {
            ::kill(pid_t(m_xServer.processId()), SIGSTOP);
        }
#else
        skip(QStringLiteral("an X server of its own runs here on Linux only"));
#endif
    }

    // The folder for temporary files, where the program makes its working copies.
    void temporaryFolder(const QString &path)
    {
#ifdef Q_OS_WIN
        for (const char *name : {"TMP", "TEMP"})
            setVariable(QLatin1String(name), QDir::toNativeSeparators(path));
#else
        setVariable(QStringLiteral("TMPDIR"), path);
        // Qt would make its own folder below the folder for temporary files, or at / when it is missing.
        setVariable(QStringLiteral("XDG_RUNTIME_DIR"),
                    QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation));
#endif
    }

    // The folder for temporary files on a tmpfs of its own, full to the last block: beside the host
    // directory, since Qt makes folders of its own there.
    void fullTemporaryFolder()
    {
#ifdef Q_OS_LINUX
        if (::geteuid() != 0) {
            skip(QStringLiteral("mounting a file system needs root"));
            return;
        }
        const QString point = path() + QStringLiteral("-voll");
        QDir().mkpath(point);
        QProcess mount;
        mount.start(QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=16k"), QStringLiteral("tmpfs"), point});
        if (!mount.waitForFinished(FinishTimeoutMs) || mount.exitCode() != 0) {
            QDir().rmdir(point);
            skip(QStringLiteral("no tmpfs can be mounted here"));
            return;
        }
        m_mounted = point;
        QFile filler(point + QStringLiteral("/fueller"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            fail(QStringLiteral("cannot fill %1").arg(point));
        while (filler.write(QByteArray(4096, 'x')) == 4096) {
        }
        temporaryFolder(point);
#else
        skip(QStringLiteral("a file system is mounted here on Linux only"));
#endif
    }

    void makeDirectory(const QString &relative)
    {
        if (!QDir().mkpath(filePath(relative)))
            fail(QStringLiteral("cannot make %1").arg(relative));
    }

    // filiale.db made by the database tool, e.g. {"--task", "42,3,11"}.
    void database(const QStringList &rows)
    {
        QProcess tool;
        tool.setProcessChannelMode(QProcess::MergedChannels);
        tool.start(QStringLiteral(ORDOVANT_DB_TOOL),
                   QStringList{QStringLiteral("create"), filePath(QStringLiteral("filiale.db"))} + rows);
        if (!tool.waitForFinished(FinishTimeoutMs) || tool.exitStatus() != QProcess::NormalExit ||
            tool.exitCode() != 0)
            fail(QStringLiteral("ordovant-db failed: %1").arg(QString::fromLocal8Bit(tool.readAll())));
    }

    // A valid SQLite file that holds none of the branch tables.
    void databaseWithoutTables()
    {
        const QString connection = QStringLiteral("badinput-notables");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
            db.setDatabaseName(filePath(QStringLiteral("filiale.db")));
            if (!db.open() ||
                !QSqlQuery(db).exec(QStringLiteral("CREATE TABLE lager (artikel INTEGER, menge INTEGER)")))
                fail(QStringLiteral("cannot make a database without tables: %1").arg(db.lastError().text()));
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
    }

    // Has filiale.db held in an exclusive transaction, as a writer would, from lockDatabase() until
    // releaseDatabase(). Hashing the file closes a handle of it, which drops every lock this process
    // holds on it; so the lock is taken only after the files were looked at.
    void lockDatabaseWhileRunning() { m_lockWanted = true; }

    void lockDatabase()
    {
        if (!m_lockWanted)
            return;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), lockConnection());
        db.setDatabaseName(filePath(QStringLiteral("filiale.db")));
        if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("BEGIN EXCLUSIVE")))
            fail(QStringLiteral("cannot lock the database: %1").arg(db.lastError().text()));
        m_locked = true;
    }

    void releaseDatabase()
    {
        if (!m_locked)
            return;
        m_locked = false;
        {
            QSqlDatabase db = QSqlDatabase::database(lockConnection(), false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(lockConnection());
    }

private:
    void fail(const QString &message)
    {
        if (m_error.isEmpty())
            m_error = message;
    }
    QString lockConnection() const { return QStringLiteral("badinput-writer-") + path(); }

    // An Xauthority file whose one entry holds for every display.
    void writeAuthority(const QString &relative, const QByteArray &cookie)
    {
        const auto field = [](const QByteArray &bytes) {
            QByteArray length(2, '\0');
            length[0] = char(bytes.size() >> 8);
            length[1] = char(bytes.size() & 0xff);
            return length + bytes;
        };
        write(relative,
              QByteArray("\xff\xff") + field({}) + field({}) + field("MIT-MAGIC-COOKIE-1") + field(cookie));
    }

    void endXServer()
    {
#ifdef Q_OS_LINUX
        if (m_xServer.state() != QProcess::NotRunning) {
            ::kill(pid_t(m_xServer.processId()), SIGCONT);
            m_xServer.terminate();
            if (!m_xServer.waitForFinished(FinishTimeoutMs))
                m_xServer.kill();
        }
        m_xServer.waitForFinished(FinishTimeoutMs);
        // What a killed server left behind.
        if (m_xKilled)
            QFile::remove(QStringLiteral("/tmp/.X11-unix/X") + QString::fromLatin1(m_xNumber));
#endif
    }

    void unmount()
    {
        if (m_mounted.isEmpty())
            return;
        QProcess unmounting;
        unmounting.start(QStringLiteral("umount"), {m_mounted});
        unmounting.waitForFinished(FinishTimeoutMs);
        QDir().rmdir(m_mounted);
    }

    static void withoutHostName([[maybe_unused]] QProcess &process)
    {
#ifdef Q_OS_LINUX
        process.setChildProcessModifier([] {
            if (::unshare(CLONE_NEWUTS) != 0 || ::sethostname("", 0) != 0)
                ::_exit(3);
        });
#endif
    }

    QTemporaryDir m_dir;
    QString m_home;
    QString m_error;
    QString m_skipReason;
    bool m_lockWanted = false;
    bool m_locked = false;
    bool m_clearHostName = false;
    bool m_withoutDisplay = false;
    QString m_display;
    QMap<QString, QString> m_variables;
    QProcess m_xServer;
    QByteArray m_xNumber;
    bool m_xKilled = false;
    QString m_mounted;
};

// What a row expects of the run.
enum class Outcome {
    EndsQuietly,                   // ends by itself with exit code 0 and writes no report
    EndsWithReport,                // ends by itself with exit code 0 and reports the failure
    ReportsAndWaits,               // reports the failure and goes on to its notice, which waits for the user
    EndsWithReportOnStandardError, // as EndsWithReport, where no log can be written
};

struct Preparation
{
    void (*run)(HostDirectory &) = nullptr;
};

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

// Arguments that are not UTF-8 cannot pass through QString; a shell hands them on byte for byte.
// (A command substitution drops trailing newlines, so no such argument ends in one.)
void startProgram(QProcess &process, const QList<QByteArray> &arguments)
{
    if (std::all_of(arguments.cbegin(), arguments.cend(), isUtf8)) {
        QStringList texts;
        for (const QByteArray &argument : arguments)
            texts << QString::fromUtf8(argument);
        process.start(QStringLiteral(ORDOVANT_BINARY), texts);
        return;
    }
    QString script = QStringLiteral("exec \"$0\"");
    for (const QByteArray &argument : arguments) {
        script += QStringLiteral(" \"$(printf '");
        for (const char byte : argument)
            script += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
        script += QStringLiteral("')\"");
    }
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(ORDOVANT_BINARY)});
}

// Why this platform cannot hand the arguments to a program at all; empty where it can.
QString unpassable(const QList<QByteArray> &arguments)
{
#ifdef Q_OS_WIN
    if (!std::all_of(arguments.cbegin(), arguments.cend(), isUtf8))
        return QStringLiteral("A Windows command line is UTF-16 text: an argument cannot be other bytes");
    qsizetype length = 0;
    for (const QByteArray &argument : arguments)
        length += argument.size() + 3; // a blank and quotes
    if (length > 32767)
        return QStringLiteral("Windows hands a program at most 32767 characters of command line");
#else
    Q_UNUSED(arguments)
#endif
    return {};
}

// --- Preparations ---

// Branch 42 has open sort-out tasks: the check finds them and goes on to printing and the notice.
void tasksOfBranch42(HostDirectory &dir)
{
    dir.database({QStringLiteral("--task"), QStringLiteral("42,3,11"), QStringLiteral("--task"),
                  QStringLiteral("42,4,1")});
}

// Branch 42 has no open task but an expired reservation: a matched "A" would open a notice, an
// unmatched one ends quietly.
void onlyExpiredReservationOf42(HostDirectory &dir)
{
    dir.write(QStringLiteral("host.ini"), hostIni());
    dir.database({QStringLiteral("--task"), QStringLiteral("42,3,11,1"), QStringLiteral("--beleg"),
                  QStringLiteral("42,32,2000-01-01")});
}

template <int Mode> void unsafeHostIni(HostDirectory &dir)
{
    dir.write(QStringLiteral("host.ini"), hostIni());
    dir.setMode(QStringLiteral("host.ini"), Mode);
    tasksOfBranch42(dir);
}

// The host directory oben/home, the folder above it with the given mode; no open task.
template <int Mode> void hostIniBelow(HostDirectory &dir)
{
    dir.write(QStringLiteral("oben/home/host.ini"), hostIni("42", "[Datenbank]\nPfad=../../filiale.db\n"));
    dir.setMode(QStringLiteral("oben/home"), 0755);
    dir.setMode(QStringLiteral("oben"), Mode);
    dir.setHome(QStringLiteral("oben/home"));
    dir.database({QStringLiteral("--task"), QStringLiteral("42,3,11,1")});
}

void storeInPlace(HostDirectory &dir, void (*store)(HostDirectory &))
{
    dir.write(QStringLiteral("host.ini"), hostIni());
    tasksOfBranch42(dir);
    store(dir);
}

// host.ini of terminal 07 of branch 42 with further lines.
template <const char *Lines> void hostIniWith(HostDirectory &dir)
{
    dir.write(QStringLiteral("host.ini"), hostIni("42", Lines));
}

constexpr char SettingsInSqlite[] = "[Einstellungen]\nSpeicher=Datenbank\n";
constexpr char PasswordInOptions[] =
    "[Datenbank]\nTreiber=QPSQL\nOptionen=\"sslmode=disable; Password=geheim\"\n";
constexpr char UnknownDriver[] = "[Datenbank]\nTreiber=QMYSQL\n";
constexpr char NoTimeLimit[] = "[Datenbank]\nTreiber=QPSQL\nZeitlimit=0\n";
// Values that look like placeholders of a message.
constexpr char TimeLimitPlaceholder[] = "[Datenbank]\nTreiber=QPSQL\nZeitlimit=%4\n";
constexpr char PortPlaceholder[] = "[Datenbank]\nTreiber=QPSQL\nPort=%5x\n";

// A store that only QSettings reads (a quoted value), with the folder for temporary files prepared
// by `Folder`.
template <void (*Folder)(HostDirectory &)> void storeWithTemporaryFolder(HostDirectory &dir)
{
    storeInPlace(dir, [](HostDirectory &d) {
        d.write(QStringLiteral("einstellungen.ini"), "[ORDOVANT]\nDM\\GV07=\"RESERV\"\n");
        Folder(d);
    });
}

void missingTemporaryFolder(HostDirectory &dir)
{
    dir.temporaryFolder(dir.filePath(QStringLiteral("kein-tmp")));
}

void temporaryFolderAFile(HostDirectory &dir)
{
    dir.write(QStringLiteral("tmp-datei"), "kein Ordner\n");
    dir.temporaryFolder(dir.filePath(QStringLiteral("tmp-datei")));
}

void fullTemporaryFolder(HostDirectory &dir)
{
    dir.fullTemporaryFolder();
}

// Terminal 07 of branch 42 with open tasks, in a session whose window system `Session` prepares.
template <void (*Session)(HostDirectory &)> void tasksInSession(HostDirectory &dir)
{
    storeInPlace(dir, Session);
}

template <HostDirectory::XServer State> void xServerIn(HostDirectory &dir)
{
    dir.xServer(State);
}

template <const char *Variable, const char *Value> void sessionWith(HostDirectory &dir)
{
    dir.withoutDisplay();
    dir.setVariable(QLatin1String(Variable), QLatin1String(Value));
}

// Debian's Qt has no Wayland plugin.
void waylandWithoutPlugin(HostDirectory &dir)
{
#ifdef Q_OS_WIN
    dir.skip(QStringLiteral("Wayland is a window system of Linux"));
#endif
    dir.withoutDisplay();
    dir.setVariable(QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("wayland-0"));
}

constexpr char Platform[] = "QT_QPA_PLATFORM";
constexpr char LinuxFbWithoutDevice[] = "linuxfb:fb=/dev/kein-framebuffer";
constexpr char Eglfs[] = "eglfs";
constexpr char Minimal[] = "minimal";

// Open tasks for the branches that a wrongly parsed or truncated number would name.
void branchNumber(HostDirectory &dir, const QByteArray &written, const QStringList &decoyBranches)
{
    dir.write(QStringLiteral("host.ini"), hostIni(written));
    QStringList rows;
    for (const QString &branch : decoyBranches)
        rows << QStringLiteral("--task=%1,3,11").arg(branch)
             << QStringLiteral("--beleg=%1,32,2000-01-01").arg(branch);
    dir.database(rows);
}

constexpr char BranchZero[] = "17=0\n";
constexpr char BranchMissing[] = "";
constexpr char BranchNotANumber[] = "17=zwei\n";
constexpr char BranchPlaceholder[] = "17=%3\n";

// Terminal 07 keeps its settings on a PostgreSQL server that is not there.
template <const char *Branch> void settingsOnServerOf(HostDirectory &dir)
{
    dir.write(QStringLiteral("host.ini"), QByteArray("[Terminal]\nID=07\n[Warenabgabe]\n") + Branch +
                                              "[Datenbank]\nTreiber=QPSQL\nHost=" +
                                              QFile::encodeName(dir.filePath(QStringLiteral("kein-server"))) +
                                              "\n[Einstellungen]\nSpeicher=Datenbank\n");
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

} // namespace

Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Preparation)

class TestBadInput : public QObject
{
    Q_OBJECT

private slots:
    void endsWithoutHarm_data();
    void endsWithoutHarm();

private:
    static void addRow(const char *name, void (*prepare)(HostDirectory &), const QList<QByteArray> &arguments,
                       Outcome outcome, const QString &label = {}, const QString &fragment = {},
                       const QString &terminal = QStringLiteral("07"));
    static void checkRun(HostDirectory &dir, QProcess &ordovant, Outcome outcome, const QString &terminal,
                         const QString &label, const QString &fragment);
};

void TestBadInput::addRow(const char *name, void (*prepare)(HostDirectory &),
                          const QList<QByteArray> &arguments, Outcome outcome, const QString &label,
                          const QString &fragment, const QString &terminal)
{
    QTest::newRow(name) << Preparation{prepare} << arguments << outcome << terminal << label << fragment;
}

void TestBadInput::endsWithoutHarm_data()
{
    QTest::addColumn<Preparation>("prepare");
    QTest::addColumn<QList<QByteArray>>("arguments");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<QString>("terminal");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("fragment");

    // host.ini: the start stops; the terminal id cannot be had, so the report carries "?".
    addRow(
        "host.ini is a directory", [](HostDirectory &dir) { dir.makeDirectory(QStringLiteral("host.ini")); },
        {}, Outcome::EndsWithReport, ShowException, QStringLiteral("host.ini"), QStringLiteral("?"));
    addRow(
        "host.ini unreadable",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            QFile::setPermissions(dir.filePath(QStringLiteral("host.ini")), {});
            if (QFile file(dir.filePath(QStringLiteral("host.ini"))); file.open(QIODevice::ReadOnly))
                dir.skip(QStringLiteral("file permissions do not stop this user (root) from reading"));
        },
        {}, Outcome::EndsWithReport, ShowException, QStringLiteral("host.ini"), QStringLiteral("?"));
    addRow(
        "host.ini binary garbage",
        [](HostDirectory &dir) { dir.write(QStringLiteral("host.ini"), randomBytes(2048, 1)); }, {},
        Outcome::EndsWithReport, ShowException, QStringLiteral("host.ini"), QStringLiteral("?"));
    addRow(
        "host home does not exist", [](HostDirectory &dir) { dir.setHome(QStringLiteral("fehlt")); }, {},
        Outcome::EndsWithReportOnStandardError, ShowException, QStringLiteral("ORDOVANT_HOME"),
        QSysInfo::machineHostName());
    // A terminal id with a separator would store its choice under another workstation's key.
    addRow(
        "terminal id with a slash",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), "[Terminal]\nID=07/\n[Warenabgabe]\n17=42\n");
            dir.write(QStringLiteral("einstellungen.ini"), "[ORDOVANT/DM]\nGV07=RESERV\nHERKUNFT07=K\n");
        },
        {"-O"}, Outcome::EndsWithReport, ShowException, QStringLiteral("07/"), QStringLiteral("?"));
    addRow(
        "terminal id with a backslash",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), "[Terminal]\r\nID=07\\\r\n[Warenabgabe]\r\n17=42\r\n");
            dir.write(QStringLiteral("einstellungen.ini"), "[ORDOVANT]\nDM\\GV07=RESERV\n");
        },
        {"-O"}, Outcome::EndsWithReport, ShowException, QStringLiteral("07\\"), QStringLiteral("?"));
    addRow(
        "host.ini a link that leads nowhere",
        [](HostDirectory &dir) { dir.link(QStringLiteral("fehlt.ini"), QStringLiteral("host.ini")); }, {},
        Outcome::EndsWithReport, ShowException, QStringLiteral("Verknüpfung"), QStringLiteral("?"));
    addRow(
        "host.ini a link loop",
        [](HostDirectory &dir) {
            dir.link(QStringLiteral("schleife.ini"), QStringLiteral("host.ini"));
            dir.link(QStringLiteral("host.ini"), QStringLiteral("schleife.ini"));
        },
        {}, Outcome::EndsWithReport, ShowException, QStringLiteral("Verknüpfung"), QStringLiteral("?"));
    addRow(
        "host.ini a FIFO", [](HostDirectory &dir) { dir.makeFifo(QStringLiteral("host.ini")); }, {},
        Outcome::EndsWithReport, ShowException, QStringLiteral("FIFO"), QStringLiteral("?"));
    // host.ini chooses what runs: where another user could change or replace it, nothing runs. Each has
    // open tasks, which would otherwise have the notice wait.
    addRow("host.ini writable by its group", unsafeHostIni<0664>, {}, Outcome::EndsWithReport, ShowException,
           QStringLiteral("chmod go-w"));
    addRow("host.ini writable by everyone", unsafeHostIni<0646>, {}, Outcome::EndsWithReport, ShowException,
           QStringLiteral("chmod go-w"));
    addRow(
        "host.ini owned by another user",
        [](HostDirectory &dir) {
            unsafeHostIni<0644>(dir);
            dir.giveAway(QStringLiteral("host.ini"));
        },
        {}, Outcome::EndsWithReport, ShowException, QStringLiteral("gehört dem Benutzer"));
    addRow("a folder above the host directory writable by others", hostIniBelow<0777>, {},
           Outcome::EndsWithReport, ShowException, QStringLiteral("oben dürfen auch andere"));
    addRow("a sticky world-writable folder above the host directory", hostIniBelow<01777>, {},
           Outcome::EndsQuietly);
    addRow(
        "host.ini a link into a folder others may write",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("offen/host.ini"), hostIni());
            dir.setMode(QStringLiteral("offen"), 0777);
            dir.link(QStringLiteral("offen/host.ini"), QStringLiteral("host.ini"));
            tasksOfBranch42(dir);
        },
        {}, Outcome::EndsWithReport, ShowException, QStringLiteral("offen dürfen auch andere"));
    addRow(
        "host home a FIFO",
        [](HostDirectory &dir) {
            dir.makeFifo(QStringLiteral("home"));
            dir.setHome(QStringLiteral("home"));
        },
        {}, Outcome::EndsWithReportOnStandardError, ShowException, QStringLiteral("kein Verzeichnis"),
        QSysInfo::machineHostName());
    addRow(
        "no host name and no terminal id",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), "[Warenabgabe]\n17=42\n");
            dir.clearHostName();
        },
        {"-O"}, Outcome::EndsWithReport, ShowException, QStringLiteral("keinen Namen"), QStringLiteral("?"));
    // Windows' INI functions take names in any letter case: terminal 08 of branch 42 finds its tasks
    // and reports the missing FERTIG under its own id.
    addRow(
        "section and key names in any letter case",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), "[terminal]\nid=08\n[STARTPARAMETER]\nTorvelin=ja\n"
                                                  "[warenABGABE]\n17=42\n");
            tasksOfBranch42(dir);
        },
        {}, Outcome::ReportsAndWaits, Printing, QStringLiteral("FERTIG"), QStringLiteral("08"));
    // No window system: a start without work needs none; one that wants a dialog reports it and ends.
    addRow(
        "no display, no work",
        [](HostDirectory &dir) {
            onlyExpiredReservationOf42(dir);
            dir.withoutDisplay();
        },
        {}, Outcome::EndsQuietly);
    addRow(
        "no display, tasks",
        [](HostDirectory &dir) {
            storeInPlace(dir, [](HostDirectory &d) { d.withoutDisplay(); });
        },
        {"-KD"}, Outcome::EndsWithReport, ShowException, QStringLiteral("no display"));
    addRow(
        "display whose server is gone",
        [](HostDirectory &dir) {
            storeInPlace(dir, [](HostDirectory &d) { d.withoutDisplay(QStringLiteral(":7913")); });
        },
        {"-KD"}, Outcome::EndsWithReport, ShowException, QStringLiteral("no display"));
    // Whatever keeps the window system from starting is no display, and the check still runs.
    using XServer = HostDirectory::XServer;
    addRow("display whose server was killed", tasksInSession<xServerIn<XServer::Gone>>, {"-KD"},
           Outcome::EndsWithReport, ShowException, QStringLiteral("no display"));
    addRow("display that refuses the authorisation", tasksInSession<xServerIn<XServer::RefusesAuthorisation>>,
           {"-KD"}, Outcome::EndsWithReport, ShowException, QStringLiteral("no display"));
    addRow("display that does not answer", tasksInSession<xServerIn<XServer::Stopped>>, {"-KD"},
           Outcome::EndsWithReport, ShowException, QStringLiteral("antwortet nicht"));
    addRow("Wayland display without a Wayland plugin", tasksInSession<waylandWithoutPlugin>, {"-KD"},
           Outcome::EndsWithReport, ShowException, QStringLiteral("no display"));
    addRow("linuxfb without its device", tasksInSession<sessionWith<Platform, LinuxFbWithoutDevice>>, {"-KD"},
           Outcome::EndsWithReport, ShowException, QStringLiteral("no display"));
    addRow("eglfs", tasksInSession<sessionWith<Platform, Eglfs>>, {"-KD"}, Outcome::EndsWithReport,
           ShowException, QStringLiteral("\"eglfs\" aus QT_QPA_PLATFORM"));
    addRow("minimal platform, which shows nobody a window", tasksInSession<sessionWith<Platform, Minimal>>,
           {"-KD"}, Outcome::EndsWithReport, ShowException,
           QStringLiteral("\"minimal\" aus QT_QPA_PLATFORM"));
    addRow(
        "no display, options dialog",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.withoutDisplay();
        },
        {"/o"}, Outcome::EndsWithReportOnStandardError, ShowException, QStringLiteral("no display"));
    addRow(
        "host.ini larger than 1 MiB",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni() + QByteArray(1024 * 1024, ';'));
        },
        {}, Outcome::EndsWithReport, ShowException, QStringLiteral("größer als 1 MiB"), QStringLiteral("?"));
    addRow(
        "host.ini plain text",
        [](HostDirectory &dir) { dir.write(QStringLiteral("host.ini"), "Filiale 42\nTerminal 07\n"); }, {},
        Outcome::EndsWithReport, ShowException, QStringLiteral("host.ini"), QStringLiteral("?"));

    // Server settings that cannot work stop the start before anything connects.
    addRow("settings in the read-only SQLite file", hostIniWith<SettingsInSqlite>, {},
           Outcome::EndsWithReport, ShowException, QStringLiteral("QPSQL"));
    addRow("password in the connection options", hostIniWith<PasswordInOptions>, {}, Outcome::EndsWithReport,
           ShowException, QStringLiteral("Passwort"));
    addRow("unknown driver", hostIniWith<UnknownDriver>, {}, Outcome::EndsWithReport, ShowException,
           QStringLiteral("QMYSQL"));
    addRow("time limit of no time", hostIniWith<NoTimeLimit>, {}, Outcome::EndsWithReport, ShowException,
           QStringLiteral("Zeitlimit"));
    // A message quotes a value as written, even one that reads like a placeholder of the message.
    addRow("time limit quoting a placeholder", hostIniWith<TimeLimitPlaceholder>, {}, Outcome::EndsWithReport,
           ShowException, QStringLiteral("Zeitlimit=\"%4\" keine Zahl von 1 bis 3600"));
    addRow("port quoting a placeholder", hostIniWith<PortPlaceholder>, {}, Outcome::EndsWithReport,
           ShowException, QStringLiteral("Port=\"%5x\" keine Zahl von 1 bis 65535"));

    // Branch database: the check that needs it reports, counts nothing and shows nothing.
    addRow(
        "database path with a drive letter",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"),
                      hostIni("42", "[Datenbank]\r\nPfad=D:\\Filiale\\filiale.db\r\n"));
        },
        {}, Outcome::EndsWithReport, SortOutCheck, QStringLiteral("D:\\Filiale\\filiale.db"));
    const auto noDatabase = [](HostDirectory &dir) { dir.write(QStringLiteral("host.ini"), hostIni()); };
    addRow("database missing", noDatabase, {}, Outcome::EndsWithReport, SortOutCheck,
           QStringLiteral("filiale.db"));
    // The log lies in a folder other users may write.
    addRow(
        "log a link another user planted",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.write(QStringLiteral("opfer/.bashrc"), "alias ls='ls -l'\n");
            dir.plantLink(QStringLiteral("opfer/.bashrc"), QStringLiteral("ordovant.log"), 1001);
        },
        {}, Outcome::EndsWithReportOnStandardError, SortOutCheck, QStringLiteral("filiale.db"));
    addRow(
        "log a FIFO",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.makeFifo(QStringLiteral("ordovant.log"));
        },
        {}, Outcome::EndsWithReportOnStandardError, SortOutCheck, QStringLiteral("filiale.db"));
    addRow(
        "full log, its rotation lock a FIFO",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.fullLog();
            dir.makeFifo(QStringLiteral("ordovant.log.sperre"));
        },
        {}, Outcome::EndsWithReport, QStringLiteral("HostLog.write"), QStringLiteral("ordovant.log.sperre"));
    addRow(
        "full log, its older generation a folder",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.fullLog();
            dir.makeDirectory(QStringLiteral("ordovant.log.1"));
        },
        {}, Outcome::EndsWithReport, QStringLiteral("HostLog.write"), QStringLiteral("ordovant.log.1"));
    addRow("database missing, existence test", noDatabase, {"-E"}, Outcome::EndsWithReport, SortOutCheck,
           QStringLiteral("filiale.db"));
    addRow("database missing, expired check", noDatabase, {"/a"}, Outcome::EndsWithReport, ExpiredCheck,
           QStringLiteral("filiale.db"));
    addRow(
        "database a FIFO",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.makeFifo(QStringLiteral("filiale.db"));
        },
        {}, Outcome::EndsWithReport, SortOutCheck, QStringLiteral("keine Datei, sondern"));
    addRow(
        "database empty file",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.write(QStringLiteral("filiale.db"), {});
        },
        {}, Outcome::EndsWithReport, SortOutCheck, QStringLiteral("filiale.db"));
    addRow(
        "database random bytes",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            dir.write(QStringLiteral("filiale.db"), randomBytes(8192, 2));
        },
        {}, Outcome::EndsWithReport, SortOutCheck, QStringLiteral("filiale.db"));
    const auto noTables = [](HostDirectory &dir) {
        dir.write(QStringLiteral("host.ini"), hostIni());
        dir.databaseWithoutTables();
    };
    addRow("database without tables", noTables, {}, Outcome::EndsWithReport, SortOutCheck,
           QStringLiteral("filiale.db"));
    addRow("database without tables, expired check", noTables, {"-A"}, Outcome::EndsWithReport, ExpiredCheck,
           QStringLiteral("filiale.db"));
    addRow(
        "database locked by a writer",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            tasksOfBranch42(dir);
            dir.lockDatabaseWhileRunning();
        },
        {}, Outcome::EndsWithReport, SortOutCheck, QStringLiteral("locked"));

    // Settings store: read by the notice, which the open tasks bring up ("-KD": nothing is printed).
    addRow(
        "settings store is a directory",
        [](HostDirectory &dir) {
            storeInPlace(dir, [](HostDirectory &d) { d.makeDirectory(QStringLiteral("einstellungen.ini")); });
        },
        {"-KD"}, Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("einstellungen.ini"));
    addRow(
        "settings store binary garbage",
        [](HostDirectory &dir) {
            storeInPlace(dir, [](HostDirectory &d) {
                d.write(QStringLiteral("einstellungen.ini"), randomBytes(4096, 3));
            });
        },
        {"-KD"}, Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("einstellungen.ini"));
    addRow(
        "settings store plain text",
        [](HostDirectory &dir) {
            storeInPlace(dir, [](HostDirectory &d) {
                d.write(QStringLiteral("einstellungen.ini"), "GV07 KUNDBEST RESERV\nnotiert am Montag\n");
            });
        },
        {"-KD"}, Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("einstellungen.ini"));
    addRow(
        "settings store a copied log",
        [](HostDirectory &dir) {
            storeInPlace(dir, [](HostDirectory &d) {
                d.write(QStringLiteral("einstellungen.ini"),
                        "2026-12-08T07:55:01 07 TDMOrdovant.Einstellung_laden: GV07=RESERV\n");
            });
        },
        {"-KD"}, Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("kein Einstellungsspeicher"));

    // The working copy of a store that QSettings reads needs the folder for temporary files.
    addRow("temporary folder missing", storeWithTemporaryFolder<missingTemporaryFolder>, {"-KD"},
           Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("kein-tmp fehlt"));
    addRow("temporary folder a file", storeWithTemporaryFolder<temporaryFolderAFile>, {"-KD"},
           Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("tmp-datei ist kein Ordner"));
    addRow("temporary folder full", storeWithTemporaryFolder<fullTemporaryFolder>, {"-KD"},
           Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("-voll ist voll"));

    // Branch number: not a number gives message 1004 and no check. The decoy branches hold work that
    // a wrong reading would find (and then wait in a notice).
    addRow(
        "branch number with letters",
        [](HostDirectory &dir) {
            branchNumber(dir, "4a2", {QStringLiteral("4"), QStringLiteral("42"), QStringLiteral("2")});
        },
        {}, Outcome::EndsWithReport, ShowMeldung, QStringLiteral("1004"));
    addRow(
        "branch number with letters, expired check",
        [](HostDirectory &dir) {
            branchNumber(dir, "4a2", {QStringLiteral("4"), QStringLiteral("42"), QStringLiteral("2")});
        },
        {"-A"}, Outcome::EndsWithReport, ShowMeldung, QStringLiteral("1004"));
    addRow(
        "branch number with a blank inside",
        [](HostDirectory &dir) {
            branchNumber(dir, "\"4 2\"", {QStringLiteral("4"), QStringLiteral("42")});
        },
        {}, Outcome::EndsWithReport, ShowMeldung, QStringLiteral("1004"));
    addRow(
        "branch number with a trailing blank",
        [](HostDirectory &dir) { branchNumber(dir, "\"42 \"", {QStringLiteral("42")}); }, {},
        Outcome::EndsWithReport, ShowMeldung, QStringLiteral("1004"));
    addRow(
        "branch number blanks only",
        [](HostDirectory &dir) {
            branchNumber(dir, "\"   \"", {QStringLiteral("42")});
        },
        {}, Outcome::EndsWithReport, ShowMeldung, QStringLiteral("1004"));
    // A whole number outside 1 to 32767 names no branch: one message for all, whatever size or sign,
    // and no check (0 and the negative ones would otherwise pass for "no work").
    addRow(
        "branch number overflowing 32 bits",
        [](HostDirectory &dir) { branchNumber(dir, "2147483648", {QStringLiteral("21474")}); }, {},
        Outcome::EndsWithReport, BranchRead, NotABranch);
    addRow(
        "branch number outside 16 bits",
        [](HostDirectory &dir) { branchNumber(dir, "40000", {QStringLiteral("4000")}); }, {},
        Outcome::EndsWithReport, BranchRead, NotABranch);
    addRow(
        "branch number cut down to a real branch",
        [](HostDirectory &dir) { branchNumber(dir, "70000", {QStringLiteral("4464")}); }, {"-E"},
        Outcome::EndsWithReport, BranchRead, NotABranch);
    addRow(
        "branch number outside 16 bits, expired check",
        [](HostDirectory &dir) { branchNumber(dir, "70000", {QStringLiteral("4464")}); }, {"-A"},
        Outcome::EndsWithReport, BranchRead, NotABranch);
    addRow(
        "branch number 0", [](HostDirectory &dir) { branchNumber(dir, "0", {QStringLiteral("42")}); }, {},
        Outcome::EndsWithReport, BranchRead, NotABranch);
    addRow(
        "branch number negative", [](HostDirectory &dir) { branchNumber(dir, "-42", {QStringLiteral("42")}); },
        {}, Outcome::EndsWithReport, BranchRead, NotABranch);

    // Settings on the server belong to a branch: without one the options dialog reports its reads and
    // waits. The server named does not exist, so a read that went on would fail otherwise.
    addRow("settings on the server for branch 0", settingsOnServerOf<BranchZero>, {"-O"},
           Outcome::ReportsAndWaits, SettingsRead, NotABranch);
    addRow("settings on the server, branch missing", settingsOnServerOf<BranchMissing>, {"-O"},
           Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("fehlt unter [Warenabgabe]"));
    addRow("settings on the server, branch not a number", settingsOnServerOf<BranchNotANumber>, {"-O"},
           Outcome::ReportsAndWaits, SettingsRead, NotABranch);
    addRow("settings on the server, branch quoting a placeholder", settingsOnServerOf<BranchPlaceholder>,
           {"-O"}, Outcome::ReportsAndWaits, SettingsRead, QStringLiteral("17=\"%3\" ") + NotABranch);

    // "FERTIG": printing fails and is reported; the tasks were still found, so the notice comes up.
    addRow(
        "FERTIG missing",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            tasksOfBranch42(dir);
        },
        {}, Outcome::ReportsAndWaits, Printing, QStringLiteral("FERTIG"));
    addRow(
        "FERTIG missing, existence test",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni());
            tasksOfBranch42(dir);
        },
        {"/e"}, Outcome::ReportsAndWaits, Printing, QStringLiteral("FERTIG"));
    addRow(
        "FERTIG without the branch program",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni("42", "[Verzeichnisse]\nFERTIG=bin\n"));
            dir.write(QStringLiteral("bin/torvelin.txt"), "kein Programm\n");
            tasksOfBranch42(dir);
        },
        {}, Outcome::ReportsAndWaits, Printing, QStringLiteral("torvelin.exe"));
    addRow(
        "FERTIG pointing nowhere",
        [](HostDirectory &dir) {
            dir.write(QStringLiteral("host.ini"), hostIni("42", "[Verzeichnisse]\nFERTIG=gibtesnicht\n"));
            tasksOfBranch42(dir);
        },
        {}, Outcome::ReportsAndWaits, Printing, QStringLiteral("gibtesnicht"));

    // Arguments: none of these is a switch, so the plain check runs and ends; a wrongly matched "A"
    // or "O" would open a window and wait.
    addRow("thousands of arguments", onlyExpiredReservationOf42, thousandsOfArguments(),
           Outcome::EndsQuietly);
    addRow("thousands of arguments and a switch at the end", noDatabase, thousandsOfArguments("-a"),
           Outcome::EndsWithReport, ExpiredCheck, QStringLiteral("filiale.db"));
    addRow("one very long argument", onlyExpiredReservationOf42, {"-" + QByteArray(100000, 'A')},
           Outcome::EndsQuietly);
    addRow("arguments that are not UTF-8", onlyExpiredReservationOf42,
           {"\xff\xfe", "-\xc3", "-O\xff", "-\xffO", "/A\x80", "\xc0\xaf\x41" /* A */, "-\xed\xa0\x80",
            "\xf4\x90\x80\x80", "-\xc1\x81"},
           Outcome::EndsQuietly);
    addRow("arguments with control characters", onlyExpiredReservationOf42,
           {"-\x01\x41" /* A */, "-A\x7f", "-\tO", "-O\r", "\x1b[2J-A", "-\nA", "/\x08O", "-A\t", "\x1b-O"},
           Outcome::EndsQuietly);
    addRow("letters that only look like switches", onlyExpiredReservationOf42,
           {"-\xef\xbc\xa1", "-\xd0\x90", "/\xd0\x9e", "-\xce\x91", "-\xe2\x84\xab", "/\xef\xbc\xaf"},
           Outcome::EndsQuietly);
}

void TestBadInput::endsWithoutHarm()
{
    QFETCH(Preparation, prepare);
    QFETCH(QList<QByteArray>, arguments);
    QFETCH(Outcome, outcome);
    QFETCH(QString, terminal);
    QFETCH(QString, label);
    QFETCH(QString, fragment);

    if (const QString reason = unpassable(arguments); !reason.isEmpty())
        QSKIP(qPrintable(reason));
    HostDirectory dir;
    QVERIFY(QFileInfo(dir.path()).isDir());
    prepare.run(dir);
    if (!dir.skipReason().isEmpty())
        QSKIP(qPrintable(dir.skipReason()));
    QVERIFY2(dir.error().isEmpty(), qPrintable(dir.error()));
    const QMap<QString, QString> before = HostFiles::snapshot(dir.path());
    dir.lockDatabase();
    QVERIFY2(dir.error().isEmpty(), qPrintable(dir.error()));

    QProcess ordovant;
    ordovant.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ORDOVANT_HOME"), dir.home());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    ordovant.setProcessEnvironment(environment);
    dir.prepareProcess(ordovant);
    startProgram(ordovant, arguments);
    QVERIFY2(ordovant.waitForStarted(FinishTimeoutMs), qPrintable(ordovant.errorString()));

    checkRun(dir, ordovant, outcome, terminal, label, fragment);
    if (ordovant.state() != QProcess::NotRunning) {
        ordovant.kill();
        ordovant.waitForFinished(FinishTimeoutMs);
    }
    dir.releaseDatabase();
    if (QTest::currentTestFailed())
        return;

    QMap<QString, QString> after = HostFiles::snapshot(dir.path());
    after.remove(QDir(dir.path()).relativeFilePath(QDir(dir.home()).filePath(QStringLiteral("ordovant.log"))));
    QVERIFY2(after == before, qPrintable(HostFiles::describeChanges(before, after)));
}

void TestBadInput::checkRun(HostDirectory &dir, QProcess &ordovant, Outcome outcome, const QString &terminal,
                            const QString &label, const QString &fragment)
{
    const auto log = [&] { return HostFiles::logLines(dir.home()); };
    // Everything the program printed so far: each message of a check reads it.
    QString printed;
    const auto output = [&] {
        printed += QString::fromLocal8Bit(ordovant.readAll());
        return printed + QStringLiteral("\nordovant.log:\n") + log().join(u'\n');
    };
    if (outcome == Outcome::ReportsAndWaits) {
        QTRY_VERIFY2_WITH_TIMEOUT(HostFiles::hasReport(log(), terminal, label, fragment),
                                  qPrintable(output()), FinishTimeoutMs);
        // The failure did not end the run: the notice is up and waits for the user.
        QVERIFY2(ordovant.state() == QProcess::Running, qPrintable(output()));
        return;
    }
    if (!ordovant.waitForFinished(FinishTimeoutMs))
        QFAIL(qPrintable(QStringLiteral("still running: a window waits or the program hangs\n") + output()));
    QCOMPARE(ordovant.exitStatus(), QProcess::NormalExit);
    QVERIFY2(ordovant.exitCode() == 0, qPrintable(output()));
    if (outcome == Outcome::EndsQuietly) {
        QVERIFY2(log().isEmpty(), qPrintable(output()));
    } else if (outcome == Outcome::EndsWithReportOnStandardError) {
        const QString text = output();
        QVERIFY2(HostFiles::hasReport(printed.split(u'\n'), terminal, label, fragment), qPrintable(text));
    } else {
        QVERIFY2(HostFiles::hasReport(log(), terminal, label, fragment), qPrintable(output()));
    }
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
