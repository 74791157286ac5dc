#include "connectionoptions.h"

#include <QList>
#include <QRegularExpression>
#include <QStringList>

#include <optional>

namespace {

struct Option
{
    QString key;
    QString value;
    bool assigned = false; // "key=" was written
};

// libpq's blanks: the C locale's isspace().
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

// The words the way libpq's conninfo parser reads them, or the first problem it would meet.
std::optional<QList<Option>> libpqWords(const QString &options, ConnectionOptions::Problem &problem)
{
    QString text = options;
    text.replace(u';', u' '); // as QPSQL does before libpq sees the text
    QList<Option> words;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        Option word;
        while (i < n && text[i] != u'=' && !isBlank(text[i]))
            word.key += text[i++];
        while (i < n && isBlank(text[i]))
            ++i;
        if (i == n || text[i] != u'=' || word.key.isEmpty()) {
            problem = ConnectionOptions::Problem::NotKeyValue;
            return std::nullopt;
        }
        ++i;
        while (i < n && isBlank(text[i]))
            ++i;
        if (i < n && text[i] == u'\'') {
            ++i;
            for (;;) {
                if (i == n) {
                    problem = ConnectionOptions::Problem::UnterminatedQuote;
                    return std::nullopt;
                }
                if (text[i] == u'\\' && i + 1 < n) {
                    word.value += text[i + 1];
                    i += 2;
                } else if (text[i] == u'\\') {
                    ++i;
                } else if (text[i] == u'\'') {
                    ++i;
                    break;
                } else {
                    word.value += text[i++];
                }
            }
        } else {
            while (i < n && !isBlank(text[i])) {
                if (text[i] == u'\\')
                    ++i;
                if (i < n)
                    word.value += text[i++];
            }
        }
        words.append(word);
    }
    return words;
}

