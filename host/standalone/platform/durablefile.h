#pragma once

#include <QByteArray>
#include <QString>

// The steps of replacing a file whole, each done the way the system makes it safe: a file is written
// whole and on disk before it takes another's place, and the change of place is on disk before a
// save counts as done. Failures are HostErrors with a German message, unless said otherwise.
namespace DurableFile {

enum class Access {
    Writable, // also when there is no file yet
    ReadOnly, // write-protected: replacing it would override the protection
    HeldOpen, // another process holds it open so that it cannot be replaced now (Windows)
};

Access access(const QString &path);

// Makes the file `temporary`, which must not exist, with the whole content and the access rules of
// the file `model` (on Unix its owner where allowed, group and permission bits; on Windows the new
// file takes what its folder passes on), and has it written to disk. False, with nothing made, when
// `temporary` exists. On a failure (a full disk) nothing is left behind.
bool create(const QString &temporary, const QByteArray &content, const QString &model);

// Puts `temporary` in the place of `path` and has the change written to disk. False when another
// process holds `path` open (Windows), so that a later try may succeed.
bool replace(const QString &temporary, const QString &path);

} // namespace DurableFile
