#include "branchdatabase.h"

#include "branchsql.h"
#include "host/hosterror.h"
#include "serverconnection.h"

#include <QCoreApplication>
#include <QDate>
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

// Adds one row of the grouped count to the total and to the slots of its ids.
class TaskTally
{
public:
    TaskTally(TQVX_Herkunfts_Integer_Array &nachHerkunft, TQVX_Aufgabe_GV_Integer_Array &nachGV)
        : m_nachHerkunft(nachHerkunft), m_nachGV(nachGV)
    {
        m_nachHerkunft.fill(0);
        m_nachGV.fill(0);
    }

    void add(qint64 gv, qint64 herkunft, qint64 count)
    {
        m_total += count;
        if (gv >= 0 && gv < GeschaeftsvorfallAnzahl)
            addTo(m_nachGV[gv], count);
        if (herkunft >= 0 && herkunft < HerkunftAnzahl)
            addTo(m_nachHerkunft[herkunft], count);
    }

    qint32 total() const { return clampedCount(m_total); }

private:
    static void addTo(qint32 &slot, qint64 count) { slot = clampedCount(qint64(slot) + count); }

    TQVX_Herkunfts_Integer_Array &m_nachHerkunft;
    TQVX_Aufgabe_GV_Integer_Array &m_nachGV;
    qint64 m_total = 0;
};

QList<BranchDatabase *> &openDatabases()
{
    static QList<BranchDatabase *> open;
    return open;
}

QString serverName(const BranchDatabaseSettings &settings)
{
    const QString host = settings.host.isEmpty() ? QStringLiteral("Standardserver") : settings.host;
    const QString port = settings.port > 0 ? QStringLiteral(":%1").arg(settings.port) : QString();
    return QStringLiteral("\"%1\" auf %2%3").arg(settings.name, host, port);
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
    // A driver cannot close a connection that still has a statement of its own.
    sqlite3_finalize(m_nativeCount);
    m_nativeCount = nullptr;
    for (auto *query : {&m_countQuery, &m_existsQuery, &m_readSettingQuery, &m_writeSettingQuery})
        query->reset();
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionAdded = false;
    openDatabases().removeOne(this);
}

QSqlDatabase BranchDatabase::database()
{
    if (m_connectionAdded)
        return QSqlDatabase::database(m_connectionName, false);
    m_settings = m_config->database();
    m_name = isSqlite() ? m_settings.path : serverName(m_settings);
    // QSQLITE would create a missing file even when asked to open it read-only.
    if (isSqlite() && !QFileInfo(m_settings.path).isFile())
        throw HostError(QStringLiteral("Die Filialdatenbank %1 gibt es nicht.").arg(m_settings.path));
    if (!QSqlDatabase::isDriverAvailable(m_settings.driver))
        throw HostError(
            QStringLiteral("Der Datenbanktreiber %1 ist nicht installiert (Paket libqt6sql6-%2).")
                .arg(m_settings.driver, isSqlite() ? QStringLiteral("sqlite") : QStringLiteral("psql")));
    addConnection();
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    configure(db);
    if (!db.open())
        fail(QStringLiteral("Verbinden"), db.lastError());
    if (!isSqlite())
        limitStatements(db);
    return db;
}

void BranchDatabase::addConnection()
{
    QSqlDatabase::addDatabase(m_settings.driver, m_connectionName);
    m_connectionAdded = true;
    openDatabases().append(this);
    // Qt Sql closes its connections in a routine of the ending application, and the installed
    // backend may outlive it. The routine added last runs first, so this one closes the branch
    // databases before Qt Sql: a driver cannot close a connection that still has a statement of ours.
    qRemovePostRoutine(&BranchDatabase::closeOpenDatabases);
    qAddPostRoutine(&BranchDatabase::closeOpenDatabases);
}

void BranchDatabase::configure(QSqlDatabase &db)
{
    if (isSqlite()) {
        db.setDatabaseName(m_settings.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=%1")
                                 .arg(m_settings.timeoutSeconds * 1000));
        return;
    }
    configureServerConnection(db, m_settings);
}

// A locked table or a server that stops answering mid-statement ends the statement, not the program.
void BranchDatabase::limitStatements(QSqlDatabase &db)
{
    QSqlQuery query(db);
    if (!query.prepare(BranchSql::SetStatementTimeout))
        fail(QStringLiteral("Einstellen des Zeitlimits"), query.lastError());
    query.addBindValue(QString::number(m_settings.timeoutSeconds * 1000));
    run(query, QStringLiteral("Einstellen des Zeitlimits"));
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

void BranchDatabase::fail(const QString &what, const QSqlError &error)
{
    fail(what, error.text());
}

void BranchDatabase::fail(const QString &what, const QString &driverMessage)
{
    const QString message =
        QStringLiteral("Filialdatenbank %1: %2 fehlgeschlagen: %3").arg(m_name, what, driverMessage);
    close();
    throw HostError(message);
}

qint32 BranchDatabase::countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                      TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    database(); // opens the connection, and so learns its driver
    return isSqlite() ? countNative(filiale, nachHerkunft, nachGV)
                      : countQuery(filiale, nachHerkunft, nachGV);
}

