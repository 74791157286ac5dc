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
    db.setConnectOptions(
        QStringLiteral("connect_timeout=%1;%2").arg(settings.timeoutSeconds).arg(settings.options));
}
