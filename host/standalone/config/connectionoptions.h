#pragma once

#include <QString>
#include <QStringList>

// The connection options an administrator writes into host.ini (or gives ordovant-db), checked
// before anything connects. libpq reads "key=value" words separated by blanks, with single-quoted
// values; Qt's QPSQL turns every ";" into a blank first. An ODBC connection string is "key=value"
// separated by ";", a value in braces may hold anything. A problem names at most an option's key,
// never its text, which may hold a secret.
class ConnectionOptions final
{
public:
    enum class Problem {
        None,
        NotKeyValue,       // a word without "=", a connection URI among them
        UnterminatedQuote, // a single-quoted value without its closing quote
        Password,          // a password, which belongs in libpq's or the driver's own sources
        SetByHostIni,      // an option that a key of host.ini sets; `key` names it
        Tracing,           // a trace or log switch of a driver or the driver manager; `key` names it
        Code,              // a driver, driver file or plugin directory that host.ini would choose; `key`
    };

    struct Finding
    {
        Problem problem = Problem::None;
        QString key; // SetByHostIni: the option as libpq names it
    };

    // The options as QPSQL hands them to libpq, after host.ini's own keys.
    static Finding libpq(const QString &options);
    // A PWD or Password attribute in an ODBC connection string (a data source name or options); a
    // switch that has the driver or the driver manager write the connection into a file (Debug and
    // CommLog of psqlODBC, TRACE and the debug flag of OPTION of MariaDB's driver, Trace); a DRIVER=
    // that is not one of `registeredDrivers` (a path always counts as not registered), FILEDSN, which
    // names a file that names a driver, and a plugin directory.
    static Finding odbc(const QString &connectionText, const QStringList &registeredDrivers = {});

    // True for a value outside the options that holds a password as libpq or an ODBC driver would take
    // it: "password=…" or "pwd=…" in any case and spacing, or a URI with a user and password
    // ("postgresql://u:secret@…"). Such a value is never written into a message.
    static bool looksLikeSecret(const QString &value);

    // The driver's message with every quoted part that repeats text of `options` blanked out: libpq
    // quotes the option it could not read.
    static QString sanitized(const QString &message, const QString &options);
};
