#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QVariant>

// Reading of the INI files that people may edit by hand: host.ini and the settings store.
namespace IniFile {

// The content of the file, empty when there is none. Throws HostError when the file exists but
// cannot be read or is not INI text.
QByteArray read(const QString &path);

// The text of a value as written in the file: QSettings hands an unquoted "a,b" back as a list.
QString text(const QVariant &value);

// Every key of the content ("ORDOVANT/DM/GV07") with its text, as QSettings reads them. Throws
// HostError when QSettings cannot parse the content; `origin` names the file in messages.
QHash<QString, QString> values(const QByteArray &content, const QString &origin);

} // namespace IniFile
