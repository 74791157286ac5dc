#pragma once

#include "host/hosttypes.h"
#include "hostconfig.h"
#include "settingsstorage.h"

#include <QSqlQuery>
#include <QString>
#include <QVector>

#include <memory>
#include <optional>

class QDate;
class QSqlDatabase;
class QSqlError;
struct sqlite3;
struct sqlite3_stmt;

// One open document as the branch database holds it.
struct Beleg
{
    qint64 filiale = 0;
    qint64 art = 0;
    bool hatAblaufdatum = false;
    bool abgelaufen = false;
};

// The branch database: the SQLite file of the workstation, opened read-only, or the branch's
// PostgreSQL server. One connection, opened at first use and kept; after a failure it is closed, so
// that the next question connects afresh. Nothing here creates or alters a table. Every failure is a
// HostError naming the database and the driver's message, never a connection option.
class BranchDatabase final : public SettingsStorage
{
public:
    explicit BranchDatabase(std::shared_ptr<HostConfig> config);
    ~BranchDatabase() override;
    BranchDatabase(const BranchDatabase &) = delete;
    BranchDatabase &operator=(const BranchDatabase &) = delete;

    // Counts the open sort-out tasks per origin and per business-transaction type; returns the total.
    // Rows with an id outside the tables count in the total only.
    qint32 countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                          TQVX_Aufgabe_GV_Integer_Array &nachGV);
    bool hasOpenTask(qint16 filiale);
    // The open documents of the kinds, each marked expired when its date lies before `stichtag`.
    QVector<Beleg> openBelege(qint16 filiale, const TQVX_Belegart_Set &arten, const QDate &stichtag);

    // The table einstellung.
    std::optional<QString> read(const QString &key) override;
    void write(const QString &key, const QString &value) override;

private:
    static void closeOpenDatabases();
    QSqlDatabase database();
    void addConnection();
    void configure(QSqlDatabase &db);
    void limitStatements(QSqlDatabase &db);
    bool isSqlite() const { return m_settings.driver == QLatin1String("QSQLITE"); }
    void close();
    QSqlQuery &prepared(std::optional<QSqlQuery> &query, const QString &sql);
    void run(QSqlQuery &query, const QString &what);
    [[noreturn]] void fail(const QString &what, const QString &driverMessage);
    [[noreturn]] void fail(const QString &what, const QSqlError &error);
    qint32 countNative(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                       TQVX_Aufgabe_GV_Integer_Array &nachGV);
    qint32 countQuery(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                      TQVX_Aufgabe_GV_Integer_Array &nachGV);
    sqlite3_stmt *preparedNativeCount();
    sqlite3 *sqliteHandle();
    QVector<Beleg> belegeNative(const QByteArray &sql, const QByteArray &day, qint16 filiale,
                                const QList<int> &kinds);
    QVector<Beleg> belegeQuery(const QString &sql, const QDate &stichtag, qint16 filiale,
                               const QList<int> &kinds);

    std::shared_ptr<HostConfig> m_config;
    QString m_connectionName;
    BranchDatabaseSettings m_settings;
    QString m_name;
    bool m_connectionAdded = false;
    // On SQLite the count runs at every start through the driver's own handle, where it costs no
    // more than the query itself.
    sqlite3_stmt *m_nativeCount = nullptr;
    std::optional<QSqlQuery> m_countQuery;
    std::optional<QSqlQuery> m_existsQuery;
    std::optional<QSqlQuery> m_readSettingQuery;
    std::optional<QSqlQuery> m_writeSettingQuery;
};
