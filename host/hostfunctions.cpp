#include "hostfunctions.h"

#include "hostbackend.h"

#include <algorithm>

bool CheckParm_RO_NewIsFalse(const QString &name)
{
    return hostBackend().checkParameter(name);
}

QString GetDirWwsByName(const QString &name, const QString &text, bool flag)
{
    return hostBackend().directoryByName(name, text, flag);
}

QDate qvx_Date()
{
    return hostBackend().businessDate();
}

bool matchesCmdLineSwitch(const QString &argument, const QString &switchName)
{
    if (argument.isEmpty() || (argument.front() != u'-' && argument.front() != u'/'))
        return false;
    return QStringView(argument).mid(1).compare(switchName, Qt::CaseInsensitive) == 0;
}

bool FindCmdLineSwitch(const QStringList &arguments, const QString &switchName)
{
    return std::any_of(arguments.cbegin(), arguments.cend(),
                       [&](const QString &argument) { return matchesCmdLineSwitch(argument, switchName); });
}

bool FindCmdLineSwitch(const QString &switchName)
{
    return FindCmdLineSwitch(hostBackend().commandLine().mid(1), switchName);
}
