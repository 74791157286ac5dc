#include "appendfile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
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

int openForAppending(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int handle = ::open(name.constData(), AppendFlags);
    if (handle >= 0 || errno != ENOENT)
        return handle;
    const int made = ::open(name.constData(), AppendFlags | O_CREAT | O_EXCL, 0600);
    if (made >= 0)
        shareWithFolder(made, path);
    else if (errno == EEXIST) // another process made it meanwhile
        return ::open(name.constData(), AppendFlags);
    return made;
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
