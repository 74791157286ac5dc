#pragma once

#include "hostconfig.h"

#include <QSqlDatabase>

// A QPSQL connection to the branch server as host.ini describes it; libpq finds the password itself.
inline void configureServerConnection(QSqlDatabase &db, const BranchDatabaseSettings &settings)
{
    if (!settings.host.isEmpty())
        db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.name);
    db.setUserName(settings.user);
    // QPSQL takes one port as a number; a list for the hosts of a list goes to libpq as an option.
    const QString ports =
        settings.portList.isEmpty() ? QString() : QStringLiteral("port=%1;").arg(settings.portList);
    db.setConnectOptions(QStringLiteral("connect_timeout=%1;%2%3")
                             .arg(settings.timeoutSeconds)
                             .arg(ports, settings.options));
}
