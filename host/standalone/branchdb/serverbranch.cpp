#include "serverbranch.h"

#include "branchsql.h"
#include "host/hosterror.h"
#include "sqlfailure.h"
#include "tasktally.h"

#include <QSqlQuery>
#include <QStringList>

#include <atomic>
#include <optional>

namespace {

const QString Driver = QStringLiteral("QODBC");

QString uniqueConnectionName()
{
    static std::atomic<quint64> counter{0};
    return QStringLiteral("ordovant-filialserver-%1").arg(++counter);
}

} // namespace

ServerBranch::ServerBranch(const BranchDatabaseSettings &settings, ServerWatchdog::Report report)
    : m_connection(settings), m_connectionName(uniqueConnectionName()),
      m_hostCount(int(settings.host.count(u',')) + 1),
      m_timeLimit(settings.timeoutSeconds, m_connection.serverName(), std::move(report))
{
}

ServerBranch::~ServerBranch()
{
    close();
}

void ServerBranch::close()
{
    if (!m_connectionAdded)
        return;
    QSqlDatabase::database(m_connectionName, false).close();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionAdded = false;
}

QString ServerBranch::message(const QString &what, const QSqlError &error) const
{
    return QStringLiteral("Filialdatenbank %1: %2 fehlgeschlagen: %3")
        .arg(m_connection.serverName(), what, SqlFailure::reason(error));
}

QSqlDatabase ServerBranch::database()
{
    if (!m_connectionAdded) {
        if (!QSqlDatabase::isDriverAvailable(Driver))
            throw HostError(QStringLiteral("Der Datenbanktreiber %1 ist nicht installiert (Paket %2).")
                                .arg(Driver, m_connection.driverPackage()));
        QSqlDatabase db = QSqlDatabase::addDatabase(Driver, m_connectionName);
        m_connectionAdded = true;
        std::optional<HostError> refused;
        try {
            m_connection.configure(db);
        } catch (const HostError &e) {
            refused = e;
        }
        if (refused) {
            db = QSqlDatabase();
            close();
            throw HostError(*refused);
        }
    }
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (db.isOpen())
        return db;
    bool opened = false;
    {
        // libpq tries the servers of a list in turn, each up to the connect limit.
        const ServerTimeLimit::Work connecting = m_timeLimit.connecting(m_hostCount);
        opened = db.open();
    }
    if (!opened) {
        const QString text = message(QStringLiteral("Verbinden"), db.lastError());
        m_timeLimit.connectFailed(SqlFailure::reason(db.lastError()));
        // No copy of the connection may be alive when it is removed.
        db = QSqlDatabase();
        close();
        throw HostError(text);
    }
    m_connection.opened(db);
    return db;
}

template <typename Work> auto ServerBranch::inTransaction(Work &&work)
{
    using Result = decltype(work(std::declval<QSqlDatabase &>()));
    std::optional<Result> result;
    std::optional<HostError> failure;
    {
        QSqlDatabase db = database();
        // The statements of one step share its time; the watchdog guards the piece, rollback included.
        const ServerTimeLimit::Work limit = m_timeLimit.statement();
        const bool transaction = m_connection.limitsByTransaction();
        try {
            if (transaction && !db.transaction())
                throw HostError(message(QStringLiteral("Beginnen der Transaktion"), db.lastError()));
            if (const QSqlError error = m_connection.beginWork(db, limit.milliseconds()); error.isValid())
                fail(QStringLiteral("Einstellen des Zeitlimits"), error);
            // The work's queries end here, inside the transaction.
            result.emplace(work(db));
            if (transaction && !db.commit())
                throw HostError(message(QStringLiteral("Abschließen der Transaktion"), db.lastError()));
        } catch (const HostError &e) {
            failure = e;
            if (transaction)
                db.rollback();
        }
    }
    if (failure) {
        close();
        throw HostError(*failure);
    }
    return std::move(*result);
}

QSqlQuery ServerBranch::prepare(QSqlDatabase &db, const QString &sql, const QString &what)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.prepare(m_connection.statement(sql)))
        fail(QStringLiteral("Vorbereiten (%1)").arg(what), query.lastError());
    if (const QSqlError error = m_connection.limitStatement(query); error.isValid())
        fail(QStringLiteral("Einstellen des Zeitlimits"), error);
    return query;
}

QSqlQuery ServerBranch::runWithOwnValues(QSqlDatabase &db, const QString &sql, const QVariantList &values,
                                         const QString &what)
{
    QStringList literals;
    for (const QVariant &value : values) {
        if (value.metaType() == QMetaType::fromType<QDate>())
            literals << m_connection.dateLiteral(value.toDate());
        else
            literals << QString::number(value.toLongLong());
    }
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (m_connection.runsUnprepared()) {
        if (!query.exec(m_connection.statement(BranchSql::filled(sql, literals))))
            fail(what, SqlFailure::ofQuery(query));
        return query;
    }
    query = prepare(db, sql, what);
    for (const QVariant &value : values)
        query.addBindValue(value);
    run(query, what);
    return query;
}

