#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Start parameters, directory lookup, business date and the command line of the process.
bool CheckParm_RO_NewIsFalse(const QString &name);
QString GetDirWwsByName(const QString &name, const QString &text, bool flag);
QDate qvx_Date();

// True when an argument is "-" or "/" followed by exactly `switchName`, letter case ignored.
bool matchesCmdLineSwitch(const QString &argument, const QString &switchName);
bool FindCmdLineSwitch(const QStringList &arguments, const QString &switchName);
// The same test against the command line of this process (the program name is not an argument).
bool FindCmdLineSwitch(const QString &switchName);
