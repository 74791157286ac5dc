#include "appendfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

bool appendWhole(const QString &path, const QByteArray &data)
{
    const int handle =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    if (handle < 0)
        return false;
    ssize_t written = 0;
    do
        written = ::write(handle, data.constData(), size_t(data.size()));
    while (written < 0 && errno == EINTR);
    ::close(handle);
    return written == data.size();
}
