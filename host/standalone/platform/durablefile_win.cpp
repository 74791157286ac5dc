#include "durablefile.h"

#include "host/hosterror.h"

#include <QDir>

#include <windows.h>

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
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, error, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString system = text ? QString::fromWCharArray(text).trimmed() : QString();
    LocalFree(text);
    return QStringLiteral("Systemfehler %1 (%2)").arg(error).arg(system);
}

// A reader, a virus scanner or the indexer that opened the file without letting others delete it.
bool isHeldOpen(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION || error == ERROR_ACCESS_DENIED;
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
        throw HostError(QStringLiteral("Neben %1 kann keine Datei angelegt werden: %2.").arg(model, reason(error)));
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
        throw HostError(QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2.").arg(model, reason(error)));
    }
    return true;
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
