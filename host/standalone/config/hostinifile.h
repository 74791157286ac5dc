#pragma once

#include <QByteArray>
#include <QFileInfo>
#include <QHash>
#include <QString>

// Reading of host.ini, which administrators write by hand, on Windows with Notepad. Values are taken
// literally: a backslash is a character like any other ("C:\Torvelin\bin"), not an escape. A line is
// blank, a comment (first character ";" or "#"), a section "[Name]" or "Name=Value". In a value an
// unquoted ";" starts a comment; double quotes keep a ";" and blanks at the ends, and are removed.
// A name given twice takes the last value. Line ends LF or CRLF, UTF-8 with or without byte order mark.
// Section and key names are taken in any letter case, as Windows' own INI functions take them.
namespace HostIni {

// What a path that exists is, for a message: "ein Verzeichnis", "eine Datei", or what else it is.
QString kindOf(const QFileInfo &info);

// The form under which read() and values() keep a key ("Terminal/ID"): letter case folded.
QString key(const QString &name);

// Every key of the file in the form of key() with its value; none when the file does not exist. Throws
// HostError when the file cannot be read (also when it is a link that leads nowhere), is not UTF-8
// text, or holds a line of none of these kinds.
QHash<QString, QString> read(const QString &path);

// The same for content; `origin` names the file in messages.
QHash<QString, QString> values(const QByteArray &content, const QString &origin);

} // namespace HostIni
