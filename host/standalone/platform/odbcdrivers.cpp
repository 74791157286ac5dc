#include "odbcdrivermanager.h"

#ifdef Q_OS_WIN
#include <windows.h>
#endif
#include <sqlext.h>

namespace {

using AllocHandle = SQLRETURN(SQL_API *)(SQLSMALLINT, SQLHANDLE, SQLHANDLE *);
using FreeHandle = SQLRETURN(SQL_API *)(SQLSMALLINT, SQLHANDLE);
using SetEnvAttr = SQLRETURN(SQL_API *)(SQLHENV, SQLINTEGER, SQLPOINTER, SQLINTEGER);
// SQLDrivers and SQLDataSources share their shape: a name and a description or attribute list.
using Listing = SQLRETURN(SQL_API *)(SQLHENV, SQLUSMALLINT, SQLCHAR *, SQLSMALLINT, SQLSMALLINT *, SQLCHAR *,
                                     SQLSMALLINT, SQLSMALLINT *);

// SQLDrivers' attributes are "key=value" texts, each ended by a zero byte, the list by another.
QString libraryOf(const SQLCHAR *attributes, SQLSMALLINT length)
{
    const QByteArray list(reinterpret_cast<const char *>(attributes), qMax<SQLSMALLINT>(length, 0));
    for (const QByteArray &attribute : list.split('\0')) {
        if (attribute.startsWith("Driver="))
            return QString::fromLocal8Bit(attribute.mid(7)).trimmed();
    }
    return {};
}

template <typename Take> bool list(SQLHANDLE environment, Listing listing, Take take)
{
    SQLCHAR name[512];
    SQLCHAR second[2048];
    SQLSMALLINT nameLength = 0;
    SQLSMALLINT secondLength = 0;
    SQLUSMALLINT direction = SQL_FETCH_FIRST;
    while (SQL_SUCCEEDED(listing(environment, direction, name, SQLSMALLINT(sizeof name), &nameLength, second,
                                 SQLSMALLINT(sizeof second), &secondLength))) {
        take(QString::fromLocal8Bit(reinterpret_cast<const char *>(name)), second, secondLength);
        direction = SQL_FETCH_NEXT;
    }
    return true;
}

} // namespace

std::optional<OdbcInstallation> odbcInstallation()
{
    const auto alloc = reinterpret_cast<AllocHandle>(odbcDriverManagerFunction("SQLAllocHandle"));
    const auto freeHandle = reinterpret_cast<FreeHandle>(odbcDriverManagerFunction("SQLFreeHandle"));
    const auto setAttr = reinterpret_cast<SetEnvAttr>(odbcDriverManagerFunction("SQLSetEnvAttr"));
    const auto drivers = reinterpret_cast<Listing>(odbcDriverManagerFunction("SQLDrivers"));
    const auto dataSources = reinterpret_cast<Listing>(odbcDriverManagerFunction("SQLDataSources"));
    if (!alloc || !freeHandle || !setAttr || !drivers || !dataSources)
        return std::nullopt;
    SQLHANDLE environment = SQL_NULL_HANDLE;
    if (!SQL_SUCCEEDED(alloc(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &environment)))
        return std::nullopt;
    setAttr(environment, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    OdbcInstallation installation;
    list(environment, drivers, [&](const QString &name, const SQLCHAR *attributes, SQLSMALLINT length) {
        installation.driverLibraries.insert(name, libraryOf(attributes, length));
    });
    list(environment, dataSources, [&](const QString &name, const SQLCHAR *driver, SQLSMALLINT) {
        installation.dataSources.insert(name, QString::fromLocal8Bit(reinterpret_cast<const char *>(driver)));
    });
    freeHandle(SQL_HANDLE_ENV, environment);
    return installation;
}
