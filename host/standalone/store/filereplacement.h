#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file whole, so that a reader sees the old content or the new one and never a part: the
// new content goes to a file beside it, which then takes the old one's place. Throws HostError and
// leaves the file as it was when that cannot be done.
//
// The new file keeps what lets others write the old one: its group and permission bits, and its
// owner where the process may set it. Where the group cannot be kept (the user is not in it),
// nothing is replaced. A file that another process holds open (Windows) is tried again for a while.
void replaceFile(const QString &path, const QByteArray &content);
