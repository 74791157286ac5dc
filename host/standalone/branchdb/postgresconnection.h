#pragma once

#include "serverconnection.h"

// QPSQL, through which ordovant-db reaches a PostgreSQL server (the program itself uses libpq):
// libpq finds the server from host.ini's keys and the password in its own sources.
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

private:
    BranchDatabaseSettings m_settings;
};
