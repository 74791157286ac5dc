#include "defaulthostdirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

bool holdsHostIni(const QString &directory)
{
    const QFileInfo ini(QDir(directory).filePath(QStringLiteral("host.ini")));
    // A link that leads nowhere is still the one meant, and reported as such.
    return ini.exists() || ini.isSymLink();
}

} // namespace

QString defaultHostDirectory()
{
    const QString own = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!holdsHostIni(own) && holdsHostIni(systemHostDirectory()))
        return systemHostDirectory();
    QDir().mkpath(own);
    return own;
}

QString systemHostDirectory()
{
    return QStringLiteral("/etc/ordovant");
}

QString systemDataDirectory()
{
    return QStringLiteral("/var/lib/ordovant");
}
