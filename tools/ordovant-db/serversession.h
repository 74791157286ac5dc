#pragma once

// ordovant-db's one connection to a branch server, through Qt's QPSQL or QODBC driver with the same
// set-up as the program. Messages name the server and the database, never the connection options.

#include "host/standalone/config/hostconfig.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <memory>

class QSqlError;
class ServerConnection;

// A transaction that is not committed is rolled back. Every failure is a ToolError.
class ServerSession final
{
public:
    explicit ServerSession(const BranchDatabaseSettings &settings);
    ~ServerSession();
    ServerSession(const ServerSession &) = delete;
    ServerSession &operator=(const ServerSession &) = delete;

    QSqlQuery prepare(const QString &sql);
    void exec(QSqlQuery &query, const char *what);
    // Prepares `sql`, binds the values in order and runs it.
    QSqlQuery run(const QString &sql, const QVariantList &values, const char *what);
    // The first column of the first row of `sql` with the values bound.
    QVariant value(const QString &sql, const char *what, const QVariantList &values = {});
    // A statement without values, sent as it is (a server cannot PREPARE CREATE ROLE or GRANT).
    void execute(const QString &sql, const char *what);
    // Bulk statements may rightly take long; on PostgreSQL only waiting for another session's lock is
    // limited, for this transaction alone.
    void begin();
    // True when the statement runs; a table that is missing fails it. Outside a transaction, which a
    // failed statement would end on PostgreSQL.
    bool runs(const QString &sql);
    void commit();
    // Rolls back first: the statements still prepared are freed on the way out, which an aborted
    // transaction would refuse.
    [[noreturn]] void fail(const QString &message);
    [[noreturn]] void fail(const char *what, const QSqlError &error);

    // A text value as the driver binds it.
    QVariant text(const QString &value) const;

private:
    std::unique_ptr<ServerConnection> m_connection;
    QString m_label;
    bool m_inTransaction = false;
    bool m_postgres = false;
    bool m_psqlOdbc = false;
    int m_lockTimeoutMs = 0;
};
