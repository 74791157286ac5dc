#include "odbcconnection.h"

#include "branchsql.h"
#include "host/hosterror.h"
#include "host/standalone/config/connectionoptions.h"
#include "host/standalone/platform/odbcdrivermanager.h"
#include "sqlfailure.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QSqlResult>

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sqlext.h>

namespace {

// Qt takes a name with DRIVER= or SERVER= for a connection string and puts DSN= before anything else.
bool isConnectionString(const QString &name)
{
    return name.contains(QLatin1String("DRIVER="), Qt::CaseInsensitive) ||
           name.contains(QLatin1String("SERVER="), Qt::CaseInsensitive);
}

using SetStatementAttribute = SQLRETURN(SQL_API *)(SQLHSTMT, SQLINTEGER, SQLPOINTER, SQLINTEGER);
using GetInfo = SQLRETURN(SQL_API *)(SQLHDBC, SQLUSMALLINT, SQLPOINTER, SQLSMALLINT, SQLSMALLINT *);

// The server's product name as the driver reports it; Qt tells PostgreSQL apart, but not MariaDB.
QString serverProduct(const QSqlDatabase &db)
{
    const auto getInfo = reinterpret_cast<GetInfo>(odbcDriverManagerFunction("SQLGetInfo"));
    const QVariant handle = db.driver()->handle();
    if (!getInfo || handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return {};
    char name[128] = {};
    SQLSMALLINT length = 0;
    const SQLHANDLE connection = *static_cast<const SQLHANDLE *>(handle.constData());
    if (!SQL_SUCCEEDED(getInfo(connection, SQL_DBMS_NAME, name, SQLSMALLINT(sizeof name - 1), &length)))
        return {};
    return QString::fromLatin1(name);
}

} // namespace

QString OdbcConnection::serverName() const
{
    // A connection string may name more than a message should show.
    if (isConnectionString(m_settings.name))
        return QStringLiteral("über ODBC (Verbindungszeichenkette)");
    return QStringLiteral("\"%1\" über ODBC").arg(m_settings.name);
}

void OdbcConnection::configure(QSqlDatabase &db) const
{
    if (m_settings.name.isEmpty())
        throw HostError(QStringLiteral("Für den Treiber QODBC nennt [Datenbank] Name die ODBC-Datenquelle."));
    QString name = m_settings.name;
    if (!m_settings.options.isEmpty()) {
        if (!isConnectionString(name))
            throw HostError(
                QStringLiteral("Mit dem Treiber QODBC gehören weitere Angaben in die ODBC-Datenquelle "
                               "oder in eine Verbindungszeichenkette (DRIVER=...) in Name."));
        name += u';' + m_settings.options;
    }
    // MariaDB's driver leaves the login timeout to its own keyword: without it a server that accepts and
    // never answers holds the connect for ever. Other drivers pass over keywords they do not know.
    const ConnectionOptions::OdbcDriver driver = ConnectionOptions::odbcDriver(
        m_settings.name, m_settings.options, odbcInstallation().value_or(OdbcInstallation()));
    db.setDatabaseName(name + ConnectionOptions::odbcProgramAttributes(m_settings.timeoutSeconds, driver));
    db.setUserName(m_settings.user);
    db.setConnectOptions(QStringLiteral("SQL_ATTR_LOGIN_TIMEOUT=%1").arg(m_settings.timeoutSeconds));
}

void OdbcConnection::opened(const QSqlDatabase &db)
{
    if (db.driver()->dbmsType() == QSqlDriver::PostgreSQL)
        m_server = Server::Postgres;
    else if (serverProduct(db).contains(QLatin1String("MariaDB"), Qt::CaseInsensitive))
        m_server = Server::MariaDb;
    else
        m_server = Server::Other;
}

QSqlError OdbcConnection::beginWork(QSqlDatabase &db, qint64 limitMs)
{
    // Whole seconds for the statement limits, rounded up: a limit of 0 would be none.
    m_limitSeconds = int(std::clamp<qint64>((limitMs + 999) / 1000, 1, 3600));
    switch (m_server) {
    case Server::Postgres: {
        // psqlODBC's query timeout would set statement_timeout for the session. And psqlODBC sets
        // extra_float_digits for the session when it connects, outside every transaction, where a
        // pooler leaves it on a server connection that another client gets next: each transaction
        // puts it back, in the same round trip.
        QSqlQuery query(db);
        if (!query.exec(BranchSql::setLocalStatementTimeout(limitMs) +
                        QStringLiteral("; RESET extra_float_digits")))
            return SqlFailure::ofQuery(query);
        return {};
    }
    case Server::MariaDb:
    case Server::Other:
        // Each statement is its own transaction (autocommit). So the gap that InnoDB locks where an
        // UPDATE finds no row is free again before the INSERT: two workstations saving new keys at
        // once cannot deadlock on each other's INSERT; the second finds the first's key.
        break;
    }
    return {};
}

QString OdbcConnection::statement(const QString &sql) const
{
    return m_server == Server::MariaDb ? BranchSql::limitedOnMariaDb(sql, m_limitSeconds) : sql;
}

// Qt 6.4 binds a text with its terminating zero, which MariaDB's driver stores as part of the value;
// UTF-8 bytes go in with their exact length, and the server reads them in the column's character set.
QVariant OdbcConnection::text(const QString &value) const
{
    return m_server == Server::MariaDb ? QVariant(value.toUtf8()) : QVariant(value);
}

QSqlError OdbcConnection::limitStatement(QSqlQuery &query)
{
    if (m_server != Server::Other)
        return {};
    const QVariant handle = query.result() ? query.result()->handle() : QVariant();
    const auto set = reinterpret_cast<SetStatementAttribute>(odbcDriverManagerFunction("SQLSetStmtAttr"));
    if (!set || handle.metaType() != QMetaType::fromType<SQLHANDLE>())
        return QSqlError(QStringLiteral("ODBC"), QStringLiteral("die Anweisung nimmt kein Zeitlimit an"),
                         QSqlError::StatementError);
    const SQLHANDLE statement = *static_cast<const SQLHANDLE *>(handle.constData());
    const SQLRETURN result = set(statement, SQL_ATTR_QUERY_TIMEOUT,
                                 reinterpret_cast<SQLPOINTER>(static_cast<quintptr>(m_limitSeconds)), 0);
    if (!SQL_SUCCEEDED(result))
        return QSqlError(QStringLiteral("ODBC"), QStringLiteral("der Treiber nimmt kein Zeitlimit an"),
                         QSqlError::StatementError);
    return {};
}
