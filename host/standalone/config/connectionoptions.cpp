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
    // host.ini's keys, and hostaddr, which would connect elsewhere than the log says.
    for (const Option &word : *words) {
        for (const char *name : {"host", "hostaddr", "port", "dbname", "user", "connect_timeout"}) {
            if (word.key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return {Problem::SetByHostIni, QString::fromLatin1(name)};
        }
    }
    return {};
}

namespace {

// MariaDB Connector/ODBC's OPTION bit that writes a debug log.
constexpr qint64 MariaDbDebugFlag = 4;

bool isRegistered(const QString &driver, const QStringList &registered)
{
    if (driver.contains(u'/') || driver.contains(u'\\'))
        return false;
    return registered.contains(driver.trimmed(), Qt::CaseInsensitive);
}

} // namespace

ConnectionOptions::Finding ConnectionOptions::odbc(const QString &connectionText,
                                                   const QStringList &registeredDrivers)
{
    const QList<Option> attributes = odbcAttributes(connectionText);
    for (const Option &attribute : attributes) {
        // psqlODBC hands libpq's options on as they are.
        if (isOneOf(attribute.key, {"pwd", "password"}) ||
            (isOneOf(attribute.key, {"pqopt"}) && libpq(attribute.value).problem == Problem::Password))
            return {Problem::Password, {}};
    }
    for (const Option &attribute : attributes) {
        // psqlODBC's Debug, CommLog and their short names B2 and B3 and its log folder; the driver
        // manager's trace; MariaDB's TRACE and SAVEFILE.
        if (isOneOf(attribute.key, {"debug", "b2", "commlog", "b3", "logdir", "trace", "tracefile",
                                    "tracedll", "log", "savefile"}))
            return {Problem::Tracing, attribute.key};
        bool number = false;
        const qint64 flags = attribute.value.trimmed().toLongLong(&number);
        if (isOneOf(attribute.key, {"option", "options"}) && number && (flags & MariaDbDebugFlag))
            return {Problem::Tracing, attribute.key};
    }
    for (const Option &attribute : attributes) {
        if (isOneOf(attribute.key, {"filedsn", "plugin_dir", "defaultauth"}) ||
            (isOneOf(attribute.key, {"driver"}) && !isRegistered(attribute.value, registeredDrivers)))
            return {Problem::Code, attribute.key};
    }
    return {};
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