void ServerBranch::run(QSqlQuery &query, const QString &what)
{
    if (!query.exec())
        fail(what, SqlFailure::ofQuery(query));
}

void ServerBranch::fail(const QString &what, const QSqlError &error)
{
    throw HostError(message(what, error));
}

qint32 ServerBranch::countOpenTasks(qint16 filiale, TQVX_Herkunfts_Integer_Array &nachHerkunft,
                                    TQVX_Aufgabe_GV_Integer_Array &nachGV)
{
    const QString what = QStringLiteral("Zählen der Absortieraufgaben");
    return inTransaction([&](QSqlDatabase &db) {
        QSqlQuery query = runWithOwnValues(db, BranchSql::CountOpenTasks, {filiale}, what);
        TaskTally tally(nachHerkunft, nachGV);
        while (query.next())
            tally.add(query.value(0).toLongLong(), query.value(1).toLongLong(), query.value(2).toLongLong());
        if (query.lastError().isValid())
            fail(what, query.lastError());
        return tally.total();
    });
}

bool ServerBranch::hasOpenTask(qint16 filiale)
{
    const QString what = QStringLiteral("Suchen offener Absortieraufgaben");
    return inTransaction([&](QSqlDatabase &db) {
        QSqlQuery query = runWithOwnValues(db, BranchSql::HasOpenTask, {filiale}, what);
        const bool found = query.next() && query.value(0).toLongLong() != 0;
        if (query.lastError().isValid())
            fail(what, query.lastError());
        return found;
    });
}

QVector<Beleg> ServerBranch::openBelege(qint16 filiale, const QList<int> &kinds, const QDate &stichtag)
{
    const QString what = QStringLiteral("Laden der Belege");
    const QString sql = BranchSql::openBelegeOfKinds(kinds.size());
    QVariantList values{stichtag, filiale};
    for (const int kind : kinds)
        values << kind;
    return inTransaction([&](QSqlDatabase &db) {
        QSqlQuery query = runWithOwnValues(db, sql, values, what);
        QVector<Beleg> belege;
        while (query.next())
            belege.append({filiale, query.value(0).toLongLong(), query.value(1).toInt() != 0,
                           query.value(2).toInt() != 0, query.value(3).toLongLong()});
        if (query.lastError().isValid())
            fail(what, query.lastError());
        return belege;
    });
}

std::optional<QString> ServerBranch::readSetting(qint16 filiale, const QString &key)
{
    const QString what = QStringLiteral("Lesen der Einstellung %1").arg(key);
    return inTransaction([&](QSqlDatabase &db) {
        QSqlQuery query = prepare(db, BranchSql::ReadSetting, what);
        query.addBindValue(filiale);
        query.addBindValue(m_connection.text(key));
        run(query, what);
        std::optional<QString> value;
        if (query.next())
            value = query.value(0).toString();
        if (query.lastError().isValid())
            fail(what, query.lastError());
        return value;
    });
}

// UPDATE, and INSERT when no row was there. Two workstations that save a new key at the same moment
// both find no row; the INSERT of the second then fails on the key, and a second transaction's UPDATE
// finds the first one's row. A server that counts only changed rows (MariaDB) finds none when the row
// holds the value already; reading the row tells that apart from an INSERT that failed for good.
void ServerBranch::writeSetting(qint16 filiale, const QString &key, const QString &value)
{
    const QString what = QStringLiteral("Schreiben der Einstellung %1").arg(key);
    const auto update = [&](QSqlDatabase &db) {
        QSqlQuery query = prepare(db, BranchSql::UpdateSetting, what);
        query.addBindValue(m_connection.text(value));
        query.addBindValue(filiale);
        query.addBindValue(m_connection.text(key));
        run(query, what);
        return query.numRowsAffected() > 0;
    };
    std::optional<QSqlError> insertError;
    const bool written = inTransaction([&](QSqlDatabase &db) {
        if (update(db))
            return true;
        QSqlQuery insert = prepare(db, BranchSql::InsertSetting, what);
        insert.addBindValue(filiale);
        insert.addBindValue(m_connection.text(key));
        insert.addBindValue(m_connection.text(value));
        if (insert.exec())
            return true;
        insertError = SqlFailure::ofQuery(insert);
        return false;
    });
    if (written)
        return;
    const std::optional<QString> error = inTransaction([&](QSqlDatabase &db) -> std::optional<QString> {
        if (update(db))
            return std::nullopt;
        QSqlQuery read = prepare(db, BranchSql::ReadSetting, what);
        read.addBindValue(filiale);
        read.addBindValue(m_connection.text(key));
        run(read, what);
        if (read.next() && read.value(0).toString() == value)
            return std::nullopt;
        return message(what, *insertError);
    });
    if (error) {
        close();
        throw HostError(*error);
    }
}
