#pragma once

#include "host/standalone/platform/odbcdrivermanager.h"

#include <QString>
#include <QStringList>

// The connection options an administrator writes into host.ini (or gives ordovant-db), checked
// before anything connects. libpq reads "key=value" words separated by blanks, with single-quoted
// values; Qt's QPSQL turns every ";" into a blank first. An ODBC connection string is "key=value"
// separated by ";", a value in braces may hold anything. Each consumer takes only the keys on its
// own list (libpq's, psqlODBC's, MariaDB Connector/ODBC's, a few for any other ODBC driver); every
// other key is refused by name. A problem names at most an option's key, never its text, which may
// hold a secret.
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
        NotAllowed,        // a key not on the consumer's list; `key` names it as written
        Repeated,          // a key given twice: drivers differ in which value they take; `key`
    };

    // The ODBC drivers whose keys the program knows.
    enum class OdbcDriver { Other, PsqlOdbc, MariaDb };

    struct Finding
    {
        Problem problem = Problem::None;
        QString key; // SetByHostIni: the option as libpq names it
    };

    // The options as QPSQL hands them to libpq, after host.ini's own keys.
    static Finding libpq(const QString &options);
    // host.ini's Name and Optionen for QODBC, as Qt joins them into one connection string. The driver
    // is the one DRIVER= or the data source names in `installation`; its list decides. A password, a
    // trace switch or a choice of code is named as such; a DRIVER= must be registered (in any letter
    // case; a path never is), and a Name holding ".dsn" is refused, which Qt reads as a FILEDSN.
    static Finding odbc(const QString &name, const QString &options, const OdbcInstallation &installation);
    // The driver a registered name and its library stand for.
    static OdbcDriver odbcDriverOf(const QString &registeredName, const QString &library);
    // The driver host.ini's Name and Optionen reach, as odbc() finds it.
    static OdbcDriver odbcDriver(const QString &name, const QString &options,
                                 const OdbcInstallation &installation);
    // The attributes the program adds to every ODBC connection string: the limit MariaDB's driver
    // takes only as a keyword, and psqlODBC's logs switched off whatever odbcinst.ini or the data
    // source say (Debian's odbcinst.ini switches CommLog on). Other drivers pass over both. For
    // psqlODBC also its level of rollback on errors.
    static QString odbcProgramAttributes(int timeoutSeconds, OdbcDriver driver);

    // A Host holding "@" (user:password@host) or a Benutzer holding ":" (user:password); a host name
    // never holds "@", an IPv6 address may hold ":".
    static bool holdsCredentials(const QString &host, const QString &user);

    // True for a value outside the options that holds a password as libpq or an ODBC driver would take
    // it: "password=…" or "pwd=…" in any case and spacing, or a URI with a user and password
    // ("postgresql://u:secret@…"). Such a value is never written into a message.
    static bool looksLikeSecret(const QString &value);

    // The driver's message with every quoted part that repeats text of `options` blanked out: libpq
    // quotes the option it could not read.
    static QString sanitized(const QString &message, const QString &options);
};
