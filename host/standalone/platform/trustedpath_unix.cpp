#include "trustedpath.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString userName(uid_t user)
{
    struct passwd entry = {};
    struct passwd *found = nullptr;
    char buffer[1024];
    if (::getpwuid_r(user, &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QString::number(user);
}

// What is wrong with one entry, as lstat or fstat saw it.
QString entryProblem(const QByteArray &path, const struct stat &info)
{
    const QString shown = QFile::decodeName(path);
    if (info.st_uid != 0 && info.st_uid != ::geteuid())
        return QStringLiteral("%1 gehört dem Benutzer %2, der es ändern oder ersetzen kann; es darf nur "
                              "root oder dem startenden Benutzer gehören (chown root %1)")
            .arg(shown, userName(info.st_uid));
    // A link's own mode means nothing; where it leads is checked on its own.
    if (S_ISLNK(info.st_mode))
        return {};
    const bool sticky = S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX);
    // An ACL entry that grants write shows in the group bits (they hold its mask).
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) && !sticky)
        return QStringLiteral("%1 dürfen auch andere Benutzer ändern (Schreibrecht für die Gruppe oder "
                              "alle); schreiben darf nur der Besitzer (chmod go-w %1; ein ACL entfernt "
                              "setfacl -b %1)")
            .arg(shown);
    return {};
}

// Each folder from / down to the path, and the path itself, without following a link at the end.
QString chainProblem(const QByteArray &path)
{
    qsizetype end = 0;
    while (end < path.size()) {
        end = path.indexOf('/', end + 1);
        if (end < 0)
            end = path.size();
        const QByteArray prefix = end == 0 ? QByteArray("/") : path.first(end);
        struct stat info = {};
        if (::lstat(prefix.constData(), &info) != 0)
            return {}; // missing or unreadable: the reader says so
        if (const QString problem = entryProblem(prefix, info); !problem.isEmpty())
            return problem;
    }
    return {};
}

QByteArray realPath(const QByteArray &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.constData(), resolved) ? QByteArray(resolved) : QByteArray();
}

} // namespace

QString untrustedPathProblem(const QString &path)
{
    const QByteArray written = QFile::encodeName(QDir::cleanPath(QDir(path).absolutePath()));
    if (const QString problem = chainProblem(written); !problem.isEmpty())
        return problem;
    // Where links lead: the file's own, or, when it leads nowhere, its folder's.
    QByteArray real = realPath(written);
    if (real.isEmpty()) {
        const qsizetype slash = written.lastIndexOf('/');
        const QByteArray folder = realPath(slash > 0 ? written.first(slash) : QByteArray("/"));
        return folder.isEmpty() ? QString() : chainProblem(folder);
    }
    if (real != written) {
        if (const QString problem = chainProblem(real); !problem.isEmpty())
            return problem;
    }
    // The file itself as opened: no link followed, no wait on a FIFO. What the folders above allow
    // nobody else to change, reading it by name afterwards finds unchanged.
    const int fd = ::open(real.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {};
    struct stat info = {};
    const bool known = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!known || !S_ISREG(info.st_mode))
        return {};
    return entryProblem(real, info);
}
