#include "settingsstore.h"

#include "hostconfig.h"
#include "hosterror.h"
#include "inifile.h"

#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

namespace {

QString groupOf(const QString &section, const QString &subsection)
{
    return section + u'/' + subsection;
}

// QSettings itself locks "<store>.lock" while it saves, so the read-modify-write lock needs its own name.
QString lockPathOf(const QString &storePath)
{
    return storePath + QStringLiteral(".schreibsperre");
}

constexpr int LockTimeoutMs = 10000;

} // namespace

SettingsStore::SettingsStore(std::shared_ptr<HostConfig> config, const QString &section, const QString &subsection)
    : m_config(std::move(config)), m_group(groupOf(section, subsection))
{
}

void SettingsStore::changeKeyValues(const QString &section, const QString &subsection, const QString &, bool, bool,
                                    const QString &, const QString &)
{
    m_group = groupOf(section, subsection);
}

QString SettingsStore::fullKey(const QString &key) const
{
    if (key.isEmpty())
        throw HostError(QStringLiteral("Ein Einstellungsschlüssel darf nicht leer sein."));
    return m_group + u'/' + key;
}

void SettingsStore::checkStatus(const QSettings &settings, const QString &path)
{
    switch (settings.status()) {
    case QSettings::NoError:
        return;
    case QSettings::AccessError:
        throw HostError(QStringLiteral("Auf den Einstellungsspeicher %1 kann nicht zugegriffen werden.").arg(path));
    case QSettings::FormatError:
        throw HostError(QStringLiteral("Der Einstellungsspeicher %1 ist beschädigt.").arg(path));
    }
}

QString SettingsStore::readLocalDef(const QString &key, const QString &defaultValue)
{
    const QString name = fullKey(key);
    const QString path = m_config->storePath();
    IniFile::check(path);
    const QSettings settings(path, QSettings::IniFormat);
    checkStatus(settings, path);
    const QVariant value = settings.value(name);
    return value.isValid() ? IniFile::text(value) : defaultValue;
}

void SettingsStore::writeLocal(const QString &key, const QString &value)
{
    const QString name = fullKey(key);
    const QString path = m_config->storePath();
    QLockFile lock(lockPathOf(path));
    if (!lock.tryLock(LockTimeoutMs))
        throw HostError(QStringLiteral("Der Einstellungsspeicher %1 kann nicht gesperrt werden (Fehler %2).")
                            .arg(path)
                            .arg(int(lock.error())));
    IniFile::check(path);
    {
        QSettings settings(path, QSettings::IniFormat);
        checkStatus(settings, path);
        settings.setValue(name, value);
        settings.sync();
        checkStatus(settings, path);
    }
    // QSettings may report success for a save that did not happen; the file itself is the proof.
    const QSettings written(path, QSettings::IniFormat);
    if (written.status() != QSettings::NoError || IniFile::text(written.value(name)) != value
        || !written.contains(name))
        throw HostError(QStringLiteral("Die Einstellung %1 konnte nicht in %2 gespeichert werden.").arg(name, path));
}
