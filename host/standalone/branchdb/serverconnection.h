#pragma once

#include "host/standalone/config/hostconfig.h"

#include <QDate>
#include <QSqlError>

#include <memory>

class QSqlDatabase;
class QSqlQuery;

// How one Qt Sql driver reaches the branch server: the connection set-up from host.ini's keys, and
// what each piece of server work needs from the driver to leave nothing on the connection. The
// server work itself (ServerBranch) is the same for every driver.
class ServerConnection
{
public:
    virtual ~ServerConnection() = default;

    // The set-up for host.ini's driver: QPSQL or QODBC.
    static std::unique_ptr<ServerConnection> forSettings(const BranchDatabaseSettings &settings);

    // Names the server in messages; never a connection option, which may hold a secret.
    virtual QString serverName() const = 0;
    // The Debian package that brings the driver.
    virtual QString driverPackage() const = 0;
    // Host, database, user and the connect limit; throws HostError for keys the driver cannot take.
    virtual void configure(QSqlDatabase &db) const = 0;
    // Called once the connection is open: learns what the server is.
    virtual void opened(const QSqlDatabase &db) = 0;
    // True where the limit belongs to a transaction (PostgreSQL): each piece of work is one. Elsewhere
    // each statement carries its own limit and is its own transaction, which saves the round trips of
    // beginning and ending one.
    virtual bool limitsByTransaction() const { return true; }
    // Before a piece of work's first statement, right after BEGIN where there is one: the limit of its
    // statements, `limitMs` (what the step has left of its time). An invalid error is success.
    virtual QSqlError beginWork(QSqlDatabase &db, qint64 limitMs) = 0;
    // The text of a statement as this server takes it (by default as it is).
    virtual QString statement(const QString &sql) const { return sql; }
    // True where a statement whose values are the program's own numbers and dates goes to the server
    // with them as literals, at once and unprepared: one round trip instead of two to four. Not where
    // a statement's limit is set on its handle (limitStatement(), which only a prepared query has
    // before it runs), nor where the limit leads the statement.
    virtual bool runsUnprepared() const { return true; }
    // After prepare(), before the first exec(): the limit of a statement that the transaction's does
    // not bound.
    virtual QSqlError limitStatement(QSqlQuery &query) = 0;
    // A date as a literal of this server's SQL (by default ODBC's escape, which the driver turns into
    // its server's form).
    virtual QString dateLiteral(const QDate &date) const
    {
        return QStringLiteral("{d '%1'}").arg(date.toString(Qt::ISODate));
    }
    // A text value as the driver binds it (by default as it is).
    virtual QVariant text(const QString &value) const { return value; }
    // After a statement failed and before its query objects go: makes the transaction usable again,
    // so that what the driver frees on the way out is freed inside it.
    virtual void recover(QSqlDatabase &db) = 0;
};
