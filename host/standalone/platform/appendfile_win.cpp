#include "appendfile.h"

#include <QDir>

#include <windows.h>

namespace {

// A symbolic link or junction (a reparse point that names another file), a folder or a pipe where the
// log belongs is not written into. Other reparse points (a deduplicated or cloud file) are files.
bool isPlainFile(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO information = {};
    if (GetFileType(handle) != FILE_TYPE_DISK ||
        !GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &information, sizeof information))
        return false;
    if (information.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        return false;
    return !(information.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
           !IsReparseTagNameSurrogate(information.ReparseTag);
}

} // namespace

// Only FILE_APPEND_DATA (without FILE_WRITE_DATA) makes the system put each write at the end; a
// handle that may also write elsewhere seeks to the end and writes, and two processes then write over
// each other. Wine, and not every network redirector, makes that end and write one step: a lock on a
// byte far past the end lets one process append at a time and keeps no reader out. Others may delete
// or rename the file meanwhile, so that it can be rotated while somebody appends. A link is opened as
// itself (and refused), not followed.
bool appendWhole(const QString &path, const QByteArray &data)
{
    const HANDLE handle =
        CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), GENERIC_READ | FILE_APPEND_DATA,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    if (!isPlainFile(handle)) {
        CloseHandle(handle);
        return false;
    }
    OVERLAPPED turn = {};
    turn.Offset = 0xffffffff;
    turn.OffsetHigh = 0x7fffffff;
    const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &turn);
    DWORD written = 0;
    const bool ok = WriteFile(handle, data.constData(), DWORD(data.size()), &written, nullptr) &&
                    written == DWORD(data.size());
    if (locked)
        UnlockFileEx(handle, 0, 1, 0, &turn);
    CloseHandle(handle);
    return ok;
}

// The installer registers the source; without it the Event Viewer still shows the text, with a note
// that the description is missing.
void reportToSystemLog(const QByteArray &line)
{
    const HANDLE source = RegisterEventSourceW(nullptr, L"ordovant");
    if (!source)
        return;
    const std::wstring text = QString::fromUtf8(line.trimmed()).toStdWString();
    const wchar_t *strings[] = {text.c_str()};
    ReportEventW(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}
