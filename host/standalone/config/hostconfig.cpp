#include "hostconfig.h"

#include "connectionoptions.h"
#include "host/branchnumber.h"
#include "host/hosterror.h"
#include "host/standalone/platform/defaulthostdirectory.h"
#include "host/standalone/platform/odbcdrivermanager.h"
#include "host/standalone/platform/trustedpath.h"
#include "hostinifile.h"
#include "textfile.h"

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

QString HostConfig::logPath()
{
    return QDir(dataDirectory()).filePath(QStringLiteral("ordovant.log"));
}

QString HostConfig::dataDirectory()
{
    // An untrusted host.ini must not choose where another user's reports go.
    if (trustProblem().isEmpty()) {
        try {
            const QString configured = trimmedText(QStringLiteral("Verzeichnisse/Daten"));
            if (!configured.isEmpty())
                return absolutePath(configured);
        } catch (const HostError &) {
            // validate() reports what is wrong with host.ini; the report goes to the default place.
        }
    }
    return defaultDataDirectory();
}

QString HostConfig::defaultDataDirectory() const
{
    // The installed layout keeps what users write apart from host.ini; any other host directory holds
    // both, as it always did.
    if (QFileInfo(m_hostDirectory) == QFileInfo(systemHostDirectory()))
        return systemDataDirectory();
    return m_hostDirectory;
}

QString HostConfig::trustProblem()
{
    if (!m_trustProblem)
        m_trustProblem = untrustedPathProblem(m_iniPath);
    return *m_trustProblem;
}

void HostConfig::validate()
{
    // Nothing could be read there, and no report written to its log.
    const QFileInfo home(m_hostDirectory);
    if (!home.exists())
        throw HostError(QStringLiteral("Das Host-Verzeichnis %1 (ORDOVANT_HOME) gibt es nicht.")
                            .arg(QDir::toNativeSeparators(m_hostDirectory)));
    if (!home.isDir())
        throw HostError(
            QStringLiteral("Das Host-Verzeichnis %1 (ORDOVANT_HOME) ist kein Verzeichnis, sondern %2.")
                .arg(QDir::toNativeSeparators(m_hostDirectory), HostIni::kindOf(home)));
    // host.ini names the branch program and chooses drivers: what another user could put there would
    // run as whoever starts next.
    if (const QString problem = trustProblem(); !problem.isEmpty())
        throw HostError(QStringLiteral("%1 wird nicht gelesen und keine Prüfung läuft: %2. host.ini wählt "
                                       "Programme, die an diesem Arbeitsplatz starten; sie und die "
                                       "Verzeichnisse über ihr darf nur der Administrator ändern.")
                            .arg(QDir::toNativeSeparators(m_iniPath), problem));
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
// Through ODBC they switch on no trace of the driver, which would write the data source's password
// into a file others may read, and choose no code: a driver only by its registered name. The messages
// name no option text.
void HostConfig::checkOptions(const BranchDatabaseSettings &branch)
{
    QString why;
    if (branch.driver == QLatin1String("QODBC"))
        why = odbcProblem(branch);
    else if (branch.driver == QLatin1String("QPSQL")) {
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
        case ConnectionOptions::Problem::NotAllowed:
            why = QStringLiteral("Optionen mit %1 ungültig: host.ini nimmt nur die libpq-Optionen, die das "
                                 "Handbuch nennt (TLS, Standby, Keep-alive, Namen, Passwort- und "
                                 "Dienstdatei); alles andere gehört in eine Dienstdatei des Administrators.")
                      .arg(finding.key);
            break;
        case ConnectionOptions::Problem::Tracing: // ODBC's findings
        case ConnectionOptions::Problem::Code:
        case ConnectionOptions::Problem::Repeated:
            break;
        }
    }
    if (!why.isEmpty())
        throw HostError(QStringLiteral("In %1 ist [Datenbank] %2").arg(iniPath(), why));
}

