#include "settingsstore.h"

#include "hostconfig.h"
#include "host/hosterror.h"
#include "inifile.h"
#include "inisnapshot.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QThread>

namespace {

QString groupOf(const QString &section, const QString &subsection)
{
    return section + u'/' + subsection;
}

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

void replaceContent(const QString &path, const QByteArray &content)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        throw HostError(QStringLiteral("Der Einstellungsspeicher %1 kann nicht geschrieben werden: %2")
                            .arg(path, file.errorString()));
}

} // namespace

SettingsStore::SettingsStore(std::shared_ptr<HostConfig> config, const QString &section,
                             const QString &subsection)
    : m_config(std::move(config)), m_group(groupOf(section, subsection))
{
}

void SettingsStore::changeKeyValues(const QString &section, const QString &subsection, const QString &, bool,
                                    bool, const QString &, const QString &)
{
    m_group = groupOf(section, subsection);
}

QString SettingsStore::fullKey(const QString &key) const
{
    if (key.isEmpty())
        throw HostError(QStringLiteral("Ein Einstellungsschlüssel darf nicht leer sein."));
    return m_group + u'/' + key;
}

QString SettingsStore::readLocalDef(const QString &key, const QString &defaultValue)
{
    const QString name = fullKey(key);
    const QString path = m_config->storePath();
    IniSnapshot snapshot(IniFile::read(path), path);
    const QVariant value = snapshot.settings().value(name);
    return value.isValid() ? IniFile::text(value) : defaultValue;
}

void SettingsStore::writeLocal(const QString &key, const QString &value)
{
    const QString name = fullKey(key);
    const QString path = m_config->storePath();
    // Like QSettings, a first write makes the store's folder.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(lockPathOf(path));
    lockStore(lock, path);
    IniSnapshot snapshot(IniFile::read(path), path);
    checkWritable(path);
    snapshot.settings().setValue(name, value);
    replaceContent(path, snapshot.save());
}
