#include "hostconfig.h"

#include "connectionoptions.h"
#include "host/hosterror.h"
#include "host/standalone/platform/defaulthostdirectory.h"
#include "hostinifile.h"
#include "inifile.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

namespace {

QString hostDirectoryFromEnvironment()
{
    const QString configured = qEnvironmentVariable("ORDOVANT_HOME");
    if (!configured.isEmpty())
        return QDir(configured).absolutePath();
    return defaultHostDirectory();
}

} // namespace

HostConfig::HostConfig()
    : HostConfig(QDir(hostDirectoryFromEnvironment()).filePath(QStringLiteral("host.ini")))
{
}

HostConfig::HostConfig(const QString &iniPath)
    : m_hostDirectory(QFileInfo(iniPath).absolutePath()), m_iniPath(QFileInfo(iniPath).absoluteFilePath())
{
}

QString HostConfig::logPath() const
{
    return QDir(m_hostDirectory).filePath(QStringLiteral("ordovant.log"));
}

void HostConfig::validate()
{
    // Nothing could be read there, and no report written to its log.
    if (!QFileInfo(m_hostDirectory).isDir())
        throw HostError(QStringLiteral("Das Host-Verzeichnis %1 (ORDOVANT_HOME) gibt es nicht.")
                            .arg(QDir::toNativeSeparators(m_hostDirectory)));
    terminalId();
    const BranchDatabaseSettings branch = database();
    if (settingsInDatabase() && branch.driver == QLatin1String("QSQLITE"))
        throw HostError(QStringLiteral("In %1 verlangt [Einstellungen] Speicher=Datenbank einen Server "
                                       "(Treiber QPSQL oder QODBC): "
                                       "die SQLite-Filialdatenbank wird nur gelesen.")
                            .arg(iniPath()));
    checkOptions(branch);
}

// Connection options hold no password (host.ini is readable by every user of the workstation), are
// whole key=value words (libpq would quote a malformed one, a URI with its password, in its message),
// and leave host.ini's own keys alone (libpq takes the last value of a key, so an option would win).
// The messages name no option text.
void HostConfig::checkOptions(const BranchDatabaseSettings &branch)
{
    QString why;
    if (branch.driver == QLatin1String("QODBC")) {
        if (ConnectionOptions::odbc(branch.name).problem != ConnectionOptions::Problem::None ||
            ConnectionOptions::odbc(branch.options).problem != ConnectionOptions::Problem::None)
            why = QStringLiteral("Name oder Optionen mit einem Passwort (PWD) ungültig; es gehört in die "
                                 "Datenquelle des ODBC-Treibers oder in dessen Passwortdatei.");
    } else if (branch.driver == QLatin1String("QPSQL")) {
        const ConnectionOptions::Finding finding = ConnectionOptions::libpq(branch.options);
        switch (finding.problem) {
        case ConnectionOptions::Problem::None:
            break;
        case ConnectionOptions::Problem::Password:
            why = QStringLiteral("Optionen mit einem Passwort ungültig; es gehört in die Passwortdatei von "
                                 "libpq (~/.pgpass) oder eine Dienstdatei.");
            break;
        case ConnectionOptions::Problem::NotKeyValue:
            why = QStringLiteral("Optionen ungültig: jede Option hat die Form Schlüssel=Wert (eine "
                                 "Verbindungs-URI ist nicht erlaubt).");
            break;
        case ConnectionOptions::Problem::UnterminatedQuote:
            why = QStringLiteral("Optionen ungültig: ein Wert in einfachen Anführungszeichen ist nicht "
                                 "abgeschlossen.");
            break;
        case ConnectionOptions::Problem::SetByHostIni:
            why = QStringLiteral("Optionen ungültig: %1 setzt host.ini selbst (Host, Port, Name, Benutzer, "
                                 "Zeitlimit).")
                      .arg(finding.key);
            break;
        }
    }
    if (!why.isEmpty())
        throw HostError(QStringLiteral("In %1 ist [Datenbank] %2").arg(iniPath(), why));
}

