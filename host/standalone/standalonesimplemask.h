#pragma once

#include "host/hostbackend.h"

#include <memory>

class BranchDatabase;
class HostConfig;
class SettingsStore;

// The settings store of the standalone host: one section and subsection of the storage that host.ini
// chooses, the INI file or the branch database. The storage is chosen at the first access.
class StandaloneSimpleMask final : public SimpleMaskBackend
{
public:
    StandaloneSimpleMask(std::shared_ptr<HostConfig> config, std::shared_ptr<BranchDatabase> database,
                         const QString &section, const QString &subsection);
    ~StandaloneSimpleMask() override;

    void changeKeyValues(const QString &section, const QString &subsection, const QString &text, bool flag1,
                         bool flag2, const QString &text2, const QString &text3) override;
    QString readLocalDef(const QString &key, const QString &defaultValue) override;
    void writeLocal(const QString &key, const QString &value) override;

private:
    QString fullKey(const QString &key) const;
    SettingsStore &storage();

    std::shared_ptr<HostConfig> m_config;
    std::shared_ptr<BranchDatabase> m_database;
    std::unique_ptr<SettingsStore> m_iniStorage;
    QString m_group;
};
