#include "hostconfig.h"

#include "host/hosterror.h"
#include "inifile.h"
#include "inisnapshot.h"

#include <QDir>
#include <QStandardPaths>
#include <QSysInfo>

namespace {

QString hostDirectoryFromEnvironment()
{
    const QString configured = qEnvironmentVariable("ORDOVANT_HOME");
    if (!configured.isEmpty())
        return QDir(configured).absolutePath();
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(appData);
    return appData;
}

} // namespace

HostConfig::HostConfig() : m_hostDirectory(hostDirectoryFromEnvironment()) {}

QString HostConfig::iniPath() const
{
    return QDir(m_hostDirectory).filePath(QStringLiteral("host.ini"));
}

QString HostConfig::logPath() const
{
    return QDir(m_hostDirectory).filePath(QStringLiteral("ordovant.log"));
}

void HostConfig::validate()
{
    values();
}

const QHash<QString, QVariant> &HostConfig::values()
{
    if (!m_values) {
        const QString path = iniPath();
        IniSnapshot snapshot(IniFile::read(path), path);
        const QSettings &settings = snapshot.settings();
        QHash<QString, QVariant> values;
        for (const QString &key : settings.allKeys())
            values.insert(key, settings.value(key));
        m_values = std::move(values);
    }
    return *m_values;
}

std::optional<QString> HostConfig::text(const QString &key)
{
    const auto &all = values();
    const auto found = all.constFind(key);
    if (found == all.cend())
        return std::nullopt;
    return IniFile::text(*found);
}

QString HostConfig::absolutePath(const QString &path) const
{
    return QDir::cleanPath(QDir(m_hostDirectory).absoluteFilePath(path));
}

QString HostConfig::terminalId()
{
    const auto id = text(QStringLiteral("Terminal/ID"));
    if (!id)
        return QSysInfo::machineHostName();
    if (id->trimmed().isEmpty())
        throw HostError(QStringLiteral("In %1 ist [Terminal] ID leer.").arg(iniPath()));
    return id->trimmed();
}

bool HostConfig::parameter(const QString &name)
{
    const QString value = text(QStringLiteral("Startparameter/") + name).value_or(QString()).trimmed();
    for (const char *on : {"1", "true", "ja", "yes"}) {
        if (value.compare(QLatin1String(on), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString HostConfig::directory(const QString &name)
{
    const auto path = text(QStringLiteral("Verzeichnisse/") + name);
    if (!path || path->trimmed().isEmpty())
        throw HostError(
            QStringLiteral("Das Verzeichnis \"%1\" ist in %2 nicht eingetragen.").arg(name, iniPath()));
    return absolutePath(path->trimmed());
}

QDate HostConfig::businessDate()
{
    const auto date = text(QStringLiteral("Geschaeftsdatum/Datum"));
    if (!date)
        return QDate::currentDate();
    const QDate parsed = QDate::fromString(date->trimmed(), Qt::ISODate);
    if (!parsed.isValid())
        throw HostError(
            QStringLiteral("Das Geschäftsdatum \"%1\" in %2 ist kein gültiges Datum.").arg(*date, iniPath()));
    return parsed;
}

QString HostConfig::databasePath()
{
    const QString path = text(QStringLiteral("Datenbank/Pfad")).value_or(QString()).trimmed();
    return absolutePath(path.isEmpty() ? QStringLiteral("filiale.db") : path);
}

QString HostConfig::storePath()
{
    const QString path = text(QStringLiteral("Einstellungen/Pfad")).value_or(QString()).trimmed();
    return absolutePath(path.isEmpty() ? QStringLiteral("einstellungen.ini") : path);
}

QString HostConfig::warenabgabeSetting(int key, const QString &defaultValue)
{
    return text(QStringLiteral("Warenabgabe/") + QString::number(key)).value_or(defaultValue);
}
