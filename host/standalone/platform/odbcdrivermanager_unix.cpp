#include "odbcdrivermanager.h"

#include <QLibrary>

QFunctionPointer odbcDriverManagerFunction(const char *name)
{
    static QLibrary driverManager(QStringLiteral("odbc"), 2);
    return driverManager.resolve(name);
}
