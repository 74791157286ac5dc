#include "postgresconnection.h"

#include <QSqlDatabase>

QString PostgresConnection::serverNameOf(const BranchDatabaseSettings &settings)
{
    const QString host = settings.host.isEmpty() ? QStringLiteral("Standardserver") : settings.host;
    const QString port = settings.port > 0 ? QStringLiteral(":%1").arg(settings.port) : QString();
    return QStringLiteral("\"%1\" auf %2%3").arg(settings.name, host, port);
}

void PostgresConnection::configure(QSqlDatabase &db) const
{
    if (!m_settings.host.isEmpty())
        db.setHostName(m_settings.host);
    db.setPort(m_settings.port);
    db.setDatabaseName(m_settings.name);
    db.setUserName(m_settings.user);
    // A list of hosts has one port per host, which libpq takes only as an option.
    const QString ports =
        m_settings.portList.isEmpty() ? QString() : QStringLiteral("port=%1;").arg(m_settings.portList);
    db.setConnectOptions(QStringLiteral("connect_timeout=%1;%2%3")
                             .arg(QString::number(m_settings.timeoutSeconds), ports, m_settings.options));
}
