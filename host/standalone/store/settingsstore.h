#pragma once

#include <QString>

#include <optional>

// Where the per-workstation settings are kept: the INI file or the table einstellung of the branch
// server. Keys are whole paths as in the INI file ("ORDOVANT/DM/GV07"). Every failure is a HostError,
// and a failed write leaves the stored value as it was.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;

    // The stored value; none when nothing is stored under the key.
    virtual std::optional<QString> read(const QString &key) = 0;
    virtual void write(const QString &key, const QString &value) = 0;
};
