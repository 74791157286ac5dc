#include "odbcdrivermanager.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sqlext.h>

namespace {

using AllocHandle = SQLRETURN(SQL_API *)(SQLSMALLINT, SQLHANDLE, SQLHANDLE *);
using FreeHandle = SQLRETURN(SQL_API *)(SQLSMALLINT, SQLHANDLE);
using SetEnvAttr = SQLRETURN(SQL_API *)(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER);
using Drivers = SQLRETURN(SQL_API *)(SQLHENV, SQLUSMALLINT, SQLCHAR *, SQLSMALLINT, SQLSMALLINT *, SQLCHAR *,
                                     SQLSMALLINT, SQLSMALLINT *);

} // namespace

std::optional<QStringList> registeredOdbcDrivers()
{
    const auto alloc = reinterpret_cast<AllocHandle>(odbcDriverManagerFunction("SQLAllocHandle"));
    const auto freeHandle = reinterpret_cast<FreeHandle>(odbcDriverManagerFunction("SQLFreeHandle"));
    const auto setAttr = reinterpret_cast<SetEnvAttr>(odbcDriverManagerFunction("SQLSetEnvAttr"));
    const auto drivers = reinterpret_cast<Drivers>(odbcDriverManagerFunction("SQLDrivers"));
    if (!alloc || !freeHandle || !setAttr || !drivers)
        return std::nullopt;
    SQLHANDLE environment = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return std::nullopt;
    setAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    QStringList names;
    SQLCHAR name[512];
    SQLCHAR attributes[2048];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT attributesLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(drivers(environment, direction, name, SQLSMALLINT(sizeof name), &nameLength,
                                 attributes, SQLSMALLINT(sizeof attributes), &attributesLength))) {
        names << QString::fromLocal8Bit(reinterpret_cast<const char *>(name));
        direction = SQL_FETCH_NEXT;
    }
    freeHandle(SQL_HANDLE_ENV, environment);
    return names;
}
