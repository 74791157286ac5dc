#include "processlauncher.h"

#include "host/hosterror.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

QString ProcessLauncher::programPath(const QString &directory, const QString &fileName)
{
    if (fileName.isEmpty() || fileName.contains(u'/') || fileName.contains(u'\\'))
        throw HostError(QStringLiteral("\"%1\" ist kein Programmname.").arg(fileName));
    const QDir dir(directory);
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
    // The window state of another program is not portable; the started program opens as it likes.
    const QString program = programPath(request.exePath, request.exeName);
    const QString directory = QFileInfo(program).absolutePath();
    if (request.wait)
        runAndWait(program, request.parameters, directory);
    else
        startDetached(program, request.parameters, directory);
}

void ProcessLauncher::startDetached(const QString &program, const QStringList &arguments,
                                    const QString &directory)
{
    if (!QProcess::startDetached(program, arguments, directory))
        throw HostError(QStringLiteral("Das Programm %1 konnte nicht gestartet werden.").arg(program));
}

void ProcessLauncher::runAndWait(const QString &program, const QStringList &arguments,
                                 const QString &directory)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.setWorkingDirectory(directory);
    process.start(program, arguments);
    if (!process.waitForStarted(-1))
        throw HostError(QStringLiteral("Das Programm %1 konnte nicht gestartet werden: %2")
                            .arg(program, process.errorString()));
    process.waitForFinished(-1);
}
