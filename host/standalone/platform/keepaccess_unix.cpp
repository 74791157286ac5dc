#include "keepaccess.h"

#include "host/hosterror.h"

#include <QFile>
#include <QSaveFile>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString groupName(gid_t group)
{
    const struct group *entry = ::getgrgid(group);
    return entry ? QString::fromLocal8Bit(entry->gr_name) : QString::number(group);
}

} // namespace

// Without this, a store that several users share through its group would after one user's save
// belong to that user's own group, and the others could no longer write it.
void keepAccess(QSaveFile &replacement, const QString &path)
{
    struct stat old = {};
    struct stat fresh = {};
    if (::stat(QFile::encodeName(path).constData(), &old) != 0)
        return; // a new file
    const int handle = replacement.handle();
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
