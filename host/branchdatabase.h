#pragma once

#include "hosttypes.h"

#include <QObject>
#include <QSqlQuery>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

class HostConfig;
class QSqlDatabase;
class QSqlError;

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
    QSqlDatabase database();
    void close();
    QSqlQuery &prepared(std::optional<QSqlQuery> &query, const QString &sql);
    void run(QSqlQuery &query, const QString &what);
    [[noreturn]] void fail(const QString &what, const QSqlError &error) const;

    std::shared_ptr<HostConfig> m_config;
    QString m_connectionName;
    QString m_path;
    bool m_connectionAdded = false;
    QMetaObject::Connection m_closeWithApplication;
    std::optional<QSqlQuery> m_countQuery;
    std::optional<QSqlQuery> m_existsQuery;
};
