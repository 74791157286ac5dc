#include "inisettingsstore.h"

#include "filereplacement.h"
#include "host/hosterror.h"
#include "host/standalone/platform/durablefile.h"
#include "host/standalone/store/inifile.h"
#include "host/standalone/store/inisnapshot.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QThread>

#include <optional>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

// QSettings locks "<file>.lock" while it saves, so the read-modify-write lock has a name of its own.
QString lockPathOf(const QString &storePath)
{
    return storePath + QStringLiteral(".schreibsperre");
}

constexpr int LockTimeoutMs = 10000;
constexpr int LockRetryMs = 5;
// A lock of another machine this old is a crashed writer's (a save holds it for milliseconds); shorter
// than the wait, so that one crashed workstation does not fail everybody's saves.
constexpr int StaleLockMs = 5000;
// QLockFile makes its file and then writes into it: an empty file may be a lock being taken.
constexpr int EmptyLockGraceMs = 200;

// A lock file that holds no lock at all (anyone who may write the folder can make one) is not waited
// for. A lock of this machine whose process is gone QLockFile takes over itself; so does it take one
// of another machine after the stale time.
class LockTakeOver
{
public:
    explicit LockTakeOver(QString path) : m_path(std::move(path)) {}

    void removeIfNoLock(QLockFile &lock)
    {
        qint64 pid = 0;
        QString host;
        QString application;
        const QFileInfo file(m_path);
        if (!file.exists() || lock.getLockInfo(&pid, &host, &application)) {
            m_emptySince.reset();
            return;
        }
        if (file.size() == 0) {
            if (!m_emptySince)
                m_emptySince = QDeadlineTimer(EmptyLockGraceMs);
            if (!m_emptySince->hasExpired())
                return;
        }
        // Not where its holder keeps it open (Windows) or locked (Unix): then it is a lock after all.
        lock.removeStaleLockFile();
        m_emptySince.reset();
    }

private:
    QString m_path;
    std::optional<QDeadlineTimer> m_emptySince;
};

QString lockFailure(const QLockFile &lock, const QString &path)
{
    switch (lock.error()) {
    case QLockFile::LockFailedError:
        return QStringLiteral(
                   "Der Einstellungsspeicher %1 ist seit %2 Sekunden von einem anderen Arbeitsplatz "
                   "gesperrt (%3).")
            .arg(QDir::toNativeSeparators(path), QString::number(LockTimeoutMs / 1000),
                 QDir::toNativeSeparators(lockPathOf(path)));
    case QLockFile::PermissionError:
        return QStringLiteral("Der Einstellungsspeicher %1 kann nicht gesperrt werden: in seinem Ordner darf "
                              "dieser Benutzer keine Datei anlegen, oder der Ordner ist schreibgeschützt.")
            .arg(QDir::toNativeSeparators(path));
    default:
        return QStringLiteral("Der Einstellungsspeicher %1 kann nicht gesperrt werden: die Sperrdatei %2 "
                              "lässt sich nicht anlegen (ist der Ordner keiner, oder der Datenträger voll?).")
            .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(lockPathOf(path)));
    }
}

// Anyone who may write the folder can put something else where the lock belongs. QLockFile reads the
// content of a lock it cannot take, which blocks on a FIFO for ever, and takes a folder or a link
// that leads nowhere for another workstation's lock; so what is there is looked at first.
void refuseNoLockFile(const QString &path)
{
    const QString what = DurableFile::notAFile(lockPathOf(path));
    if (!what.isEmpty())
        throw HostError(
            QStringLiteral("Der Einstellungsspeicher %1 kann nicht gesperrt werden: an der Stelle "
                           "seiner Sperrdatei %2 steht %3. Entfernen Sie es.")
                .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(lockPathOf(path)), what));
}

