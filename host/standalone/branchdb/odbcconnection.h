#pragma once

#include "serverconnection.h"

#include <QDate>
#include <QSqlError>

class QSqlQuery;

// QODBC: `Name` is a data source (DSN) or a whole connection string with DRIVER=; the password stays
// where the ODBC driver keeps it. Zeitlimit is the login timeout and the statement limit, which
// leaves no setting on the connection: on PostgreSQL (psqlODBC) the transaction's own, on MariaDB
// each statement's own (its driver ignores the query timeout, and a lock wait would not end), on
// every other server the ODBC query timeout of each statement.
class OdbcConnection final : public ServerConnection
{
public:
    explicit OdbcConnection(BranchDatabaseSettings settings) : m_settings(std::move(settings)) {}

    QString serverName() const override;
    QString driverPackage() const override { return QStringLiteral("libqt6sql6-odbc"); }
    void configure(QSqlDatabase &db) const override;
    void opened(const QSqlDatabase &db) override;
    QVariant text(const QString &value) const override;

    // What each piece of work needs to leave nothing on the connection.
    // True where the limit belongs to a transaction (PostgreSQL): each piece of work is one. Elsewhere
    // each statement carries its own limit and is its own transaction, which saves the round trips of
    // beginning and ending one.
    bool limitsByTransaction() const { return m_server == Server::Postgres; }
    // Before a piece of work's first statement, right after BEGIN where there is one: the limit of its
    // statements, `limitMs` (what the step has left of its time). An invalid error is success.
    QSqlError beginWork(QSqlDatabase &db, qint64 limitMs);
    // The text of a statement as this server takes it.
    QString statement(const QString &sql) const;
    // True where a statement whose values are the program's own numbers and dates goes to the server
    // with them as literals, at once and unprepared: one round trip instead of two to four. Not where
    // a statement's limit is set on its handle (limitStatement(), which only a prepared query has
    // before it runs), nor on MariaDB, whose driver reads a statement that begins with its limit
    // (SET STATEMENT ... FOR SELECT) as one without rows unless it has values bound.
    bool runsUnprepared() const { return m_server == Server::Postgres; }
    // After prepare(), before the first exec(): the limit of a statement that the transaction's does
    // not bound.
    QSqlError limitStatement(QSqlQuery &query);
    // A date as ODBC's escape, which the driver turns into its server's form.
    static QString dateLiteral(const QDate &date)
    {
        return QStringLiteral("{d '%1'}").arg(date.toString(Qt::ISODate));
    }

private:
    enum class Server { Postgres, MariaDb, Other };

    BranchDatabaseSettings m_settings;
    Server m_server = Server::Other;
    int m_limitSeconds = 1; // of the running piece of work
};
