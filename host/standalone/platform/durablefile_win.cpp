#include "durablefile.h"

#include "host/hosterror.h"

#include <QDir>
#include <QFileInfo>

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

namespace {

std::wstring native(const QString &path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}

QString reason(DWORD error)
{
    switch (error) {
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return QStringLiteral("der Datenträger ist voll");
    case ERROR_ACCESS_DENIED:
        return QStringLiteral("der Zugriff ist nicht erlaubt");
    case ERROR_WRITE_PROTECT:
        return QStringLiteral("der Datenträger ist schreibgeschützt");
    default:
        break;
    }
    // The system's own text, in the language of the workstation.
    wchar_t *text = nullptr;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                       FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString system = text ? QString::fromWCharArray(text).trimmed() : QString();
    LocalFree(text);
    return QStringLiteral("Systemfehler %1 (%2)").arg(QString::number(error), system);
}

// A reader, a virus scanner or the indexer that opened the file without letting others delete it.
bool isHeldOpen(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
}

// A handle of the entry itself: a link or junction is not followed.
HANDLE openEntry(const QString &path, DWORD access)
{
    return CreateFileW(native(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS,
                       nullptr);
}

// The owner's SID of an entry, as a string ("S-1-5-32-544"); empty when it cannot be read.
QString ownerOf(const QString &path)
{
    const HANDLE handle = openEntry(path, READ_CONTROL);
    if (handle == INVALID_HANDLE_VALUE)
        return {};
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    QString text;
    if (GetSecurityInfo(handle, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) == ERROR_SUCCESS) {
        wchar_t *sid = nullptr;
        if (ConvertSidToStringSidW(owner, &sid)) {
            text = QString::fromWCharArray(sid);
            LocalFree(sid);
        }
        if (IsWellKnownSid(owner, WinBuiltinAdministratorsSid) || IsWellKnownSid(owner, WinLocalSystemSid))
            text = QStringLiteral("admin");
        LocalFree(descriptor);
    }
    CloseHandle(handle);
    return text;
}

} // namespace

namespace DurableFile {

Access access(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(native(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return Access::Writable; // nothing to protect; making the new file tells what is wrong
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return Access::ReadOnly;
    // What the replacement needs: write and delete, beside whoever has the file open.
    const HANDLE handle = CreateFileW(native(path).c_str(), GENERIC_WRITE | DELETE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) {
        CloseHandle(handle);
        return Access::Writable;
    }
    const DWORD error = GetLastError();
    if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
        return Access::HeldOpen;
    if (error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT)
        return Access::ReadOnly;
    throw HostError(QStringLiteral("Die Datei %1 kann nicht geöffnet werden: %2.").arg(path, reason(error)));
}

bool create(const QString &temporary, const QByteArray &content, const QString &model)
{
    const std::wstring name = native(temporary);
    const HANDLE handle =
        CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
            return false;
        throw HostError(
            QStringLiteral("Neben %1 kann keine Datei angelegt werden: %2.").arg(model, reason(error)));
    }
    DWORD error = ERROR_SUCCESS;
    qsizetype written = 0;
    while (error == ERROR_SUCCESS && written < content.size()) {
        DWORD count = 0;
        const DWORD chunk = DWORD(qMin<qsizetype>(content.size() - written, 1 << 20));
        if (!WriteFile(handle, content.constData() + written, chunk, &count, nullptr))
            error = GetLastError();
        else if (count == 0)
            error = ERROR_DISK_FULL;
        written += count;
    }
    // A full disk or a failing network may show only here.
    if (error == ERROR_SUCCESS && !FlushFileBuffers(handle))
        error = GetLastError();
    if (!CloseHandle(handle) && error == ERROR_SUCCESS)
        error = GetLastError();
    if (error != ERROR_SUCCESS) {
        DeleteFileW(name.c_str());
        throw HostError(
            QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2.").arg(model, reason(error)));
    }
    return true;
}

void finish(const QString &temporary, const QString &model)
{
    Q_UNUSED(model); // the new file takes what its folder passes on
    const HANDLE handle = CreateFileW(native(temporary).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    DWORD error = handle == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (error == ERROR_SUCCESS && !FlushFileBuffers(handle))
        error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    if (error != ERROR_SUCCESS)
        throw HostError(QStringLiteral("Die Datei %1 kann nicht auf den Datenträger geschrieben werden: %2.")
                            .arg(temporary, reason(error)));
}

bool mayFollow(const QString &link, const QString &target)
{
    const QString linkOwner = ownerOf(link);
    if (linkOwner.isEmpty())
        return false;
    if (linkOwner == QLatin1String("admin"))
        return true;
    const QFileInfo where(QFileInfo(link).dir(), target);
    QString targetOwner = ownerOf(where.absoluteFilePath());
    if (targetOwner.isEmpty())
        targetOwner = ownerOf(where.absolutePath());
    return targetOwner == linkOwner;
}

QString notAFile(const QString &path)
{
    const DWORD attributes = GetFileAttributesW(native(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return {};
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return QStringLiteral("ein Verweis");
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return QStringLiteral("ein Ordner");
    return {};
}

bool sameFile(const QString &first, const QString &second)
{
    BY_HANDLE_FILE_INFORMATION ids[2] = {};
    const QString paths[2] = {first, second};
    for (int i = 0; i < 2; ++i) {
        const HANDLE handle =
            CreateFileW(native(paths[i]).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        const bool known = GetFileInformationByHandle(handle, &ids[i]);
        CloseHandle(handle);
        if (!known)
            return false;
    }
    return ids[0].dwVolumeSerialNumber == ids[1].dwVolumeSerialNumber &&
           ids[0].nFileIndexHigh == ids[1].nFileIndexHigh && ids[0].nFileIndexLow == ids[1].nFileIndexLow;
}

bool replace(const QString &temporary, const QString &path)
{
    if (MoveFileExW(native(temporary).c_str(), native(path).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD error = GetLastError();
    if (isHeldOpen(error))
        return false;
    throw HostError(QStringLiteral("Die Datei %1 kann nicht ersetzt werden: %2.").arg(path, reason(error)));
}

} // namespace DurableFile
