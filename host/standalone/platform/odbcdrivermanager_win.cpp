#include "odbcdrivermanager.h"

#include <QLibrary>

QFunctionPointer odbcDriverManagerFunction(const char *name)
{
    static QLibrary driverManager(QStringLiteral("odbc32"));
    return driverManager.resolve(name);
}
