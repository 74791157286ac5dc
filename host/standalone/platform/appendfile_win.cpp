#include "appendfile.h"

#include <QDir>

#include <windows.h>

// Only FILE_APPEND_DATA makes the system put each write at the end as one piece; a handle that may
// also write elsewhere seeks to the end and writes, and two processes then write over each other.
// Others may delete or rename the file meanwhile, so that it can be rotated while somebody appends.
bool appendWhole(const QString &path, const QByteArray &data)
{
    const HANDLE handle = CreateFileW(QDir::toNativeSeparators(path).toStdWString().c_str(), FILE_APPEND_DATA,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok = WriteFile(handle, data.constData(), DWORD(data.size()), &written, nullptr) &&
                    written == DWORD(data.size());
    CloseHandle(handle);
    return ok;
}
