#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Reading of host.ini, which administrators write by hand, on Windows with Notepad. Values are taken
// literally: a backslash is a character like any other ("C:\Torvelin\bin"), not an escape. A line is
// blank, a comment (first character ";" or "#"), a section "[Name]" or "Name=Value". In a value an
// unquoted ";" starts a comment; double quotes keep a ";" and blanks at the ends, and are removed.
// A name given twice takes the last value. Line ends LF or CRLF, UTF-8 with or without byte order mark.
namespace HostIni {

// Every key of the file ("Terminal/ID") with its value; none when the file does not exist. Throws
// HostError when the file cannot be read, is not UTF-8 text, or holds a line of none of these kinds.
QHash<QString, QString> read(const QString &path);

// The same for content; `origin` names the file in messages.
QHash<QString, QString> values(const QByteArray &content, const QString &origin);

} // namespace HostIni
