#pragma once

#include "branchsource.h"
#include "host/standalone/config/hostconfig.h"
#include "host/standalone/store/settingsstore.h"
#include "serverwatchdog.h"

#include <memory>

// The branch database as host.ini names it: the workstation's SQLite file, opened read-only
// (SqliteBranch), the branch's PostgreSQL server (QPSQL: LibpqBranch, Linux only) or a server through
// QODBC (ServerBranch). The source is chosen at the first question and kept; nothing here creates or
// alters a table. The settings on a server are the rows of the workstation's branch ([Warenabgabe] 17).
class BranchDatabase final : public SettingsStore
{
public:
    // A server's watchdog reports to `report` (the host's error service) when the server stays silent.
    BranchDatabase(std::shared_ptr<HostConfig> config, ServerWatchdog::Report report);
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
    static void closeBeforeQtSql();
    BranchSource &source();
    qint16 filiale();
    void close();

    std::shared_ptr<HostConfig> m_config;
    ServerWatchdog::Report m_report;
    std::unique_ptr<BranchSource> m_source;
};
