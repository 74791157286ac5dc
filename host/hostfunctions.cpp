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

namespace {

// Only the letters A to Z count as the same in either case: Unicode folding would take look-alikes
// such as the Kelvin sign for a K.
char16_t foldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? char16_t(c - u'A' + u'a') : c;
}

} // namespace

bool matchesCmdLineSwitch(const QString &argument, const QString &switchName)
{
    if (argument.size() != switchName.size() + 1 || (argument.front() != u'-' && argument.front() != u'/'))
        return false;
    for (qsizetype i = 0; i < switchName.size(); ++i)
        if (foldAscii(argument.at(i + 1).unicode()) != foldAscii(switchName.at(i).unicode()))
            return false;
    return true;
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
