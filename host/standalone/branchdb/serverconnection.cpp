#include "serverconnection.h"

#include "odbcconnection.h"
#include "postgresconnection.h"

std::unique_ptr<ServerConnection> ServerConnection::forSettings(const BranchDatabaseSettings &settings)
{
    if (settings.driver == QLatin1String("QODBC"))
        return std::make_unique<OdbcConnection>(settings);
    return std::make_unique<PostgresConnection>(settings);
}
