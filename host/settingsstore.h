#pragma once

#include "hostbackend.h"

#include <memory>

class HostConfig;
class QSettings;

// The settings store on an INI file that several workstations and processes may share. Every read
// opens the file afresh, so values written by another process are seen; every write is a locked
// read-modify-write that is checked to have reached the file.
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
    static void checkStatus(const QSettings &settings, const QString &path);

    std::shared_ptr<HostConfig> m_config;
    QString m_group;
};
