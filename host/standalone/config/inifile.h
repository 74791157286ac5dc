#pragma once

#include "byteordermark.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

// Reading of the INI files that people may edit by hand. The settings store is written by QSettings
// and read by QSettings' rules; host.ini has rules of its own (HostIni).
namespace IniFile {

// The content of the file, empty when there is none. Throws HostError when the file exists but
// cannot be read or is not UTF-8 text (a byte order mark is allowed), and when it holds more than
// `limit` bytes (if one is given): then no more than one byte beyond it is read.
QByteArray readText(const QString &path, qint64 limit = -1);

// The lines of UTF-8 text without its byte order mark and line ends (LF, CRLF or CR).
QStringList lines(const QByteArray &content);

// The content of the settings store, empty when there is none. Throws HostError as readText() does,
// and when the file does not look like a store: a store holds sections and keys with plain names,
// as QSettings writes them. Anything else is refused rather than read as an empty store and then
// overwritten by the next save.
QByteArray read(const QString &path);

// The text of a value as written in the file: QSettings hands an unquoted "a,b" back as a list.
QString text(const QVariant &value);

// Every key of the content ("ORDOVANT/DM/GV07") with its text, as QSettings reads them. Throws
// HostError when QSettings cannot parse the content; `origin` names the file in messages.
QHash<QString, QString> values(const QByteArray &content, const QString &origin);

// True when a name holds a character that QSettings reads as a separator between groups, on Windows
// both: such a name cannot be one key of a group, and both storages keep the same keys.
inline bool holdsKeySeparator(QStringView name)
{
    return name.contains(u'/') || name.contains(u'\\');
}

} // namespace IniFile
