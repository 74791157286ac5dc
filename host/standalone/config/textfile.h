#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

// Reading of the text files that people may edit by hand: host.ini and the settings store.
namespace TextFile {

// The content without a UTF-8 byte order mark (Notepad's "UTF-8 with BOM").
inline QByteArrayView withoutByteOrderMark(QByteArrayView content)
{
    return content.startsWith("\xef\xbb\xbf") ? content.sliced(3) : content;
}

// True when the bytes are UTF-8 text, a byte order mark allowed.
bool isUtf8(QByteArrayView data);

// The content of the file, empty when there is none. Throws HostError when the file exists but
// cannot be read or is not UTF-8 text (a byte order mark is allowed), and when it holds more than
// `limit` bytes (if one is given): then no more than one byte beyond it is read.
QByteArray readText(const QString &path, qint64 limit = -1);

// The lines of the bytes as they are, split at LF only (a CR stays at the end of its line).
QList<QByteArrayView> lineViews(QByteArrayView content);

// The lines of UTF-8 text without its byte order mark and line ends (LF, CRLF or CR).
QStringList lines(const QByteArray &content);

// True when a name holds a character that the settings store (QSettings) reads as a separator between
// groups, on Windows both: such a name cannot be one key of a group. The terminal ID is such a name.
inline bool holdsKeySeparator(QStringView name)
{
    return name.contains(u'/') || name.contains(u'\\');
}

} // namespace TextFile
