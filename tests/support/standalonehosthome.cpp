#include "standalonehosthome.h"

#include "hostfiles.h"
#include "programrun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif
#ifdef Q_OS_LINUX
#include <signal.h>
#endif

namespace {

constexpr int ToolTimeoutMs = 60000;
const QString LogName = QStringLiteral("ordovant.log");

// True when the tool ran to its end with exit code 0; what it printed in `output`.
bool ran(const QString &program, const QStringList &arguments, QString *output = nullptr)
{
    QProcess tool;
    tool.setProcessChannelMode(QProcess::MergedChannels);
    tool.start(program, arguments);
    const bool ok = tool.waitForFinished(ToolTimeoutMs) && tool.exitStatus() == QProcess::NormalExit &&
                    tool.exitCode() == 0;
    if (output)
        *output = QString::fromLocal8Bit(tool.readAll());
    return ok;
}

#ifdef Q_OS_LINUX
// An Xauthority file whose one entry holds for every display.
QByteArray authority(const QByteArray &cookie)
{
    const auto field = [](const QByteArray &bytes) {
        return QByteArray(1, char(bytes.size() >> 8)) + char(bytes.size() & 0xff) + bytes;
    };
    return QByteArray("\xff\xff") + field({}) + field({}) + field("MIT-MAGIC-COOKIE-1") + field(cookie);
}
#endif

} // namespace

// Xvfb with a display of its own; ended with the home, and the socket of a killed one removed.
class StandaloneHostHome::XServer final
{
public:
    ~XServer()
    {
#ifdef Q_OS_LINUX
        if (process.state() != QProcess::NotRunning) {
            ::kill(pid_t(process.processId()), SIGCONT);
            process.terminate();
            if (!process.waitForFinished(ToolTimeoutMs))
                process.kill();
        }
        process.waitForFinished(ToolTimeoutMs);
        if (killed)
            QFile::remove(QStringLiteral("/tmp/.X11-unix/X") + QString::fromLatin1(number));
#endif
    }

    QProcess process;
    QByteArray number;
    bool killed = false;
};

StandaloneHostHome::StandaloneHostHome()
{
    putVariable(QStringLiteral("ORDOVANT_HOME"), path());
}

