#pragma once

#include "settingsstore.h"

// The settings on an INI file that several workstations and processes may share. Every read parses
// the file as it is on disk now, so values written by another process are seen; every write is a
// locked read-modify-write that replaces the file whole.
class IniSettingsStore final : public SettingsStore
{
public:
    // `hostIniPath` names the host.ini in use, which is never taken for a store.
    IniSettingsStore(QString path, QString hostIniPath)
        : m_path(std::move(path)), m_hostIniPath(std::move(hostIniPath))
    {
    }

    // Throws HostError when the store is that host.ini under any name (a link, another spelling): a
    // save would rewrite it in QSettings' form, its comments gone and its backslashes read as escapes.
    static void refuseHostIni(const QString &path, const QString &hostIniPath);

    std::optional<QString> read(const QString &key) override;
    void write(const QString &key, const QString &value) override;

private:
    QString m_path;
    QString m_hostIniPath;
};
