#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

// The settings store as an INI file: written by QSettings and read by QSettings' rules; host.ini has
// rules of its own (HostIni).
namespace IniFile {

// The content of the settings store, empty when there is none. Throws HostError as TextFile::readText() does,
// and when the file does not look like a store: a store holds sections and keys with plain names,
// as QSettings writes them. Anything else is refused rather than read as an empty store and then
// overwritten by the next save.
QByteArray read(const QString &path);

// The text of a value as written in the file: QSettings hands an unquoted "a,b" back as a list.
QString text(const QVariant &value);

// Every key of the content ("ORDOVANT/DM/GV07") with its text, as QSettings reads them. Throws
// HostError when QSettings cannot parse the content; `origin` names the file in messages.
QHash<QString, QString> values(const QByteArray &content, const QString &origin);

} // namespace IniFile
