#include "defaulthostdirectory.h"

#include <QDir>
#include <QStandardPaths>

QString defaultHostDirectory()
{
    const QString appData = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(appData);
    return appData;
}
