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
#include <sys/xattr.h>
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
        return QStringLiteral("Systemfehler %1 (%2)")
            .arg(QString::number(error), QString::fromLocal8Bit(std::strerror(error)));
    }
}

QString groupName(gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

// Where the system keeps a file's access ACL: the entries for named users and groups, and the mask
// that the group bits of the mode show.
constexpr char AccessAcl[] = "system.posix_acl_access";

// The replaced file's access ACL, or none when it has no entries beyond its mode.
QByteArray accessAclOf(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        const ssize_t size = ::getxattr(name.constData(), AccessAcl, nullptr, 0);
        if (size < 0)
            return {}; // none, or a file system without ACLs
        QByteArray acl(size, Qt::Uninitialized);
        const ssize_t read = ::getxattr(name.constData(), AccessAcl, acl.data(), size_t(acl.size()));
        if (read >= 0) {
            acl.truncate(read);
            return acl;
        }
        if (errno != ERANGE) // ERANGE: it grew meanwhile
            return {};
    }
}

// A user granted access by an ACL entry must keep it; without the ACL, the group bits, which show its
// mask, would grant the owning group what only the entries had.
void keepAcl(int handle, const QString &path)
{
    const QByteArray acl = accessAclOf(path);
    const bool kept = acl.isEmpty()
                          ? ::fremovexattr(handle, AccessAcl) == 0 || errno == ENODATA || errno == ENOTSUP
                          : ::fsetxattr(handle, AccessAcl, acl.constData(), size_t(acl.size()), 0) == 0;
    if (!kept)
        throw HostError(
            QStringLiteral("Die Datei %1 trägt eine Zugriffsliste (ACL), die die neue Fassung nicht "
                           "übernehmen kann (%2); es wurde nichts geändert.")
                .arg(path, reason(errno)));
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
    keepAcl(handle, path);
    // After a change of owner or group the system clears the set-id bits; the mode goes last (with an
    // ACL, its group bits are the mask).
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

// The new content with the access rules of `model`, on disk; `shown` names the file in a message. A full
// disk or a failing network may show only at the sync.
void keepAccessAndSync(int handle, const QString &model, const QString &shown)
{
    keepAccess(handle, model);
    if (::fsync(handle) != 0)
        throw HostError(QStringLiteral("Die Datei %1 kann nicht auf den Datenträger geschrieben werden: %2.")
                            .arg(shown, reason(errno)));
}

} // namespace

namespace DurableFile {

Access access(const QString &path)
{
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
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
        throw HostError(
            QStringLiteral("Neben %1 kann keine Datei angelegt werden: %2.").arg(model, reason(errno)));
    try {
        writeWhole(handle, content, model);
        keepAccessAndSync(handle, model, model);
    } catch (...) {
        ::close(handle);
        ::unlink(name.constData());
        throw;
    }
    if (::close(handle) != 0) {
        const int error = errno;
        ::unlink(name.constData());
        throw HostError(
            QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2.").arg(model, reason(error)));
    }
    return true;
}

void finish(const QString &temporary, const QString &model)
{
    const int handle = ::open(QFile::encodeName(temporary).constData(),
                              O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (handle < 0)
        throw HostError(
            QStringLiteral("Die Datei %1 kann nicht geöffnet werden: %2.").arg(temporary, reason(errno)));
    try {
        keepAccessAndSync(handle, model, temporary);
    } catch (...) {
        ::close(handle);
        throw;
    }
    ::close(handle);
}

bool mayFollow(const QString &link, const QString &target)
{
    struct stat linkInfo = {};
    if (::lstat(QFile::encodeName(link).constData(), &linkInfo) != 0)
        return false;
    if (linkInfo.st_uid == 0)
        return true;
    struct stat targetInfo = {};
    const QFileInfo where(QFileInfo(link).dir(), target);
    if (::lstat(QFile::encodeName(where.absoluteFilePath()).constData(), &targetInfo) != 0 &&
        ::stat(QFile::encodeName(where.absolutePath()).constData(), &targetInfo) != 0)
        return false;
    return targetInfo.st_uid == linkInfo.st_uid;
}

QString notAFile(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || S_ISREG(info.st_mode))
        return {};
    if (S_ISDIR(info.st_mode))
        return QStringLiteral("ein Ordner");
    if (S_ISFIFO(info.st_mode))
        return QStringLiteral("eine FIFO");
    if (S_ISLNK(info.st_mode))
        return QFileInfo::exists(path) ? QStringLiteral("ein Verweis")
                                       : QStringLiteral("ein Verweis ins Leere");
    return QStringLiteral("keine gewöhnliche Datei");
}

bool sameFile(const QString &first, const QString &second)
{
    struct stat one = {};
    struct stat other = {};
    return ::stat(QFile::encodeName(first).constData(), &one) == 0 &&
           ::stat(QFile::encodeName(second).constData(), &other) == 0 && one.st_dev == other.st_dev &&
           one.st_ino == other.st_ino;
}

bool replace(const QString &temporary, const QString &path)
{
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) != 0)
        throw HostError(
            QStringLiteral("Die Datei %1 kann nicht ersetzt werden: %2.").arg(path, reason(errno)));
    // Without this, a power cut could bring the old name back, or after a crash on ext4 or XFS an
    // empty file.
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int handle = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return true; // a folder that cannot be read: the file system keeps the rename as it does
    const bool synced =
        ::fsync(handle) == 0 || errno == EINVAL; // EINVAL: the file system does not sync folders
    const int error = errno;
    ::close(handle);
    if (!synced)
        throw HostError(
            QStringLiteral("Die Datei %1 ist ersetzt, doch das Dateisystem meldet beim Sichern: %2.")
                .arg(path, reason(error)));
    return true;
}

} // namespace DurableFile
