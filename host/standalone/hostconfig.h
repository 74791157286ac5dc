#pragma once

#include <QDate>
#include <QHash>
#include <QString>
#include <QVariant>

#include <optional>

// The host directory and its host.ini. The environment is read when the object is made; host.ini is
// read on first use and kept. A host.ini that cannot be read fails every operation that needs it.
class HostConfig final
{
public:
    HostConfig();

    QString hostDirectory() const { return m_hostDirectory; }
    QString iniPath() const;
    QString logPath() const;

    // Throws HostError when host.ini exists but cannot be read.
    void validate();

    QString terminalId();
    bool parameter(const QString &name);
    QString directory(const QString &name);
    QDate businessDate();
    QString databasePath();
    QString storePath();
    QString warenabgabeSetting(int key, const QString &defaultValue);

private:
    const QHash<QString, QVariant> &values();
    std::optional<QString> text(const QString &key);
    QString absolutePath(const QString &path) const;

    QString m_hostDirectory;
    std::optional<QHash<QString, QVariant>> m_values;
};
