#include "processlauncher.h"

#include "host/hosterror.h"
#include "host/standalone/config/hostinifile.h"
#include "host/standalone/platform/startwindowstate.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

QString ProcessLauncher::programPath(const QString &directory, const QString &fileName)
{
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName.contains(u'\\'))
        throw HostError(QStringLiteral("\"%1\" ist kein Programmname.").arg(fileName));
    const QDir dir(directory);
    const QFileInfo folder(directory);
    if (!directory.isEmpty() && folder.exists() && !folder.isDir())
        throw HostError(QStringLiteral("Das Programmverzeichnis %1 ist kein Verzeichnis, sondern %2.")
                            .arg(directory, HostIni::kindOf(folder)));
    if (directory.isEmpty() || !dir.exists())
        throw HostError(QStringLiteral("Das Programmverzeichnis %1 gibt es nicht.").arg(directory));
    if (QFileInfo(dir.filePath(fileName)).isFile())
        return dir.absoluteFilePath(fileName);
    QStringList matches;
    for (const QString &entry : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (entry.compare(fileName, Qt::CaseInsensitive) == 0)
            matches << entry;
    }
    if (matches.isEmpty())
        throw HostError(QStringLiteral("Das Programm %1 gibt es in %2 nicht.").arg(fileName, directory));
    if (matches.size() > 1)
        throw HostError(QStringLiteral("Das Programm %1 ist in %2 mehrdeutig: %3.")
                            .arg(fileName, directory, matches.join(QStringLiteral(", "))));
    return dir.absoluteFilePath(matches.first());
}

void ProcessLauncher::execute(const AppExecRequest &request)
{
    const QString program = programPath(request.exePath, request.exeName);
    QProcess process;
    process.setProgram(program);
    process.setArguments(request.parameters);
    process.setWorkingDirectory(QFileInfo(program).absolutePath());
    setStartWindowState(process, request.windowState);
    if (request.wait)
        runAndWait(process);
    else
        startDetached(process);
}

void ProcessLauncher::startDetached(QProcess &process)
{
    if (!process.startDetached())
        throw HostError(
            QStringLiteral("Das Programm %1 konnte nicht gestartet werden.").arg(process.program()));
}

void ProcessLauncher::runAndWait(QProcess &process)
{
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (!process.waitForStarted(-1))
        throw HostError(QStringLiteral("Das Programm %1 konnte nicht gestartet werden: %2")
                            .arg(process.program(), process.errorString()));
    process.waitForFinished(-1);
}