QString HostConfig::odbcProblem(const BranchDatabaseSettings &branch)
{
    // Qt appends the user as ";UID=…" to the connection string.
    if (branch.user.contains(u';') || branch.user.contains(u'{') || branch.user.contains(u'}'))
        return QStringLiteral("Benutzer ungültig: ; { } sind in einem ODBC-Benutzernamen nicht erlaubt.");
    const ConnectionOptions::Finding finding =
        ConnectionOptions::odbc(branch.name, branch.options, odbcInstallation().value_or(OdbcInstallation()));
    switch (finding.problem) {
    case ConnectionOptions::Problem::Password:
        return QStringLiteral("Name oder Optionen mit einem Passwort (PWD) ungültig; es gehört in die "
                              "Datenquelle des ODBC-Treibers oder in dessen Passwortdatei.");
    case ConnectionOptions::Problem::Tracing:
        return QStringLiteral(
                   "Name oder Optionen mit dem Protokollschalter %1 ungültig: der Treiber schriebe "
                   "die Verbindung samt Passwort in Dateien, die andere lesen können. Protokolle "
                   "schaltet der Administrator in der Datenquelle (odbc.ini) ein.")
            .arg(finding.key);
    case ConnectionOptions::Problem::Code:
        return QStringLiteral("Name oder Optionen mit %1 ungültig: host.ini wählt keinen Programmcode. Ein "
                              "Treiber (DRIVER=) nur mit dem Namen, unter dem ihn der ODBC-Treibermanager "
                              "kennt (odbcinst.ini, unter Windows die Registrierung), kein Pfad; keine "
                              "Datei-Datenquelle (FILEDSN) und kein Plugin-Verzeichnis.")
            .arg(finding.key);
    case ConnectionOptions::Problem::NotAllowed:
        if (finding.key.isEmpty())
            return QStringLiteral("Name oder Optionen ungültig: jeder Eintrag hat die Form Schlüssel=Wert.");
        return QStringLiteral(
                   "Name oder Optionen mit %1 ungültig: host.ini nimmt für diesen ODBC-Treiber nur "
                   "die Schlüssel, die das Handbuch nennt (Server, Port, Datenbank, Benutzer, TLS, "
                   "Zeitlimits); alles andere gehört in die Datenquelle (odbc.ini).")
            .arg(finding.key);
    case ConnectionOptions::Problem::Repeated:
        return QStringLiteral("Name oder Optionen ungültig: %1 steht zweimal darin, und die Treiber "
                              "nehmen nicht alle denselben Wert.")
            .arg(finding.key);
    default:
        break;
    }
    return {};
}

