#include "defaulthostdirectory.h"

#include <QDir>

#include <shlobj.h>

// %ProgramData%\ordovant: the known folder, not the variable, which a user's environment can change.
QString systemHostDirectory()
{
    PWSTR programData = nullptr;
    QString base;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData)))
        base = QString::fromWCharArray(programData);
    CoTaskMemFree(programData);
    if (base.isEmpty())
        base = qEnvironmentVariable("ProgramData", QStringLiteral("C:/ProgramData"));
    return QDir(QDir::fromNativeSeparators(base)).filePath(QStringLiteral("ordovant"));
}

QString systemDataDirectory()
{
    return QDir(systemHostDirectory()).filePath(QStringLiteral("daten"));
}

QString defaultHostDirectory()
{
    const QString directory = systemHostDirectory();
    QDir().mkpath(directory);
    return directory;
}
