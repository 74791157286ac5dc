#pragma once

#include "branchsource.h"
#include "odbcconnection.h"
#include "servertimelimit.h"

#include <QSqlDatabase>

class QSqlQuery;

// The branch database on a server through ODBC (Treiber=QODBC). One connection, opened at the first
// question and closed after a failure. Every piece of work (a count, an existence test, the
// document load, a settings read or write) carries its own statement limit: as one transaction where
// the limit is the transaction's (PostgreSQL), else in each statement. Its query objects live only
// inside it, so that nothing of it stays on the connection: no setting, no prepared statement. Text
// values are always bound; the branch, the kinds and the business date are numbers and a date that
// the program formats itself, so that the checks' statements go to the server unprepared.
class ServerBranch final : public BranchSource
{
public:
    // The watchdog of the time limit reports to `report`.
    ServerBranch(const BranchDatabaseSettings &settings, ServerWatchdog::Report report);
    ~ServerBranch() override;
    ServerBranch(const ServerBranch &) = delete;
    ServerBranch &operator=(const ServerBranch &) = delete;

    qint32 countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                          TQVX_Aufgabe_GV_Integer_Array &nachGV) override;
    bool hasOpenTask(qint16 filiale) override;
    QVector<Beleg> openBelege(qint16 filiale, const QList<int> &kinds, const QDate &stichtag) override;
    std::optional<QString> readSetting(qint16 filiale, const QString &key) override;
    void writeSetting(qint16 filiale, const QString &key, const QString &value) override;
    void close() override;

private:
    QSqlDatabase database();
    // Runs `work` as one piece, in one transaction where the limit is the transaction's, and commits;
    // on a failure rolls back and closes the connection.
    template <typename Work> auto inTransaction(Work &&work);
    // A query of the running piece, prepared and limited.
    QSqlQuery prepare(QSqlDatabase &db, const QString &sql, const QString &what);
    // A statement of the running piece whose values are the program's own numbers and dates, run:
    // where the driver allows, with them filled in as literals and unprepared, else bound.
    QSqlQuery runWithOwnValues(QSqlDatabase &db, const QString &sql, const QVariantList &values,
                               const QString &what);
    void run(QSqlQuery &query, const QString &what);
    // Throws the failure of the running piece, which inTransaction() rolls back.
    [[noreturn]] void fail(const QString &what, const QSqlError &error);
    QString message(const QString &what, const QSqlError &error) const;

    OdbcConnection m_connection;
    QString m_connectionName;
    bool m_connectionAdded = false;
    int m_hostCount = 1;
    ServerTimeLimit m_timeLimit;
};
