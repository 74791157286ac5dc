#pragma once

#include "branchsource.h"

struct sqlite3;
struct sqlite3_stmt;

// The branch database as the workstation's SQLite file, opened read-only through Qt's QSQLITE driver
// and read through the driver's own handle: the count runs at every start, and there it costs no
// more than the query itself, without a QVariant for every value. The file keeps no settings.
class SqliteBranch final : public BranchSource
{
public:
    explicit SqliteBranch(QString path, int busyTimeoutSeconds);
    ~SqliteBranch() override;
    SqliteBranch(const SqliteBranch &) = delete;
    SqliteBranch &operator=(const SqliteBranch &) = delete;

    qint32 countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                          TQVX_Aufgabe_GV_Integer_Array &nachGV) override;
    bool hasOpenTask(qint16 filiale) override;
    QVector<Beleg> openBelege(qint16 filiale, const QList<int> &kinds, const QDate &stichtag) override;
    std::optional<QString> readSetting(qint16 filiale, const QString &key) override;
    void writeSetting(qint16 filiale, const QString &key, const QString &value) override;
    void close() override;

private:
    sqlite3 *connection();
    sqlite3_stmt *prepare(const QString &sql);
    [[noreturn]] void fail(const QString &what, const QString &driverMessage);

    QString m_path;
    int m_busyTimeoutSeconds;
    QString m_connectionName;
    bool m_connectionAdded = false;
    sqlite3_stmt *m_count = nullptr;
};
