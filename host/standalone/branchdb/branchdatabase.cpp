#include "branchdatabase.h"

#include "host/hosterror.h"
#include "postgresbranch.h"
#include "serverbranch.h"
#include "sqlitebranch.h"

#include <QCoreApplication>

namespace {

QList<BranchDatabase *> &openDatabases()
{
    static QList<BranchDatabase *> open;
    return open;
}

} // namespace

BranchDatabase::BranchDatabase(std::shared_ptr<HostConfig> config, ServerWatchdog::Report report)
    : m_config(std::move(config)), m_report(std::move(report))
{
}

BranchDatabase::~BranchDatabase()
{
    close();
}

void BranchDatabase::closeOpenDatabases()
{
    const QList<BranchDatabase *> open = openDatabases();
    for (BranchDatabase *database : open)
        database->close();
}

void BranchDatabase::close()
{
    if (!m_source)
        return;
    m_source.reset();
    openDatabases().removeOne(this);
}

BranchSource &BranchDatabase::source()
{
    if (m_source)
        return *m_source;
    const BranchDatabaseSettings settings = m_config->database();
    if (settings.driver == QLatin1String("QSQLITE"))
        m_source = std::make_unique<SqliteBranch>(settings.path, settings.timeoutSeconds);
    else if (settings.driver == QLatin1String("QPSQL"))
        m_source = makePostgresBranch(settings, m_report);
    else
        m_source = std::make_unique<ServerBranch>(settings, m_report);
    openDatabases().append(this);
    closeBeforeQtSql();
    return *m_source;
}

// Qt Sql closes its connections in a routine of the ending application, and the installed backend may
// outlive it. The routine added last runs first, so this one closes the branch databases before Qt Sql:
// a driver cannot close a connection that still has a statement of ours, and leaks it.
void BranchDatabase::closeBeforeQtSql()
{
    qRemovePostRoutine(&BranchDatabase::closeOpenDatabases);
    qAddPostRoutine(&BranchDatabase::closeOpenDatabases);
}

qint32 BranchDatabase::countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                      TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    const qint32 total = source().countOpenTasks(filiale, nachHerkunft, nachGV);
    // The count keeps its statement, and Qt Sql adds its routine only with the first connection.
    closeBeforeQtSql();
    return total;
}

bool BranchDatabase::hasOpenTask(qint16 filiale)
{
    return source().hasOpenTask(filiale);
}

QVector<Beleg> BranchDatabase::openBelege(qint16 filiale, const TQVX_Belegart_Set &arten,
                                          const QDate &stichtag)
{
    QList<int> kinds;
    for (int art = 0; art < TQVX_Belegart_Set::capacity(); ++art) {
        if (arten.contains(art))
            kinds << art;
    }
    if (kinds.isEmpty())
        return {};
    return source().openBelege(filiale, kinds, stichtag);
}

// The settings rows belong to the branch that host.ini names, as the checks read it.
qint16 BranchDatabase::filiale()
{
    return m_config->branchNumber();
}

// host.ini's branch is checked before the server is chosen: its fault is the one to report.
std::optional<QString> BranchDatabase::read(const QString &key)
{
    const qint16 branch = filiale();
    return source().readSetting(branch, key);
}

void BranchDatabase::write(const QString &key, const QString &value)
{
    const qint16 branch = filiale();
    source().writeSetting(branch, key, value);
}
