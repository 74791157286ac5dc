#include "serversession.h"

#include "ordovantdb.h"

#include "host/hosterror.h"
#include "host/standalone/branchdb/serverconnection.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>

namespace {

const QString ConnectionName = QStringLiteral("ordovant-db");

QString label(const BranchDatabaseSettings &settings)
{
    if (settings.driver == QLatin1String("QODBC"))
        return settings.name.contains(u'=')
                   ? QStringLiteral("the ODBC connection string")
                   : QStringLiteral("the ODBC data source \"%1\"").arg(settings.name);
    const QString database = settings.name.isEmpty() ? QStringLiteral("the default database")
                                                     : QStringLiteral("database \"%1\"").arg(settings.name);
    const QString host = settings.host.isEmpty() ? QStringLiteral("the default host") : settings.host;
    const QString port = settings.port > 0 ? QStringLiteral(" port %1").arg(settings.port) : QString();
    return QStringLiteral("%1 on %2%3").arg(database, host, port);
}

} // namespace

ServerSession::ServerSession(const BranchDatabaseSettings &settings)
    : m_connection(ServerConnection::forSettings(settings)), m_label(label(settings))
{
    if (!QSqlDatabase::isDriverAvailable(settings.driver))
        throw ToolError(QStringLiteral("the Qt Sql driver %1 is not installed (Debian package %2)")
                            .arg(settings.driver, m_connection->driverPackage()));
    QSqlDatabase db = QSqlDatabase::addDatabase(settings.driver, ConnectionName);
    try {
        m_connection->configure(db);
    } catch (const HostError &e) {
        throw ToolError(QString::fromUtf8(e.what()));
    }
    if (!db.open())
        fail("connecting", db.lastError());
    m_connection->opened(db);
    m_postgres = db.driver()->dbmsType() == QSqlDriver::PostgreSQL;
    m_psqlOdbc = m_postgres && settings.driver == QLatin1String("QODBC");
    m_lockTimeoutMs = settings.timeoutSeconds * 1000;
}

ServerSession::~ServerSession()
{
    {
        QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
        if (m_inTransaction)
            db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(ConnectionName);
}

QSqlQuery ServerSession::prepare(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(ConnectionName, false));
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail("preparing a statement", query.lastError());
    return query;
}

void ServerSession::exec(QSqlQuery &query, const char *what)
{
    if (!query.exec())
        fail(what, query.lastError());
}

QSqlQuery ServerSession::run(const QString &sql, const QVariantList &values, const char *what)
{
    QSqlQuery query = prepare(sql);
    for (const QVariant &value : values)
        query.addBindValue(value);
    exec(query, what);
    return query;
}

QVariant ServerSession::value(const QString &sql, const char *what, const QVariantList &values)
{
    QSqlQuery query = run(sql, values, what);
    if (!query.next())
        fail(what, query.lastError());
    return query.value(0);
}

void ServerSession::execute(const QString &sql, const char *what)
{
    QSqlQuery query(QSqlDatabase::database(ConnectionName, false));
    if (!query.exec(sql))
        fail(what, query.lastError());
}

void ServerSession::begin()
{
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    if (!db.transaction())
        fail("beginning the transaction", db.lastError());
    m_inTransaction = true;
    if (m_postgres)
        run(QStringLiteral("SELECT set_config('lock_timeout', ?, true)"), {QString::number(m_lockTimeoutMs)},
            "setting the lock timeout");
    // psqlODBC set it for the session when it connected, where a pooler leaves it for others.
    if (m_psqlOdbc)
        execute(QStringLiteral("RESET extra_float_digits"), "resetting extra_float_digits");
}

bool ServerSession::runs(const QString &sql)
{
    QSqlQuery query(QSqlDatabase::database(ConnectionName, false));
    return query.exec(sql);
}

void ServerSession::commit()
{
    QSqlDatabase db = QSqlDatabase::database(ConnectionName, false);
    if (!db.commit())
        fail("committing", db.lastError());
    m_inTransaction = false;
}

void ServerSession::fail(const QString &message)
{
    if (m_inTransaction) {
        QSqlDatabase::database(ConnectionName, false).rollback();
        m_inTransaction = false;
    }
    throw ToolError(m_label + QStringLiteral(": ") + message);
}

void ServerSession::fail(const char *what, const QSqlError &error)
{
    // Qt refuses work on a connection the driver has seen break without any error text.
    QString reason = error.databaseText().trimmed();
    if (reason.isEmpty())
        reason = error.text().trimmed();
    if (reason.isEmpty())
        reason = QStringLiteral("the connection to the server is lost");
    fail(QStringLiteral("%1 failed: %2").arg(QLatin1String(what), reason));
}

QVariant ServerSession::text(const QString &value) const
{
    return m_connection->text(value);
}
