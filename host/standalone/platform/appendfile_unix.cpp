#include "appendfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

namespace {

constexpr int AppendFlags = O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY;

// Who may write the folder may append to the file; a setgid folder has already given it the folder's
// group. Without this the first user's umask and private group would keep every other user out.
void shareWithFolder(int handle, const QString &path)
{
    struct stat folder = {};
    if (::stat(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), &folder) != 0)
        return;
    ::fchmod(handle, 0644 | (folder.st_mode & (S_IWGRP | S_IWOTH)));
}

// Puts the made file under its name unless a file has it already; false with errno EEXIST then.
bool takeName(const QByteArray &made, const QByteArray &name)
{
    if (::link(made.constData(), name.constData()) == 0)
        return true;
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return false;
    // A file system without hard links (FAT).
    return ::renameat2(AT_FDCWD, made.constData(), AT_FDCWD, name.constData(), RENAME_NOREPLACE) == 0;
}

// A new log takes its name only once it has its final mode: a user who opened it between its creation
// and a chmod would find it closed, and that user's report would miss the log.
int openForAppending(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    for (int attempt = 0; attempt < 10; ++attempt) {
        const int handle = ::open(name.constData(), AppendFlags);
        if (handle >= 0 || errno != ENOENT)
            return handle;
        const QByteArray made =
            name + ".neu-" + QByteArray::number(::getpid()) + '-' + QByteArray::number(attempt);
        const int handleMade = ::open(made.constData(), AppendFlags | O_CREAT | O_EXCL, 0600);
        if (handleMade < 0 && errno == EEXIST)
            continue; // left by a killed process of the same number, or put in the way
        if (handleMade < 0)
            return handleMade;
        shareWithFolder(handleMade, path);
        const bool named = takeName(made, name);
        const int error = errno;
        ::unlink(made.constData());
        ::close(handleMade);
        if (!named && error != EEXIST) {
            errno = error;
            return -1;
        }
        // Opened again by its name, which it has now, or which another process gave its log meanwhile.
    }
    errno = EEXIST;
    return -1;
}

} // namespace

bool appendWhole(const QString &path, const QByteArray &data)
{
    const int handle = openForAppending(path);
    if (handle < 0)
        return false;
    struct stat info = {};
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(handle);
        return false;
    }
    ssize_t written = 0;
    do
        written = ::write(handle, data.constData(), size_t(data.size()));
    while (written < 0 && errno == EINTR);
    ::close(handle);
    return written == data.size();
}

void reportToSystemLog(const QByteArray &line)
{
    ::openlog("ordovant", LOG_PID, LOG_USER);
    ::syslog(LOG_ERR, "%s", line.trimmed().constData());
    ::closelog();
}