QString HostConfig::choice(const QString &key, const QStringList &allowed)
{
    const QString value = trimmedText(key);
    if (value.isEmpty())
        return allowed.first();
    for (const QString &candidate : allowed) {
        if (value.compare(candidate, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    throw HostError(QStringLiteral("In %1 ist %2=\"%3\" ungültig; erlaubt: %4.")
                        .arg(iniPath(), key, value, allowed.join(QStringLiteral(", "))));
}

int HostConfig::number(const QString &key, int defaultValue, int minimum, int maximum)
{
    const QString value = trimmedText(key);
    if (value.isEmpty())
        return defaultValue;
    bool ok = false;
    const int parsed = value.toInt(&ok);
    if (!ok || parsed < minimum || parsed > maximum)
        throw HostError(QStringLiteral("In %1 ist %2=\"%3\" keine Zahl von %4 bis %5.")
                            .arg(iniPath(), key, value)
                            .arg(minimum)
                            .arg(maximum));
    return parsed;
}

const QHash<QString, QString> &HostConfig::values()
{
    if (!m_values) {
        const QString path = iniPath();
        m_values = HostIni::read(path);
    }
    return *m_values;
}

std::optional<QString> HostConfig::text(const QString &key)
{
    const auto &all = values();
    const auto found = all.constFind(key);
    if (found == all.cend())
        return std::nullopt;
    return *found;
}

QString HostConfig::trimmedText(const QString &key)
{
    return text(key).value_or(QString()).trimmed();
}

QString HostConfig::absolutePath(const QString &path) const
{
    return QDir::cleanPath(QDir(m_hostDirectory).absoluteFilePath(QDir::fromNativeSeparators(path)));
}

// The id becomes part of the settings keys ("GV07"); the store would read a separator in it as a
// group and so file the values of "07/" under "07", another workstation's.
QString HostConfig::terminalId()
{
    const auto id = text(QStringLiteral("Terminal/ID"));
    const QString terminal = id ? id->trimmed() : QSysInfo::machineHostName();
    if (id && terminal.isEmpty())
        throw HostError(QStringLiteral("In %1 ist [Terminal] ID leer.").arg(iniPath()));
    if (IniFile::holdsKeySeparator(terminal))
        throw HostError(QStringLiteral("Die Terminal-ID \"%1\" enthält / oder \\, die der Einstellungsspeicher "
                                       "als Gruppentrenner liest: die Einstellungen landeten bei einem anderen "
                                       "Arbeitsplatz. Tragen Sie in %2 unter [Terminal] eine ID ohne diese "
                                       "Zeichen ein.")
                            .arg(terminal, iniPath()));
    return terminal;
}

bool HostConfig::parameter(const QString &name)
{
    const QString value = trimmedText(QStringLiteral("Startparameter/") + name);
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
    const QString path = trimmedText(QStringLiteral("Datenbank/Pfad"));
    return absolutePath(path.isEmpty() ? QStringLiteral("filiale.db") : path);
}

BranchDatabaseSettings HostConfig::database()
{
    BranchDatabaseSettings settings;
    settings.driver =
        choice(QStringLiteral("Datenbank/Treiber"),
               {QStringLiteral("QSQLITE"), QStringLiteral("QPSQL"), QStringLiteral("QODBC")});
    settings.path = databasePath();
    settings.host = trimmedText(QStringLiteral("Datenbank/Host"));
    readPorts(settings);
    settings.name = trimmedText(QStringLiteral("Datenbank/Name"));
    settings.user = trimmedText(QStringLiteral("Datenbank/Benutzer"));
    settings.options = trimmedText(QStringLiteral("Datenbank/Optionen"));
    settings.timeoutSeconds = number(QStringLiteral("Datenbank/Zeitlimit"), 5, 1, 3600);
    return settings;
}

// One port, or for a list of hosts one port per host, passed to libpq as it is.
void HostConfig::readPorts(BranchDatabaseSettings &settings)
{
    const QString key = QStringLiteral("Datenbank/Port");
    const QString value = trimmedText(key);
    if (!value.contains(u','))
        settings.port = number(key, -1, 1, 65535);
    else {
        QStringList ports;
        for (const QString &part : value.split(u',')) {
            bool ok = false;
            const int port = part.trimmed().toInt(&ok);
            if (!ok || port < 1 || port > 65535)
                throw HostError(QStringLiteral("In %1 ist %2=\"%3\" keine Liste von Portnummern (1 bis 65535).")
                                    .arg(iniPath(), key, value));
            ports << QString::number(port);
        }
        settings.portList = ports.join(u',');
    }
}

bool HostConfig::settingsInDatabase()
{
    return choice(QStringLiteral("Einstellungen/Speicher"),
                  {QStringLiteral("Datei"), QStringLiteral("Datenbank")}) == QLatin1String("Datenbank");
}

QString HostConfig::storePath()
{
    const QString path = trimmedText(QStringLiteral("Einstellungen/Pfad"));
    return absolutePath(path.isEmpty() ? QStringLiteral("einstellungen.ini") : path);
}

QString HostConfig::warenabgabeSetting(int key, const QString &defaultValue)
{
    return text(QStringLiteral("Warenabgabe/") + QString::number(key)).value_or(defaultValue);
}