// host.ini's connection values outside the options: a password there would reach libpq's or the
// driver's messages, and so the log. Checked before any of them is read as a number or a name, so
// that no message repeats such a value.
void HostConfig::checkForSecrets(const QString &driver)
{
    for (const char *name : {"Host", "Port", "Name", "Benutzer", "Treiber", "Zeitlimit"}) {
        const QString key = QStringLiteral("Datenbank/") + QLatin1String(name);
        const QString value = trimmedText(key);
        // An ODBC connection string is judged by its attributes: a brace value may hold anything.
        const bool connectionString = driver == QLatin1String("QODBC") && qstrcmp(name, "Name") == 0 &&
                                      (value.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
                                       value.contains(QLatin1String("SERVER="), Qt::CaseInsensitive));
        if (!connectionString && ConnectionOptions::looksLikeSecret(value))
            throw HostError(
                QStringLiteral("In %1 ist [Datenbank] %2 ungültig: der Wert sieht nach einem Passwort "
                               "aus (password=…, PWD=… oder eine URI mit Benutzer und Passwort). Ein "
                               "Passwort gehört nicht in host.ini.")
                    .arg(iniPath(), QLatin1String(name)));
    }
    // user:password@host and user:password reach the driver's message, and so the log.
    if (ConnectionOptions::holdsCredentials(trimmedText(QStringLiteral("Datenbank/Host")),
                                            trimmedText(QStringLiteral("Datenbank/Benutzer"))))
        throw HostError(
            QStringLiteral("In %1 ist [Datenbank] Host oder Benutzer ungültig: ein Rechnername "
                           "enthält kein @ und ein Benutzername kein : (Benutzer:Passwort@Rechner). "
                           "Ein Passwort gehört nicht in host.ini.")
                .arg(iniPath()));
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
                            .arg(iniPath(), key, value, QString::number(minimum), QString::number(maximum)));
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
    const auto found = all.constFind(HostIni::key(key));
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
    const QString terminal = id ? id->trimmed() : QSysInfo::machineHostName().trimmed();
    if (id && terminal.isEmpty())
        throw HostError(QStringLiteral("In %1 ist [Terminal] ID leer.").arg(iniPath()));
    if (terminal.isEmpty())
        throw HostError(
            QStringLiteral("Der Rechner hat keinen Namen, und %1 nennt unter [Terminal] keine ID: "
                           "ohne Terminal-ID gehören die Einstellungen keinem Arbeitsplatz.")
                .arg(iniPath()));
    if (TextFile::holdsKeySeparator(terminal))
        throw HostError(
            QStringLiteral("Die Terminal-ID \"%1\" enthält / oder \\, die der Einstellungsspeicher "
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
    checkForSecrets(trimmedText(QStringLiteral("Datenbank/Treiber")).toUpper());
    settings.driver = choice(QStringLiteral("Datenbank/Treiber"),
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
                throw HostError(
                    QStringLiteral("In %1 ist %2=\"%3\" keine Liste von Portnummern (1 bis 65535).")
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

// Relative to the users' folder. A store left in the host directory by the single-folder layout is
// read there until it is moved, so that no choice is lost.
QString HostConfig::storePath()
{
    const QString path = trimmedText(QStringLiteral("Einstellungen/Pfad"));
    const QDir data(dataDirectory());
    const QString name = path.isEmpty() ? QStringLiteral("einstellungen.ini") : path;
    const QString store = QDir::cleanPath(data.absoluteFilePath(QDir::fromNativeSeparators(name)));
    if (path.isEmpty() && !QFileInfo::exists(store)) {
        const QString old = absolutePath(name);
        if (QFileInfo::exists(old))
            return old;
    }
    return store;
}

// A whole number that names no branch gets one message, whatever its size or sign: the checks would
// take 0 and the negative ones silently for "no work", and cut larger ones to another branch.
QString HostConfig::warenabgabeSetting(int key, const QString &defaultValue)
{
    const QString value = text(QStringLiteral("Warenabgabe/") + QString::number(key)).value_or(defaultValue);
    if (key == BranchNumberKey) {
        if (const auto number = BranchNumber::wholeNumber(value); number && !BranchNumber::isValid(*number))
            throw notABranch(value);
    }
    return value;
}

qint16 HostConfig::branchNumber()
{
    const QString value = warenabgabeSetting(BranchNumberKey, QString()).trimmed();
    if (value.isEmpty())
        throw HostError(QStringLiteral("In %1 fehlt unter [Warenabgabe] die Filialnummer (17=...); die "
                                       "Einstellungen auf dem Server gehören zu einer Filiale.")
                            .arg(iniPath()));
    const auto number = BranchNumber::wholeNumber(value);
    if (!number)
        throw notABranch(value);
    return qint16(*number);
}

HostError HostConfig::notABranch(const QString &value) const
{
    return HostError(QStringLiteral("In %1 ist [Warenabgabe] 17=\"%2\" keine Filialnummer von %3 bis %4.")
                         .arg(iniPath(), value, QString::number(BranchNumber::Minimum),
                              QString::number(BranchNumber::Maximum)));
}
