#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file whole, so that a reader sees the old content or the new one and never a part: the
// new content goes to a file beside it, which is written to disk before it takes the old one's place.
// Throws HostError and leaves the file as it was, byte for byte, when that cannot be done (a full
// disk, a write-protected file).
//
// The new file keeps what lets others write the old one: its group and permission bits, and its
// owner where the process may set it. Where the group cannot be kept (the user is not in it),
// nothing is replaced. A file that another process holds open (Windows) is tried again for a while.
void replaceFile(const QString &path, const QByteArray &content);

// Removes what a save that died left beside `path` ("<name>.neu-<hex>"). Only while holding the lock
// under which every save makes them.
void removeLeftTemporaries(const QString &path);

// The file that a replacement of `path` really replaces: links and relative parts resolved, also
// where the file itself does not exist yet, so that every name of one file comes to one path. A
// network path (\\server\share\...) keeps its two leading slashes. Throws HostError for a loop of links
// and for a link that another user than the owner of its target (or root) made.
QString replacedFile(const QString &path);
