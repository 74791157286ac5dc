#pragma once

#include <QString>

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
    };

    struct Finding
    {
        Problem problem = Problem::None;
        QString key; // SetByHostIni: the option as libpq names it
    };

    // The options as QPSQL hands them to libpq, after host.ini's own keys.
    static Finding libpq(const QString &options);
    // A PWD or Password attribute in an ODBC connection string (a data source name or options).
    static Finding odbc(const QString &connectionText);

    // The driver's message with every quoted part that repeats text of `options` blanked out: libpq
    // quotes the option it could not read.
    static QString sanitized(const QString &message, const QString &options);
};
