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

// Gives `temporary`, a complete file made by another writer (SQLite), the access rules of `model` as
// create() does, and has it written to disk.
void finish(const QString &temporary, const QString &model);

// Whether the link `link`, which leads to `target`, may be followed in a folder that other users may
// write: only where the link belongs to the owner of what it leads to (or of the folder it leads into,
// when nothing is there yet) or to root (the administrators), as the kernel's protected_symlinks rule
// and systemd's safe path resolution have it. Else a link one user planted would make another user's
// save or report write into that user's files.
bool mayFollow(const QString &link, const QString &target);

// What the entry at `path` is when it is there and is neither a file nor nothing ("ein Ordner", "eine
// FIFO", "ein Verweis"); looked at without opening or following it, so that nothing can block.
QString notAFile(const QString &path);

// Whether two names lead to one file: by device and inode (volume and file id on Windows), never by
// name, which a file system that ignores letter case takes in any spelling. False when either is missing.
bool sameFile(const QString &first, const QString &second);

} // namespace DurableFile