qint32 BranchDatabase::countQuery(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                  TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    QSqlQuery &query = prepared(m_countQuery, BranchSql::CountOpenTasks);
    query.bindValue(0, filiale);
    run(query, QStringLiteral("Zählen der Absortieraufgaben"));
    TaskTally tally(nachHerkunft, nachGV);
    while (query.next())
        tally.add(query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toLongLong());
    if (query.lastError().isValid())
        fail(QStringLiteral("Zählen der Absortieraufgaben"), query.lastError());
    query.finish();
    return tally.total();
}

sqlite3 *BranchDatabase::sqliteHandle()
{
    const QVariant handle = database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        fail(QStringLiteral("Zugriff"), QStringLiteral("der SQLite-Treiber gibt keinen Zugang"));
    return *static_cast<sqlite3 *const *>(handle.constData());
}

sqlite3_stmt *BranchDatabase::preparedNativeCount()
{
    if (m_nativeCount)
        return m_nativeCount;
    sqlite3 *connection = sqliteHandle();
    const QByteArray sql = BranchSql::CountOpenTasks.toUtf8();
    if (sqlite3_prepare_v3(connection, sql.constData(), int(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &m_nativeCount, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Vorbereiten"), QString::fromUtf8(sqlite3_errmsg(connection)));
    return m_nativeCount;
}

qint32 BranchDatabase::countNative(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                   TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    sqlite3_stmt *statement = preparedNativeCount();
    sqlite3_reset(statement);
    sqlite3_bind_int(statement, 1, filiale);
    TaskTally tally(nachHerkunft, nachGV);
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        tally.add(sqlite3_column_int64(statement, 0), sqlite3_column_int64(statement, 1),
                  sqlite3_column_int64(statement, 2));
    const QString error =
        step == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(sqlite3_db_handle(statement)));
    // Resetting keeps no read transaction open between two counts.
    sqlite3_reset(statement);
    if (step != SQLITE_DONE)
        fail(QStringLiteral("Zählen der Absortieraufgaben"), error);
    return tally.total();
}

bool BranchDatabase::hasOpenTask(qint16 filiale)
{
    QSqlQuery &query = prepared(m_existsQuery, BranchSql::HasOpenTask);
    query.bindValue(0, filiale);
    run(query, QStringLiteral("Suchen offener Absortieraufgaben"));
    const bool found = query.next() && query.value(0).toLongLong() != 0;
    query.finish();
    return found;
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
    QStringList placeholders;
    placeholders.fill(QStringLiteral("?"), kinds.size());
    const QString sql = BranchSql::OpenBelegeOfKinds + placeholders.join(u',') + u')';
    database(); // opens the connection, and so learns its driver
    return isSqlite() ? belegeNative(sql.toUtf8(), stichtag.toString(Qt::ISODate).toUtf8(), filiale, kinds)
                      : belegeQuery(sql, stichtag, filiale, kinds);
}

// As with the count: on SQLite the rows come straight from the driver's handle, without a QVariant
// for every value.
QVector<Beleg> BranchDatabase::belegeNative(const QByteArray &sql, const QByteArray &day, qint16 filiale,
                                            const QList<int> &kinds)
{
    sqlite3 *connection = sqliteHandle();
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v2(connection, sql.constData(), int(sql.size()), &statement, nullptr) != SQLITE_OK)
        fail(QStringLiteral("Vorbereiten"), QString::fromUtf8(sqlite3_errmsg(connection)));
    sqlite3_bind_text(statement, 1, day.constData(), int(day.size()), SQLITE_STATIC);
    sqlite3_bind_int(statement, 2, filiale);
    for (int i = 0; i < kinds.size(); ++i)
        sqlite3_bind_int(statement, 3 + i, kinds[i]);
    QVector<Beleg> belege;
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW)
        belege.append({filiale, sqlite3_column_int64(statement, 0), sqlite3_column_int(statement, 1) != 0,
                       sqlite3_column_int(statement, 2) != 0});
    const QString error = step == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(connection));
    sqlite3_finalize(statement);
    if (step != SQLITE_DONE)
        fail(QStringLiteral("Laden der Belege"), error);
    return belege;
}

QVector<Beleg> BranchDatabase::belegeQuery(const QString &sql, const QDate &stichtag, qint16 filiale,
                                           const QList<int> &kinds)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(QStringLiteral("Vorbereiten"), query.lastError());
    query.addBindValue(stichtag);
    query.addBindValue(filiale);
    for (const int kind : kinds)
        query.addBindValue(kind);
    run(query, QStringLiteral("Laden der Belege"));
    QVector<Beleg> belege;
    while (query.next())
        belege.append(
            {filiale, query.value(0).toLongLong(), query.value(1).toInt() != 0, query.value(2).toInt() != 0});
    if (query.lastError().isValid())
        fail(QStringLiteral("Laden der Belege"), query.lastError());
    return belege;
}

std::optional<QString> BranchDatabase::read(const QString &key)
{
    QSqlQuery &query = prepared(m_readSettingQuery, BranchSql::ReadSetting);
    query.bindValue(0, key);
    run(query, QStringLiteral("Lesen der Einstellung %1").arg(key));
    std::optional<QString> value;
    if (query.next())
        value = query.value(0).toString();
    query.finish();
    return value;
}

void BranchDatabase::write(const QString &key, const QString &value)
{
    QSqlQuery &query = prepared(m_writeSettingQuery, BranchSql::WriteSetting);
    query.bindValue(0, key);
    query.bindValue(1, value);
    run(query, QStringLiteral("Schreiben der Einstellung %1").arg(key));
    query.finish();
}
