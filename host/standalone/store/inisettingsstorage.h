#pragma once

#include "settingsstorage.h"

// The settings on an INI file that several workstations and processes may share. Every read parses
// the file as it is on disk now, so values written by another process are seen; every write is a
// locked read-modify-write that replaces the file whole.
class IniSettingsStorage final : public SettingsStorage
{
public:
    explicit IniSettingsStorage(QString path) : m_path(std::move(path)) {}

    std::optional<QString> read(const QString &key) override;
    void write(const QString &key, const QString &value) override;

private:
    QString m_path;
};
