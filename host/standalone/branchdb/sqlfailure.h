#pragma once

#include <QSqlError>
#include <QSqlQuery>
#include <QString>

// What a failed driver call says. Qt refuses a statement, a commit or a rollback on a connection that
// the driver has seen break (libpq after its server or pooler went away) with no error at all: such a
// failure still counts as one, and its message says what happened.
namespace SqlFailure {

// The error of a query whose exec() returned false: its own, or a lost connection when it has none.
inline QSqlError ofQuery(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    return error.isValid() ? error : QSqlError(QString(), QString(), QSqlError::ConnectionError);
}

// The reason for a message; never empty.
inline QString reason(const QSqlError &error)
{
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("die Verbindung zum Server ist abgebrochen (der Datenbanktreiber "
                                           "nennt keinen Grund)")
                          : text;
}

} // namespace SqlFailure
