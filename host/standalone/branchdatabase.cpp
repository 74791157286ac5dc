#include "branchdatabase.h"

#include "hostconfig.h"
#include "host/hosterror.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>

#include <sqlite3.h>

#include <atomic>
#include <limits>

namespace {

QString uniqueConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("ordovant-filialdatenbank-%1").arg(++counter);
}

qint32 clampedCount(qint64 count)
{
    return qint32(std::min<qint64>(count, std::numeric_limits<qint32>::max()));
}

void addCount(qint32 &slot, qint64 count)
{
    slot = clampedCount(qint64(slot) + count);
}

QList<BranchDatabase *> &openDatabases()
{
    static QList<BranchDatabase *> open;
    return open;
}

QString belegartList(const TQVX_Belegart_Set &arten)
{
    QStringList members;
    for (int art = 0; art < TQVX_Belegart_Set::capacity(); ++art) {
        if (arten.contains(art))
            members << QString::number(art);
    }
    return members.join(u',');
}

} // namespace

BranchDatabase::BranchDatabase(std::shared_ptr<HostConfig> config)
    : m_config(std::move(config)), m_connectionName(uniqueConnectionName())
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
    if (!m_connectionAdded)
        return;
    // The driver cannot close a connection that still has a statement of its own.
    sqlite3_finalize(m_countStatement);
    m_countStatement = nullptr;
    m_existsQuery.reset();
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionAdded = false;
    openDatabases().removeOne(this);
}

QSqlDatabase BranchDatabase::database()
{
    if (m_connectionAdded) {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        if (db.isOpen())
            return db;
    }
    m_path = m_config->databasePath();
    // QSQLITE would create a missing file even when asked to open it read-only.
    if (!QFileInfo(m_path).isFile())
        throw HostError(QStringLiteral("Die Filialdatenbank %1 gibt es nicht.").arg(m_path));
    if (!m_connectionAdded) {
        QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        m_connectionAdded = true;
        openDatabases().append(this);
        // Qt Sql closes its connections in a routine of the ending application, and the installed
        // backend may outlive it. The routine added last runs first, so this one closes the branch
        // databases before Qt Sql: the driver cannot close a connection that still has a statement
        // of ours.
        qRemovePostRoutine(&BranchDatabase::closeOpenDatabases);
        qAddPostRoutine(&BranchDatabase::closeOpenDatabases);
    }
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=2000"));
    if (!db.open())
        fail(QStringLiteral("Öffnen"), db.lastError());
    return db;
}

QSqlQuery &BranchDatabase::prepared(std::optional<QSqlQuery> &query, const QString &sql)
{
    if (!query) {
        QSqlQuery fresh(database());
        fresh.setForwardOnly(true);
        if (!fresh.prepare(sql))
            fail(QStringLiteral("Vorbereiten"), fresh.lastError());
        query = std::move(fresh);
    }
    return *query;
}

void BranchDatabase::run(QSqlQuery &query, const QString &what)
{
    if (!query.exec())
        fail(what, query.lastError());
}

void BranchDatabase::fail(const QString &what, const QSqlError &error) const
{
    throw HostError(
        QStringLiteral("Filialdatenbank %1: %2 fehlgeschlagen: %3").arg(m_path, what, error.text()));
}

sqlite3_stmt *BranchDatabase::preparedCount()
{
    if (m_countStatement)
        return m_countStatement;
    const QVariant handle = database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        throw HostError(
            QStringLiteral("Filialdatenbank %1: der SQLite-Treiber gibt keinen Zugang").arg(m_path));
    sqlite3 *connection = *static_cast<sqlite3 *const *>(handle.constData());
    if (sqlite3_prepare_v3(connection,
                           "SELECT gv, herkunft, COUNT(*) FROM absortieraufgabe "
                           "WHERE filiale = ? AND erledigt = 0 GROUP BY gv, herkunft",
                           -1, SQLITE_PREPARE_PERSISTENT, &m_countStatement, nullptr) != SQLITE_OK)
        failNative(QStringLiteral("Vorbereiten"), connection);
    return m_countStatement;
}

void BranchDatabase::failNative(const QString &what, sqlite3 *handle) const
{
    throw HostError(QStringLiteral("Filialdatenbank %1: %2 fehlgeschlagen: %3")
                        .arg(m_path, what, QString::fromUtf8(sqlite3_errmsg(handle))));
}

qint32 BranchDatabase::countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                      TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    nachHerkunft.fill(0);
    nachGV.fill(0);
    sqlite3_stmt *statement = preparedCount();
    sqlite3_reset(statement);
    sqlite3_bind_int(statement, 1, filiale);
    qint64 total = 0;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        const qint64 gv = sqlite3_column_int64(statement, 0);
        const qint64 herkunft = sqlite3_column_int64(statement, 1);
        const qint64 count = sqlite3_column_int64(statement, 2);
        total += count;
        if (gv >= 0 && gv < GeschaeftsvorfallAnzahl)
            addCount(nachGV[gv], count);
        if (herkunft >= 0 && herkunft < HerkunftAnzahl)
            addCount(nachHerkunft[herkunft], count);
    }
    const QString error =
        step == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement)));
    // Resetting keeps no read transaction open between two counts.
    sqlite3_reset(statement);
    if (step != SQLITE_DONE)
        throw HostError(QStringLiteral("Filialdatenbank %1: Zählen der Absortieraufgaben fehlgeschlagen: %2")
                            .arg(m_path, error));
    return clampedCount(total);
}

bool BranchDatabase::hasOpenTask(qint16 filiale)
{
    QSqlQuery &query = prepared(m_existsQuery, QStringLiteral("SELECT EXISTS (SELECT 1 FROM absortieraufgabe "
                                                              "WHERE filiale = ? AND erledigt = 0)"));
    query.bindValue(0, filiale);
    run(query, QStringLiteral("Suchen offener Absortieraufgaben"));
    const bool found = query.next() && query.value(0).toInt() != 0;
    query.finish();
    return found;
}

QVector<Beleg> BranchDatabase::openBelege(qint16 filiale, const TQVX_Belegart_Set &arten)
{
    QVector<Beleg> belege;
    if (arten.isEmpty())
        return belege;
    // The kinds are numbers taken from a bit set, so they can stand in the text of the query.
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(QStringLiteral("SELECT id, filiale, art, ablaufdatum FROM beleg "
                                      "WHERE filiale = ? AND erledigt = 0 AND art IN (%1) ORDER BY id")
                           .arg(belegartList(arten))))
        fail(QStringLiteral("Vorbereiten"), query.lastError());
    query.bindValue(0, filiale);
    run(query, QStringLiteral("Laden der Belege"));
    while (query.next())
        belege.append({query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toLongLong(),
                       query.value(3).toString()});
    if (query.lastError().isValid())
        fail(QStringLiteral("Laden der Belege"), query.lastError());
    return belege;
}