// QLockFile::tryLock(timeout) backs off up to seconds between tries; a store is locked only for the
// few milliseconds of one write, so waiting writers retry at short intervals.
void lockStore(QLockFile &lock, const QString &path)
{
    lock.setStaleLockTime(StaleLockMs);
    LockTakeOver takeOver(lockPathOf(path));
    const QDeadlineTimer deadline(LockTimeoutMs);
    for (;;) {
        refuseNoLockFile(path);
        if (lock.tryLock(0))
            return;
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            throw HostError(lockFailure(lock, path));
        takeOver.removeIfNoLock(lock);
        QThread::msleep(LockRetryMs);
    }
}

// The working copies of this user's saves that were killed (see IniSnapshot); that of a live save is
// a few milliseconds old.
void removeLeftSnapshots()
{
    constexpr int LeftAfterSeconds = 3600;
    const QRegularExpression name(QStringLiteral("^ordovant-[A-Za-z0-9]{6}$"));
    const QDateTime old = QDateTime::currentDateTime().addSecs(-LeftAfterSeconds);
    const QFileInfoList entries =
        QDir(QDir::tempPath()).entryInfoList({QStringLiteral("ordovant-*")}, QDir::Dirs | QDir::Hidden);
    for (const QFileInfo &entry : entries) {
        if (!name.match(entry.fileName()).hasMatch() || entry.isSymLink() || entry.lastModified() > old)
            continue;
#ifdef Q_OS_UNIX
        if (entry.ownerId() != ::geteuid())
            continue;
#endif
        QDir(entry.filePath()).removeRecursively();
    }
}

// QSettings writes its working copy in the folder for temporary files and does not see a write fail
// there: on a full disk the copy comes back cut short, and would become the store. Whatever is saved
// holds every value of before and the new one.
void checkWhole(const QByteArray &before, const QByteArray &after, const QString &key, const QString &value,
                const QString &path)
{
    QHash<QString, QString> expected = IniFile::values(before, path);
    expected.insert(key, value);
    if (IniFile::values(after, path) != expected)
        throw HostError(
            QStringLiteral("Die neue Fassung von %1 ist unvollständig (ist der Ordner für "
                           "temporäre Dateien %2 voll?); der Einstellungsspeicher bleibt, wie er war.")
                .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(QDir::tempPath())));
}

} // namespace

void IniSettingsStore::refuseHostIni(const QString &path, const QString &hostIniPath)
{
    // Windows takes names in any letter case as one.
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity Case = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity Case = Qt::CaseSensitive;
#endif
    // A file system that ignores letter case (FAT, also on Linux) finds host.ini by any spelling.
    if (DurableFile::sameFile(path, hostIniPath) ||
        replacedFile(path).compare(replacedFile(hostIniPath), Case) == 0)
        throw HostError(
            QStringLiteral("Der Einstellungsspeicher %1 ist die host.ini selbst; ein Speichern "
                           "schriebe sie um. Geben Sie in [Einstellungen] Pfad eine eigene Datei an.")
                .arg(QDir::toNativeSeparators(path)));
}

std::optional<QString> IniSettingsStore::read(const QString &key)
{
    const QHash<QString, QString> values = IniFile::values(IniFile::read(m_path), m_path);
    const auto found = values.constFind(key);
    if (found == values.cend())
        return std::nullopt;
    return *found;
}

void IniSettingsStore::write(const QString &key, const QString &value)
{
    // Like QSettings, a first write makes the store's folder.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // Writers that name the store through a link and by its real path must share one lock.
    const QString path = replacedFile(m_path);
    refuseHostIni(path, m_hostIniPath);
    QLockFile lock(lockPathOf(path));
    lockStore(lock, path);
    removeLeftTemporaries(path);
    removeLeftSnapshots();
    const QByteArray before = IniFile::read(path);
    IniSnapshot snapshot(before, path);
    snapshot.settings().setValue(key, value);
    const QByteArray after = snapshot.save();
    checkWhole(before, after, key, value, path);
    replaceFile(path, after);
}