StandaloneHostHome::~StandaloneHostHome()
{
    releaseDatabase();
    m_xServer.reset();
    // A folder without the owner's rights would outlive the test.
    for (const HostSetup::Entry &entry : std::as_const(m_setup.entries)) {
        if (entry.mode >= 0)
            QFile::setPermissions(filePath(entry.path),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    for (auto point = m_mounted.crbegin(); point != m_mounted.crend(); ++point) {
        ran(QStringLiteral("umount"), {*point});
        if (*point != path())
            QDir().rmdir(*point);
    }
    for (const char *type : {".ext4", ".vfat"})
        QFile::remove(path() + QLatin1String(type));
    for (auto it = m_previous.crbegin(); it != m_previous.crend(); ++it) {
        if (it->second)
            qputenv(it->first.constData(), *it->second);
        else
            qunsetenv(it->first.constData());
    }
}

bool StandaloneHostHome::prepare(const HostSetup &setup)
{
    m_setup = setup;
    if (!isValid())
        fail(QStringLiteral("no temporary folder"));
    for (const HostSetup::Mount &each : setup.mounts)
        mount(each);
    if (!m_skipReason.isEmpty() || !m_error.isEmpty())
        return false;
    if (!setup.hostIni.isNull() && !writeIni(setup.hostIni))
        fail(QStringLiteral("cannot write host.ini"));
    if (!setup.store.isNull() && !writeFile(inHome(QStringLiteral("einstellungen.ini")), setup.store))
        fail(QStringLiteral("cannot write the store"));
    if (!setup.branch.isEmpty())
        database(setup.branch);
    for (const HostSetup::Entry &entry : setup.entries)
        makeEntry(entry);
    for (const HostSetup::Mount &each : setup.mounts) {
        if (each.room >= 0)
            fill(each);
    }
    for (const auto &[name, value] : setup.environment) {
#ifdef Q_OS_WIN
        if (!value.isNull() && (name == QLatin1String("DISPLAY") || name == QLatin1String("WAYLAND_DISPLAY")))
            skip(QStringLiteral("a display of X or Wayland is seen from Linux only"));
#endif
        m_variables.append({name, value});
    }
    if (setup.xServer != HostSetup::XServer::None)
        startXServer(setup.xServer);
    if (setup.noHostName)
        probeHostName();
    if (!setup.temporaryFolder.isEmpty())
        useTemporaryFolder(filePath(setup.temporaryFolder));
    checkModes();
    m_variables.append({QStringLiteral("ORDOVANT_HOME"), home()});
    for (const auto &[name, value] : std::as_const(m_variables))
        putVariable(name, value);
    return m_skipReason.isEmpty() && m_error.isEmpty();
}

void StandaloneHostHome::putVariable(const QString &name, const QString &value)
{
    const QByteArray key = name.toLocal8Bit();
    m_previous.append({key, qEnvironmentVariableIsSet(key.constData())
                                ? std::optional(qgetenv(key.constData()))
                                : std::nullopt});
    if (value.isNull())
        qunsetenv(key.constData());
    else
        qputenv(key.constData(), QFile::encodeName(value));
}

bool StandaloneHostHome::writeFile(const QString &name, const QByteArray &content) const
{
    QDir().mkpath(QFileInfo(filePath(name)).absolutePath());
    QFile file(filePath(name));
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

bool StandaloneHostHome::writeIni(const QByteArray &content) const
{
    return writeFile(inHome(QStringLiteral("host.ini")), content);
}

QByteArray StandaloneHostHome::readFile(const QString &name) const
{
    QFile file(filePath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList StandaloneHostHome::logLines() const
{
    return HostFiles::logLines(home());
}

QMap<QString, QString> StandaloneHostHome::snapshot() const
{
    QMap<QString, QString> entries = HostFiles::snapshot(path());
    entries.remove(inHome(LogName));
    return entries;
}

QString StandaloneHostHome::changesSince(const QMap<QString, QString> &before) const
{
    return HostFiles::describeChanges(before, snapshot());
}

void StandaloneHostHome::lockDatabase()
{
    if (!m_setup.databaseLocked || m_locked)
        return;
    QSqlDatabase db =
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("writer-") + path());
    db.setDatabaseName(filePath(QStringLiteral("filiale.db")));
    if (!db.open() || !QSqlQuery(db).exec(QStringLiteral("BEGIN EXCLUSIVE")))
        fail(QStringLiteral("cannot lock the database: %1").arg(db.lastError().text()));
    m_locked = true;
}

void StandaloneHostHome::releaseDatabase()
{
    if (!m_locked)
        return;
    m_locked = false;
    {
        QSqlDatabase db = QSqlDatabase::database(QStringLiteral("writer-") + path(), false);
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("writer-") + path());
}

void StandaloneHostHome::fail(const QString &message)
{
    if (m_error.isEmpty())
        m_error = message;
}

void StandaloneHostHome::skip(const QString &reason)
{
    if (m_skipReason.isEmpty())
        m_skipReason = reason;
}

QString StandaloneHostHome::inHome(const QString &name) const
{
    return m_setup.home.isEmpty() ? name : m_setup.home + u'/' + name;
}

QString StandaloneHostHome::mountPoint(const HostSetup::Mount &mount) const
{
    if (mount.beside)
        return path() + mount.point;
    return mount.point.isEmpty() ? path() : filePath(mount.point);
}

void StandaloneHostHome::mount([[maybe_unused]] const HostSetup::Mount &mount)
{
#ifdef Q_OS_LINUX
    if (::geteuid() != 0)
        return skip(QStringLiteral("mounting a small file system needs root"));
    const QString point = mountPoint(mount);
    QStringList arguments{QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                          QStringLiteral("size=%1k").arg(mount.kib), QStringLiteral("tmpfs")};
    if (mount.type != QLatin1String("tmpfs")) {
        // The image beside the directory, so that no snapshot holds it.
        const QString image = path() + u'.' + mount.type;
        QStringList format{QStringLiteral("-q"), QStringLiteral("-F"), image};
        if (mount.type == QLatin1String("vfat")) {
            format = {QStringLiteral("-C"), image, QString::number(mount.kib)};
        } else {
            QFile file(image);
            if (!file.open(QIODevice::WriteOnly) || !file.resize(qint64(mount.kib) * 1024))
                return fail(QStringLiteral("cannot make a file system image"));
        }
        if (!ran(QStringLiteral("mkfs.") + mount.type, format))
            return skip(QStringLiteral("mkfs.%1 is not available").arg(mount.type));
        arguments = {QStringLiteral("-o"), QStringLiteral("loop"), image};
    }
    QDir().mkpath(point);
    if (QString output; !ran(QStringLiteral("mount"), arguments + QStringList{point}, &output)) {
        if (mount.beside)
            QDir().rmdir(point);
        return skip(QStringLiteral("mount is not possible here: ") + output);
    }
    m_mounted << point;
    if (mount.temporaryFolder)
        useTemporaryFolder(point);
#else
    skip(QStringLiteral("mounting a small file system needs Linux"));
#endif
}

// Fills the file system up to its last block, then gives back the room the mount leaves.
void StandaloneHostHome::fill(const HostSetup::Mount &mount)
{
    QFile filler(mountPoint(mount) + QStringLiteral("/fueller"));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return fail(QStringLiteral("cannot fill %1").arg(mountPoint(mount)));
    const QByteArray block(1024, 'x');
    while (filler.write(block) == block.size()) {
    }
    filler.resize(qMax<qint64>(0, filler.size() - mount.room));
    filler.close();
#ifdef Q_OS_UNIX
    ::sync();
#endif
}

void StandaloneHostHome::makeEntry(const HostSetup::Entry &entry)
{
    using Kind = HostSetup::Entry::Kind;
    const QString target = filePath(entry.path);
    [[maybe_unused]] const QByteArray encoded = QFile::encodeName(target);
    QDir().mkpath(QFileInfo(target).absolutePath());
    bool made = true;
    switch (entry.kind) {
    case Kind::File:
        made = writeFile(entry.path, entry.content);
        break;
    case Kind::Folder:
        made = QDir().mkpath(target);
        break;
    case Kind::Sqlite:
        sqlite(entry.path, entry.content);
        break;
    case Kind::Change:
        break;
#ifdef Q_OS_UNIX
    case Kind::Fifo:
        made = ::mkfifo(encoded.constData(), 0644) == 0;
        break;
    case Kind::Link:
        made = ::symlink(entry.content.constData(), encoded.constData()) == 0;
        break;
    case Kind::HardLink:
        made = ::link(QFile::encodeName(filePath(QString::fromUtf8(entry.content))).constData(),
                      encoded.constData()) == 0;
        break;
#else
    case Kind::Fifo:
    case Kind::Link:
    case Kind::HardLink:
        return skip(
            QStringLiteral("FIFOs and links are made here on Unix only: Windows users lack the right"));
#endif
    }
    if (!made)
        return fail(QStringLiteral("cannot make %1").arg(entry.path));
    if (entry.mode >= 0)
        setMode(entry.path, entry.mode);
    if (entry.owner >= 0)
        giveAway(entry.path, entry.owner);
}

void StandaloneHostHome::setMode(const QString &relative, int mode)
{
#ifdef Q_OS_UNIX
    if (::chmod(QFile::encodeName(filePath(relative)).constData(), mode_t(mode)) != 0)
        fail(QStringLiteral("cannot change the mode of %1").arg(relative));
#else
    // Windows keeps one of these bits, the owner's right to write (the read-only attribute).
    if (mode & 01022)
        skip(QStringLiteral("Unix permission bits"));
    else if (!QFile::setPermissions(filePath(relative),
                                    mode & 0200 ? QFile::ReadOwner | QFile::WriteOwner : QFile::ReadOwner))
        fail(QStringLiteral("cannot change the mode of %1").arg(relative));
#endif
}

void StandaloneHostHome::giveAway([[maybe_unused]] const QString &relative, [[maybe_unused]] int owner)
{
#ifdef Q_OS_UNIX
    if (::geteuid() != 0)
        skip(QStringLiteral("only root can give an entry to another user"));
    else if (::lchown(QFile::encodeName(filePath(relative)).constData(), uid_t(owner), gid_t(owner)) != 0)
        fail(QStringLiteral("cannot give away %1").arg(relative));
#else
    skip(QStringLiteral("Unix owners"));
#endif
}

void StandaloneHostHome::database(const QStringList &rows)
{
    QString output;
    if (!ran(ProgramRun::databaseTool(),
             QStringList{QStringLiteral("create"), filePath(QStringLiteral("filiale.db"))} + rows, &output))
        fail(QStringLiteral("ordovant-db failed: %1").arg(output));
}

void StandaloneHostHome::sqlite(const QString &relative, const QByteArray &statement)
{
    const QString connection = QStringLiteral("made-") + filePath(relative);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(filePath(relative));
        if (!db.open() || !QSqlQuery(db).exec(QString::fromUtf8(statement)))
            fail(QStringLiteral("cannot make %1: %2").arg(relative, db.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

// A file whose mode takes a right from its owner: a row about that right cannot run where the
// permissions do not hold (root, or Windows for reading).
void StandaloneHostHome::checkModes()
{
    for (const HostSetup::Entry &entry : std::as_const(m_setup.entries)) {
        const QString target = filePath(entry.path);
        if (entry.mode < 0 || !QFileInfo(target).isFile())
            continue;
        if (!(entry.mode & 0400) && QFile(target).open(QIODevice::ReadOnly))
            skip(QStringLiteral("file permissions do not stop this user (root) from reading"));
        if (!(entry.mode & 0200) && QFileInfo(target).isWritable())
            skip(QStringLiteral("file permissions do not stop this user (root) from writing"));
    }
}

void StandaloneHostHome::probeHostName()
{
#ifdef Q_OS_LINUX
    QProcess probe;
    ProgramRun::withoutHostName(probe);
    probe.start(ProgramRun::databaseTool(), {QStringLiteral("--help")});
    if (probe.waitForFinished(ToolTimeoutMs) && probe.exitCode() == 0)
        return;
#endif
    skip(QStringLiteral("no namespace of its own for a host name (needs Linux and root)"));
}

void StandaloneHostHome::startXServer([[maybe_unused]] HostSetup::XServer state)
{
#ifdef Q_OS_LINUX
    const QByteArray cookie("ordovant-cookie1");
    const QByteArray other("ordovant-cookie2");
    writeFile(QStringLiteral("xserver.auth"), authority(cookie));
    writeFile(QStringLiteral("xclient.auth"),
              authority(state == HostSetup::XServer::RefusesAuthorisation ? other : cookie));
    m_xServer = std::make_unique<XServer>();
    QProcess &server = m_xServer->process;
    server.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-auth"), filePath(QStringLiteral("xserver.auth"))});
    if (!server.waitForStarted(ToolTimeoutMs))
        return skip(QStringLiteral("no Xvfb here"));
    QByteArray &number = m_xServer->number;
    while (!number.contains('\n') && server.waitForReadyRead(ToolTimeoutMs))
        number += server.readAllStandardOutput();
    number = number.trimmed();
    if (number.isEmpty())
        return fail(QStringLiteral("Xvfb named no display"));
    m_variables << HostSetup::noDisplay(QStringLiteral(":") + QString::fromLatin1(number));
    m_variables.append({QStringLiteral("XAUTHORITY"), filePath(QStringLiteral("xclient.auth"))});
    if (state == HostSetup::XServer::Gone) {
        // Killed, it leaves its socket behind.
        m_xServer->killed = true;
        server.kill();
        server.waitForFinished(ToolTimeoutMs);
    } else if (state == HostSetup::XServer::Stopped) {
        ::kill(pid_t(server.processId()), SIGSTOP);
    }
#else
    skip(QStringLiteral("an X server of its own runs here on Linux only"));
#endif
}

void StandaloneHostHome::useTemporaryFolder(const QString &folder)
{
#ifdef Q_OS_WIN
    for (const char *name : {"TMP", "TEMP"})
        m_variables.append({QLatin1String(name), QDir::toNativeSeparators(folder)});
#else
    m_variables.append({QStringLiteral("TMPDIR"), folder});
    // Qt would make its own folder below the folder for temporary files, or at / when it is missing.
    m_variables.append({QStringLiteral("XDG_RUNTIME_DIR"),
                        QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)});
#endif
}
