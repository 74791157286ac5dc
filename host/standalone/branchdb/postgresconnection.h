#pragma once

#include "serverconnection.h"

// QPSQL: libpq finds the server from host.ini's keys and the password in its own sources. The driver
// prepares every statement with values as a named PREPARE that it frees when the query object goes;
// each piece of work keeps both inside its transaction, and a savepoint lets a failed statement's
// DEALLOCATE still run there.
class PostgresConnection final : public ServerConnection
{
public:
    explicit PostgresConnection(BranchDatabaseSettings settings) : m_settings(std::move(settings)) {}

    QString serverName() const override { return serverNameOf(m_settings); }
    // The database and its server as messages name them.
    static QString serverNameOf(const BranchDatabaseSettings &settings);
    QString driverPackage() const override { return QStringLiteral("libqt6sql6-psql"); }
    void configure(QSqlDatabase &db) const override;
    void opened(const QSqlDatabase &) override {}
    QSqlError beginWork(QSqlDatabase &db, qint64 limitMs) override;
    QSqlError limitStatement(QSqlQuery &) override { return {}; }
    QString dateLiteral(const QDate &date) const override
    {
        return QStringLiteral("DATE '%1'").arg(date.toString(Qt::ISODate));
    }
    void recover(QSqlDatabase &db) override;

private:
    BranchDatabaseSettings m_settings;
};
