#pragma once

#include "host/standalone/config/hostconfig.h"

#include <QVariant>

#include <memory>

class QSqlDatabase;

// How one Qt Sql driver reaches the branch server: the connection set-up from host.ini's keys, for
// ordovant-db's sessions (QPSQL or QODBC) and the program's work through ODBC (ServerBranch).
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
    // A text value as the driver binds it (by default as it is).
    virtual QVariant text(const QString &value) const { return value; }
};
