#pragma once

#include <QByteArray>
#include <QString>

// Appends the data to the file (made when missing) with one write on a file opened for appending
// only, so that the lines of processes that append at once never mix. The file lies in a folder that
// every user of the workstation may write: a link there is not followed (resolve it first), and
// whatever is not a plain file (a FIFO) is refused without waiting. A file made here may be appended
// to by everybody who may write the folder, whatever the maker's umask. False when it cannot append.
bool appendWhole(const QString &path, const QByteArray &data);

// Hands a report that no file could take to the system's log: syslog (which journald reads), or
// the Windows Event Log's Application log under the source "ordovant".
void reportToSystemLog(const QByteArray &line);
