#pragma once

#include "host/hosttypes.h"

#include <QSqlQuery>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

class HostConfig;
class QSqlDatabase;
class QSqlError;
struct sqlite3;
struct sqlite3_stmt;

// One open document as the branch database holds it.
struct Beleg
{
    qint64 id = 0;
    qint64 filiale = 0;
    qint64 art = 0;
    QString ablaufdatum;
};

// The branch database, opened read-only on first use and kept open. Nothing here creates or writes
// the file. Every failure is a HostError naming the file and the driver's message.
class BranchDatabase final
{
public:
    explicit BranchDatabase(std::shared_ptr<HostConfig> config);
    ~BranchDatabase();
    BranchDatabase(const BranchDatabase &) = delete;
    BranchDatabase &operator=(const BranchDatabase &) = delete;

    // Counts the open sort-out tasks per origin and per business-transaction type; returns the total.
    // Rows with an id outside the tables count in the total only.
    qint32 countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                          TQVX_Aufgabe_GV_Integer_Array &nachGV);
    bool hasOpenTask(qint16 filiale);
    QVector<Beleg> openBelege(qint16 filiale, const TQVX_Belegart_Set &arten);

private:
    static void closeOpenDatabases();
    QSqlDatabase database();
    void close();
    QSqlQuery &prepared(std::optional<QSqlQuery> &query, const QString &sql);
    sqlite3_stmt *preparedCount();
    [[noreturn]] void failNative(const QString &what, sqlite3 *handle) const;
    void run(QSqlQuery &query, const QString &what);
    [[noreturn]] void fail(const QString &what, const QSqlError &error) const;

    std::shared_ptr<HostConfig> m_config;
    QString m_connectionName;
    QString m_path;
    bool m_connectionAdded = false;
    // The count runs at every start and after every options dialog; through the driver's own handle
    // it costs no more than the query itself.
    sqlite3_stmt *m_countStatement = nullptr;
    std::optional<QSqlQuery> m_existsQuery;
};
