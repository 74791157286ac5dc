#include "inisettingsstorage.h"

#include "filereplacement.h"
#include "host/hosterror.h"
#include "host/standalone/config/inifile.h"
#include "host/standalone/config/inisnapshot.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

namespace {

// QSettings locks "<file>.lock" while it saves, so the read-modify-write lock has a name of its own.
QString lockPathOf(const QString &storePath)
{
    return storePath + QStringLiteral(".schreibsperre");
}

constexpr int LockTimeoutMs = 10000;
constexpr int LockRetryMs = 5;

// QLockFile::tryLock(timeout) backs off up to seconds between tries; a store is locked only for the
// few milliseconds of one write, so waiting writers retry at short intervals.
void lockStore(QLockFile &lock, const QString &path)
{
    const QDeadlineTimer deadline(LockTimeoutMs);
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || deadline.hasExpired())
            throw HostError(
                QStringLiteral("Der Einstellungsspeicher %1 kann nicht gesperrt werden (Fehler %2).")
                    .arg(path)
                    .arg(int(lock.error())));
        QThread::msleep(LockRetryMs);
    }
}

// A save replaces the file by renaming, which would also replace a file that is write-protected.
void checkWritable(const QString &path)
{
    QFile file(path);
    if (file.exists() && !file.open(QIODevice::ReadWrite))
        throw HostError(QStringLiteral("Der Einstellungsspeicher %1 ist schreibgeschützt.").arg(path));
}

} // namespace

std::optional<QString> IniSettingsStorage::read(const QString &key)
{
    const QHash<QString, QString> values = IniFile::values(IniFile::read(m_path), m_path);
    const auto found = values.constFind(key);
    if (found == values.cend())
        return std::nullopt;
    return *found;
}

void IniSettingsStorage::write(const QString &key, const QString &value)
{
    // Like QSettings, a first write makes the store's folder.
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QLockFile lock(lockPathOf(m_path));
    lockStore(lock, m_path);
    IniSnapshot snapshot(IniFile::read(m_path), m_path);
    checkWritable(m_path);
    snapshot.settings().setValue(key, value);
    replaceFile(m_path, snapshot.save());
}
