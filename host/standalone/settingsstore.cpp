#include "settingsstore.h"

#include "host/hosterror.h"
#include "host/standalone/branchdb/branchdatabase.h"
#include "host/standalone/config/hostconfig.h"
#include "host/standalone/config/inifile.h"
#include "host/standalone/store/inisettingsstorage.h"
#include "host/standalone/store/settingsstorage.h"

namespace {

QString groupOf(const QString &section, const QString &subsection)
{
    return section + u'/' + subsection;
}

} // namespace

SettingsStore::SettingsStore(std::shared_ptr<HostConfig> config, std::shared_ptr<BranchDatabase> database,
                             const QString &section, const QString &subsection)
    : m_config(std::move(config)), m_database(std::move(database)), m_group(groupOf(section, subsection))
{
}

SettingsStore::~SettingsStore() = default;

void SettingsStore::changeKeyValues(const QString &section, const QString &subsection, const QString &, bool,
                                    bool, const QString &, const QString &)
{
    m_group = groupOf(section, subsection);
}

QString SettingsStore::fullKey(const QString &key) const
{
    if (key.isEmpty())
        throw HostError(QStringLiteral("Ein Einstellungsschlüssel darf nicht leer sein."));
    // Else "GV07/" would be stored as "GV07", another workstation's key.
    if (IniFile::holdsKeySeparator(key))
        throw HostError(
            QStringLiteral(
                "Der Einstellungsschlüssel \"%1\" enthält / oder \\ und ist darum kein einzelner Name.")
                .arg(key));
    return m_group + u'/' + key;
}

SettingsStorage &SettingsStore::storage()
{
    if (m_config->settingsInDatabase())
        return *m_database;
    if (!m_iniStorage)
        m_iniStorage = std::make_unique<IniSettingsStorage>(m_config->storePath(), m_config->iniPath());
    return *m_iniStorage;
}

QString SettingsStore::readLocalDef(const QString &key, const QString &defaultValue)
{
    const QString name = fullKey(key);
    return storage().read(name).value_or(defaultValue);
}

void SettingsStore::writeLocal(const QString &key, const QString &value)
{
    const QString name = fullKey(key);
    storage().write(name, value);
}
