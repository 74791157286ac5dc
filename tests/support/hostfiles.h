#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

// What tests that run against a real host directory look at: its files and the host's log.
namespace HostFiles {

// Every entry below `directory` except ordovant.log, by relative path: "directory" for a directory,
// else the permissions and the SHA-256 of the content.
QMap<QString, QString> snapshot(const QString &directory);

// "added x, changed y, removed z": what differs between two snapshots; empty when they are equal.
QString describeChanges(const QMap<QString, QString> &before, const QMap<QString, QString> &after);

// The lines of ordovant.log in `directory`; none when there is no log.
QStringList logLines(const QString &directory);

// True when a line reads "YYYY-MM-DDTHH:MM:SS <terminal> <label>: <message>" and the message
// contains `fragment`.
bool hasReport(const QStringList &lines, const QString &terminal, const QString &label,
               const QString &fragment = {});

} // namespace HostFiles
