#include "durablefile.h"

#include "host/hosterror.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(int error)
{
    switch (error) {
    case ENOSPC:
        return QStringLiteral("der Datenträger ist voll");
    case EDQUOT:
        return QStringLiteral("das Kontingent des Benutzers auf dem Datenträger ist erschöpft");
    case EROFS:
        return QStringLiteral("das Dateisystem ist schreibgeschützt eingehängt");
    case EACCES:
    case EPERM:
        return QStringLiteral("der Zugriff ist nicht erlaubt");
    case EIO:
        return QStringLiteral("der Datenträger meldet einen Ein-/Ausgabefehler");
    default:
        return QStringLiteral("Systemfehler %1 (%2)").arg(error).arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString groupName(gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

// Without this, a store that several users share through its group would after one user's save
// belong to that user's own group, and the others could no longer write it.
void keepAccess(int handle, const QString &path)
{
    struct stat old = {};
    struct stat fresh = {};
    if (::stat(QFile::encodeName(path).constData(), &old) != 0)
        return; // a new file
    if (::fstat(handle, &fresh) != 0)
        throw HostError(QStringLiteral("Die neue Fassung von %1 kann nicht geprüft werden.").arg(path));
    // Only root may give a file away; otherwise the owner becomes the saving user.
    if (fresh.st_uid != old.st_uid && ::fchown(handle, old.st_uid, old.st_gid) == 0)
        fresh.st_gid = old.st_gid;
    // A group that may do no more than everybody else may go (the owner's file in the group root).
    const bool groupGrantsMore = ((old.st_mode >> 3) & ~old.st_mode & 07) != 0;
    if (fresh.st_gid != old.st_gid && ::fchown(handle, uid_t(-1), old.st_gid) != 0 && groupGrantsMore)
        throw HostError(
            QStringLiteral("Die Datei %1 gehört der Gruppe %2, der dieser Benutzer nicht angehört: die neue "
                           "Fassung verlöre die Gruppe, und deren andere Mitglieder könnten nicht "
                           "mehr speichern. Es wurde nichts geändert; nehmen Sie den Benutzer in die "
                           "Gruppe auf.")
                .arg(path, groupName(old.st_gid)));
    // After a change of owner or group the system clears the set-id bits; the mode goes last.
    if (::fchmod(handle, old.st_mode & 07777) != 0)
        throw HostError(
            QStringLiteral("Die neue Fassung von %1 kann die Rechte der alten nicht erhalten.").arg(path));
}

void writeWhole(int handle, const QByteArray &content, const QString &path)
{
    qsizetype written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(handle, content.constData() + written, size_t(content.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw HostError(QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2.")
                                .arg(path, reason(n < 0 ? errno : ENOSPC)));
        written += n;
    }
}

} // namespace

namespace DurableFile {

Access access(const QString &path)
{
    const int handle = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle >= 0) {
        ::close(handle);
        return Access::Writable;
    }
    if (errno == ENOENT)
        return Access::Writable;
    if (errno == EACCES || errno == EPERM || errno == EROFS)
        return Access::ReadOnly;
    if (errno == ETXTBSY)
        return Access::HeldOpen;
    throw HostError(QStringLiteral("Die Datei %1 kann nicht geöffnet werden: %2.").arg(path, reason(errno)));
}

bool create(const QString &temporary, const QByteArray &content, const QString &model)
{
    const QByteArray name = QFile::encodeName(temporary);
    const int handle = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (handle < 0 && errno == EEXIST)
        return false;
    if (handle < 0)
        throw HostError(QStringLiteral("Neben %1 kann keine Datei angelegt werden: %2.").arg(model, reason(errno)));
    try {
        writeWhole(handle, content, model);
        keepAccess(handle, model);
        // A full disk or a failing network may show only here.
        if (::fsync(handle) != 0)
            throw HostError(QStringLiteral("Die Datei %1 kann nicht auf den Datenträger geschrieben werden: %2.")
                                .arg(model, reason(errno)));
    } catch (...) {
        ::close(handle);
        ::unlink(name.constData());
        throw;
    }
    if (::close(handle) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        throw HostError(QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2.").arg(model, reason(error)));
    }
    return true;
}

bool replace(const QString &temporary, const QString &path)
{
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        throw HostError(QStringLiteral("Die Datei %1 kann nicht ersetzt werden: %2.").arg(path, reason(errno)));
    // Without this, a power cut could bring the old name back, or after a crash on ext4 or XFS an
    // empty file.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return true; // a folder that cannot be read: the file system keeps the rename as it does
    const bool synced = ::fsync(handle) == 0 || errno == EINVAL; // EINVAL: the file system does not sync folders
    const int error = errno;
    ::close(handle);
    if (!synced)
        throw HostError(QStringLiteral("Die Datei %1 ist ersetzt, doch das Dateisystem meldet beim Sichern: %2.")
                            .arg(path, reason(error)));
    return true;
}

} // namespace DurableFile
