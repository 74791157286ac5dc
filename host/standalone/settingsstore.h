#pragma once

#include "host/hostbackend.h"

#include <memory>

class HostConfig;

// The settings store on an INI file that several workstations and processes may share. Every read
// parses the file as it is on disk now, so values written by another process are seen; every write
// is a locked read-modify-write that replaces the file whole, or fails with a HostError.
class SettingsStore final : public SimpleMaskBackend
{
public:
    SettingsStore(std::shared_ptr<HostConfig> config, const QString &section, const QString &subsection);

    void changeKeyValues(const QString &section, const QString &subsection, const QString &text, bool flag1,
                         bool flag2, const QString &text2, const QString &text3) override;
    QString readLocalDef(const QString &key, const QString &defaultValue) override;
    void writeLocal(const QString &key, const QString &value) override;

private:
    QString fullKey(const QString &key) const;

    std::shared_ptr<HostConfig> m_config;
    QString m_group;
};