bool isOneOf(const QString &key, std::initializer_list<const char *> names)
{
    for (const char *name : names) {
        if (key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// The attributes of an ODBC connection string; a value in braces ends at a "}" not doubled.
QList<Option> odbcAttributes(const QString &text)
{
    QList<Option> attributes;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        Option attribute;
        while (i < n && text[i] != u'=' && text[i] != u';')
            attribute.key += text[i++];
        if (i < n && text[i] == u'=') {
            attribute.assigned = true;
            ++i;
            while (i < n && text[i] == u' ')
                ++i;
            if (i < n && text[i] == u'{') {
                ++i;
                while (i < n) {
                    if (text[i] == u'}' && i + 1 < n && text[i + 1] == u'}') {
                        attribute.value += u'}';
                        i += 2;
                    } else if (text[i] == u'}') {
                        ++i;
                        break;
                    } else {
                        attribute.value += text[i++];
                    }
                }
            }
            while (i < n && text[i] != u';')
                attribute.value += text[i++];
        }
        ++i; // the ";"
        attribute.key = attribute.key.trimmed();
        attributes.append(attribute);
    }
    return attributes;
}

// libpq's keywords that host.ini may give in Optionen (and psqlODBC in pqopt): TLS and its files,
// the standby choice, keep-alives and time-outs, the names the server sees, and libpq's own password
// and service files. Not `options` (it sets the server session), not `replication`.
const std::initializer_list<const char *> LibpqKeys = {"sslmode",
                                                       "sslrootcert",
                                                       "sslcert",
                                                       "sslkey",
                                                       "sslcrl",
                                                       "sslcrldir",
                                                       "sslsni",
                                                       "sslcompression",
                                                       "ssl_min_protocol_version",
                                                       "ssl_max_protocol_version",
                                                       "requirepeer",
                                                       "gssencmode",
                                                       "krbsrvname",
                                                       "gsslib",
                                                       "channel_binding",
                                                       "target_session_attrs",
                                                       "application_name",
                                                       "fallback_application_name",
                                                       "keepalives",
                                                       "keepalives_idle",
                                                       "keepalives_interval",
                                                       "keepalives_count",
                                                       "tcp_user_timeout",
                                                       "passfile",
                                                       "service",
                                                       "client_encoding"};
// host.ini's own keys, and hostaddr, which would connect elsewhere than the log says.
const std::initializer_list<const char *> LibpqKeysOfHostIni = {"host",   "hostaddr", "port",
                                                                "dbname", "user",     "connect_timeout"};

// Every ODBC driver: the data source, the driver, the user and a description.
const std::initializer_list<const char *> OdbcKeys = {"dsn", "driver", "uid", "description"};
const std::initializer_list<const char *> OtherOdbcKeys = {"server", "database"};
const std::initializer_list<const char *> PsqlOdbcKeys = {"server",   "servername", "port", "database",
                                                          "username", "sslmode",    "pqopt"};
const std::initializer_list<const char *> MariaDbKeys = {
    "server",   "socket",    "port",          "database",   "db",           "user",          "sslkey",
    "sslcert",  "sslca",     "sslcapath",     "sslcipher",  "sslverify",    "sslcrl",        "sslcrlpath",
    "forcetls", "tlspeerfp", "tlspeerfplist", "tlsversion", "read_timeout", "write_timeout", "charset",
    "option",   "options"};

// Keys that are not on a list, named for what they do: a password, a trace or log of the driver or
// the driver manager (psqlODBC's packed flags CX among them), code that host.ini would choose.
const std::initializer_list<const char *> PasswordKeys = {"pwd", "password", "tlskeypwd"};
const std::initializer_list<const char *> TracingKeys = {
    "debug", "b2", "commlog", "b3", "cx", "logdir", "trace", "tracefile", "tracedll", "log", "savefile"};
const std::initializer_list<const char *> CodeKeys = {"filedsn", "plugin_dir", "defaultauth"};

// MariaDB Connector/ODBC's OPTION bit that writes a debug log.
constexpr qint64 MariaDbDebugFlag = 4;

// The flags as MariaDB's driver reads them: the leading digits ("4x" and "4.0" are 4).
qint64 leadingNumber(const QString &value)
{
    const QString text = value.trimmed();
    qsizetype digits = 0;
    while (digits < text.size() && digits < 18 && text[digits].isDigit() && text[digits].unicode() < 128)
        ++digits;
    return text.left(digits).toLongLong();
}

bool isRegistered(const QString &driver, const QHash<QString, QString> &registered, QString *library)
{
    if (driver.contains(u'/') || driver.contains(u'\\'))
        return false;
    for (auto it = registered.cbegin(); it != registered.cend(); ++it) {
        if (it.key().compare(driver.trimmed(), Qt::CaseInsensitive) == 0) {
            *library = it.value();
            return true;
        }
    }
    return false;
}

// The driver a data source names: a registered name, or on Unix a library's path.
ConnectionOptions::OdbcDriver dataSourceDriver(const QString &dataSource,
                                               const OdbcInstallation &installation)
{
    for (auto it = installation.dataSources.cbegin(); it != installation.dataSources.cend(); ++it) {
        if (it.key().compare(dataSource.trimmed(), Qt::CaseInsensitive) != 0)
            continue;
        QString library;
        if (isRegistered(it.value(), installation.driverLibraries, &library))
            return ConnectionOptions::odbcDriverOf(it.value(), library);
        return ConnectionOptions::odbcDriverOf(QString(), it.value());
    }
    return ConnectionOptions::OdbcDriver::Other;
}

// The driver whose list decides: DRIVER= names it, else the data source; where both do and differ,
// or DRIVER= names none registered, Other.
ConnectionOptions::OdbcDriver driverOf(const QList<Option> &attributes, const OdbcInstallation &installation)
{
    std::optional<ConnectionOptions::OdbcDriver> driver;
    const auto take = [&driver](ConnectionOptions::OdbcDriver found) {
        driver = !driver || *driver == found ? found : ConnectionOptions::OdbcDriver::Other;
    };
    for (const Option &attribute : attributes) {
        QString library;
        if (isOneOf(attribute.key, {"driver"})) {
            take(isRegistered(attribute.value, installation.driverLibraries, &library)
                     ? ConnectionOptions::odbcDriverOf(attribute.value.trimmed(), library)
                     : ConnectionOptions::OdbcDriver::Other);
        } else if (isOneOf(attribute.key, {"dsn"})) {
            take(dataSourceDriver(attribute.value, installation));
        }
    }
    return driver.value_or(ConnectionOptions::OdbcDriver::Other);
}

// Qt's own reading of host.ini's Name and Optionen: DRIVER= or SERVER= make a connection string,
// anything else is a data source's name.
QList<Option> odbcConnectionAttributes(const QString &name, const QString &options)
{
    QString text = name.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
                           name.contains(QLatin1String("SERVER="), Qt::CaseInsensitive)
                       ? name
                       : QStringLiteral("DSN=") + name;
    if (!options.trimmed().isEmpty())
        text += u';' + options;
    QList<Option> attributes = odbcAttributes(text);
    attributes.removeIf(
        [](const Option &attribute) { return attribute.key.isEmpty() && attribute.value.isEmpty(); });
    return attributes;
}

std::initializer_list<const char *> odbcKeysOf(ConnectionOptions::OdbcDriver driver)
{
    switch (driver) {
    case ConnectionOptions::OdbcDriver::PsqlOdbc:
        return PsqlOdbcKeys;
    case ConnectionOptions::OdbcDriver::MariaDb:
        return MariaDbKeys;
    case ConnectionOptions::OdbcDriver::Other:
        break;
    }
    return OtherOdbcKeys;
}

} // namespace

ConnectionOptions::Finding ConnectionOptions::libpq(const QString &options)
{
    Problem problem = Problem::None;
    const std::optional<QList<Option>> words = libpqWords(options, problem);
    if (!words)
        return {problem, {}};
    // A password first: it is the worse fault of the two.
    for (const Option &word : *words) {
        if (isOneOf(word.key, {"password", "sslpassword"}))
            return {Problem::Password, {}};
    }
    for (const Option &word : *words) {
        for (const char *name : LibpqKeysOfHostIni) {
            if (word.key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return {Problem::SetByHostIni, QString::fromLatin1(name)};
        }
        // libpq's keywords are lower case; it refuses any other spelling itself.
        if (!isOneOf(word.key, LibpqKeys) || word.key != word.key.toLower())
            return {Problem::NotAllowed, word.key};
    }
    return {};
}

ConnectionOptions::OdbcDriver ConnectionOptions::odbcDriverOf(const QString &registeredName,
                                                              const QString &library)
{
    const QString file = library.section(u'/', -1).section(u'\\', -1).toLower();
    if (file.startsWith(QLatin1String("psqlodbc")))
        return OdbcDriver::PsqlOdbc;
    if (file.contains(QLatin1String("maodbc")))
        return OdbcDriver::MariaDb;
    if (!file.isEmpty())
        return OdbcDriver::Other;
    // Windows' driver manager does not say which file a driver loads.
    if (registeredName.contains(QLatin1String("PostgreSQL"), Qt::CaseInsensitive))
        return OdbcDriver::PsqlOdbc;
    if (registeredName.contains(QLatin1String("MariaDB"), Qt::CaseInsensitive))
        return OdbcDriver::MariaDb;
    return OdbcDriver::Other;
}

ConnectionOptions::Finding ConnectionOptions::odbc(const QString &name, const QString &options,
                                                   const OdbcInstallation &installation)
{
    // Qt's own reading of the name: ".dsn" anywhere makes it a FILEDSN, DRIVER= or SERVER= a
    // connection string, anything else a data source's name.
    if (name.contains(QLatin1String(".dsn"), Qt::CaseInsensitive))
        return {Problem::Code, QStringLiteral("FILEDSN")};
    const QList<Option> attributes = odbcConnectionAttributes(name, options);
    for (const Option &attribute : attributes) {
        // psqlODBC hands libpq's options on as they are.
        if (isOneOf(attribute.key, PasswordKeys) ||
            (isOneOf(attribute.key, {"pqopt"}) && libpq(attribute.value).problem == Problem::Password))
            return {Problem::Password, {}};
    }
    for (const Option &attribute : attributes) {
        QString library;
        if (isOneOf(attribute.key, {"driver"}) &&
            !isRegistered(attribute.value, installation.driverLibraries, &library))
            return {Problem::Code, attribute.key};
    }
    const OdbcDriver kind = driverOf(attributes, installation);
    QStringList seen;
    for (const Option &attribute : attributes) {
        // A word without "=" is not named: it may be a password written without its key.
        if (!attribute.assigned)
            return {Problem::NotAllowed, {}};
        if (seen.contains(attribute.key, Qt::CaseInsensitive))
            return {Problem::Repeated, attribute.key};
        seen << attribute.key;
        if (!isOneOf(attribute.key, OdbcKeys) && !isOneOf(attribute.key, odbcKeysOf(kind))) {
            if (isOneOf(attribute.key, TracingKeys))
                return {Problem::Tracing, attribute.key};
            if (isOneOf(attribute.key, CodeKeys))
                return {Problem::Code, attribute.key};
            return {Problem::NotAllowed, attribute.key};
        }
        if (kind == OdbcDriver::MariaDb && isOneOf(attribute.key, {"option", "options"}) &&
            (leadingNumber(attribute.value) & MariaDbDebugFlag))
            return {Problem::Tracing, attribute.key};
        if (isOneOf(attribute.key, {"pqopt"}) && libpq(attribute.value).problem != Problem::None)
            return {Problem::NotAllowed, attribute.key};
    }
    return {};
}

ConnectionOptions::OdbcDriver ConnectionOptions::odbcDriver(const QString &name, const QString &options,
                                                            const OdbcInstallation &installation)
{
    return driverOf(odbcConnectionAttributes(name, options), installation);
}

QString ConnectionOptions::odbcProgramAttributes(int timeoutSeconds, OdbcDriver driver)
{
    QString attributes = QStringLiteral(";CONN_TIMEOUT=%1;CommLog=0;Debug=0").arg(timeoutSeconds);
    // psqlODBC's default level of rollback on errors puts a SAVEPOINT of its own before every
    // statement: a round trip each. The program rolls back the whole piece of work after a failed
    // statement anyway; "7.4" is the protocol, the only one there is.
    if (driver == OdbcDriver::PsqlOdbc)
        attributes += QStringLiteral(";Protocol=7.4-1");
    return attributes;
}

bool ConnectionOptions::holdsCredentials(const QString &host, const QString &user)
{
    return host.contains(u'@') || user.contains(u':');
}

bool ConnectionOptions::looksLikeSecret(const QString &value)
{
    static const QRegularExpression secret(
        QStringLiteral("(pass(word)?|pwd)\\s*=|[a-z][a-z0-9+.-]*://[^/@\\s]*:[^/@\\s]*@"),
        QRegularExpression::CaseInsensitiveOption);
    return secret.match(value).hasMatch();
}

QString ConnectionOptions::sanitized(const QString &message, const QString &options)
{
    if (options.trimmed().isEmpty())
        return message;
    QStringList texts = options.split(QRegularExpression(QStringLiteral("[\\s;=']+")), Qt::SkipEmptyParts);
    texts << options.split(QRegularExpression(QStringLiteral("[\\s;]+")), Qt::SkipEmptyParts);
    const auto repeatsOption = [&](const QString &quoted) {
        for (const QString &text : texts) {
            if (quoted.contains(text) || (quoted.size() > 2 && text.contains(quoted)))
                return true;
        }
        return false;
    };
    QString result;
    qsizetype i = 0;
    while (i < message.size()) {
        const qsizetype open = message.indexOf(u'"', i);
        const qsizetype close = open < 0 ? -1 : message.indexOf(u'"', open + 1);
        if (close < 0) {
            result += message.mid(i);
            break;
        }
        const QString quoted = message.mid(open + 1, close - open - 1);
        result += message.mid(i, open + 1 - i);
        result += repeatsOption(quoted) ? QStringLiteral("…") : quoted;
        result += u'"';
        i = close + 1;
    }
    return result;
}
