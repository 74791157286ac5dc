#include "hostlog.h"

#include "host/standalone/platform/appendfile.h"
#include "host/standalone/platform/durablefile.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLockFile>

#include <cstdio>

namespace {

// Every start of every workstation user appends its failures; the log keeps this much and one older
// generation.
constexpr qint64 LogLimit = 1024 * 1024;
constexpr int RotationLockWaitMs = 200;

// The log becomes "<log>.1", replacing the older one. Under a lock, and only when the log is still
// full then, so that two processes that found it full do not both rotate, the second one over the
// first one's older generation. A log that cannot be rotated now is rotated by a later write.
void rotateWhenFull(const QString &path)
{
    if (QFileInfo(path).size() < LogLimit)
        return;
    QLockFile lock(path + QStringLiteral(".sperre"));
    if (!lock.tryLock(RotationLockWaitMs))
        return;
    if (QFileInfo(path).size() >= LogLimit)
        DurableFile::replace(path, path + QStringLiteral(".1"));
}

// A report must stay one line, whatever the message holds.
QString oneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    return text;
}

} // namespace

QString HostLog::line(const QString &terminal, const QString &label, const QString &message)
{
    return QStringLiteral("%1 %2 %3: %4")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")), oneLine(terminal),
             oneLine(label), oneLine(message));
}

void HostLog::write(const QString &terminal, const QString &label, const QString &message,
                    bool toStandardError) const noexcept
{
    try {
        const QByteArray text = (line(terminal, label, message) + u'\n').toUtf8();
        try {
            rotateWhenFull(m_path);
        } catch (...) {
            // The report goes on into the full log.
        }
        appendWhole(m_path, text);
        if (toStandardError) {
            std::fputs(text.constData(), stderr);
            std::fflush(stderr);
        }
    } catch (...) {
        // The log is the last resort of error reporting: a failure here has nowhere to go.
    }
}
