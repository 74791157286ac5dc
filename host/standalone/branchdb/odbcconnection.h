#pragma once

#include "serverconnection.h"

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
    bool limitsByTransaction() const override { return m_server == Server::Postgres; }
    QSqlError beginWork(QSqlDatabase &db, qint64 limitMs) override;
    QString statement(const QString &sql) const override;
    // MariaDB's driver reads a statement that begins with its limit (SET STATEMENT ... FOR SELECT) as
    // one without rows unless it has values bound.
    bool runsUnprepared() const override { return m_server == Server::Postgres; }
    QSqlError limitStatement(QSqlQuery &query) override;
    QVariant text(const QString &value) const override;
    void recover(QSqlDatabase &) override {}

private:
    enum class Server { Postgres, MariaDb, Other };

    BranchDatabaseSettings m_settings;
    Server m_server = Server::Other;
    int m_limitSeconds = 1; // of the running piece of work
};
