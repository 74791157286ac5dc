#include "appendfile.h"

#include <QDir>

#include <windows.h>

// Only FILE_APPEND_DATA (without FILE_WRITE_DATA) makes the system put each write at the end; a
// handle that may also write elsewhere seeks to the end and writes, and two processes then write over
// each other. Wine, and not every network redirector, makes that end and write one step: a lock on a
// byte far past the end lets one process append at a time and keeps no reader out. Others may delete
// or rename the file meanwhile, so that it can be rotated while somebody appends.
bool appendWhole(const QString &path, const QByteArray &data)
{
    const HANDLE handle = CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(),
                                      GENERIC_READ | FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
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
