#include "defaulthostdirectory.h"

#include <QDir>

#include <shlobj.h>

// %ProgramData%\ordovant: the known folder, not the variable, which a user's environment can change.
QString defaultHostDirectory()
{
    PWSTR programData = nullptr;
    QString base;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData)))
        base = QString::fromWCharArray(programData);
    CoTaskMemFree(programData);
    if (base.isEmpty())
        base = qEnvironmentVariable("ProgramData", QStringLiteral("C:/ProgramData"));
    const QString directory = QDir(QDir::fromNativeSeparators(base)).filePath(QStringLiteral("ordovant"));
    QDir().mkpath(directory);
    return directory;
}
