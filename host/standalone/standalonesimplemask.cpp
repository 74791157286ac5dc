#include "standalonesimplemask.h"

#include "host/hosterror.h"
#include "host/standalone/branchdb/branchdatabase.h"
#include "host/standalone/config/hostconfig.h"
#include "host/standalone/config/textfile.h"
#include "host/standalone/store/inisettingsstore.h"
#include "host/standalone/store/settingsstore.h"

namespace {

QString groupOf(const QString &section, const QString &subsection)
{
    return section + u'/' + subsection;
}

} // namespace

StandaloneSimpleMask::StandaloneSimpleMask(std::shared_ptr<HostConfig> config,
                                           std::shared_ptr<BranchDatabase> database, const QString &section,
                                           const QString &subsection)
    : m_config(std::move(config)), m_database(std::move(database)), m_group(groupOf(section, subsection))
{
}

StandaloneSimpleMask::~StandaloneSimpleMask() = default;

void StandaloneSimpleMask::changeKeyValues(const QString &section, const QString &subsection, const QString &,
                                           bool, bool, const QString &, const QString &)
{
    m_group = groupOf(section, subsection);
}

QString StandaloneSimpleMask::fullKey(const QString &key) const
{
    if (key.isEmpty())
        throw HostError(QStringLiteral("Ein Einstellungsschlüssel darf nicht leer sein."));
    // Else "GV07/" would be stored as "GV07", another workstation's key.
    if (TextFile::holdsKeySeparator(key))
        throw HostError(
            QStringLiteral(
                "Der Einstellungsschlüssel \"%1\" enthält / oder \\ und ist darum kein einzelner Name.")
                .arg(key));
    return m_group + u'/' + key;
}

SettingsStore &StandaloneSimpleMask::storage()
{
    if (m_config->settingsInDatabase())
        return *m_database;
    if (!m_iniStorage)
        m_iniStorage = std::make_unique<IniSettingsStore>(m_config->storePath(), m_config->iniPath());
    return *m_iniStorage;
}

QString StandaloneSimpleMask::readLocalDef(const QString &key, const QString &defaultValue)
{
    const QString name = fullKey(key);
    return storage().read(name).value_or(defaultValue);
}

void StandaloneSimpleMask::writeLocal(const QString &key, const QString &value)
{
    const QString name = fullKey(key);
    storage().write(name, value);
}
