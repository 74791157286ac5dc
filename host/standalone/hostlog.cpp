#include "hostlog.h"

#include "host/hosterror.h"
#include "host/standalone/platform/appendfile.h"
#include "host/standalone/platform/durablefile.h"
#include "host/standalone/store/filereplacement.h"

#include <QDateTime>
#include <QDir>
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
// first one's older generation. A log whose lock is busy now is rotated by a later write. Returns why
// the log cannot be rotated at all; empty when it was, or is not full, or is busy.
QString rotateWhenFull(const QString &path)
{
    if (QFileInfo(path).size() < LogLimit)
        return {};
    // QLockFile reads a lock it cannot take, which blocks on a FIFO for ever.
    const QString lockPath = path + QStringLiteral(".sperre");
    if (const QString what = DurableFile::notAFile(lockPath); !what.isEmpty())
        return QStringLiteral("an der Stelle der Sperre %1 steht %2")
            .arg(QDir::toNativeSeparators(lockPath), what);
    QLockFile lock(lockPath);
    if (!lock.tryLock(RotationLockWaitMs)) {
        if (lock.error() == QLockFile::LockFailedError)
            return {};
        return QStringLiteral("die Sperre %1 lässt sich nicht anlegen")
            .arg(QDir::toNativeSeparators(lockPath));
    }
    try {
        const QString older = path + QStringLiteral(".1");
        // Windows answers a rename onto a folder as one onto a file held open, a try for later.
        if (QFileInfo(path).size() >= LogLimit && !DurableFile::replace(path, older)) {
            if (const QString what = DurableFile::notAFile(older); !what.isEmpty())
                return QStringLiteral("an der Stelle von %1 steht %2")
                    .arg(QDir::toNativeSeparators(older), what);
        }
    } catch (const HostError &e) {
        return QString::fromUtf8(e.what());
    }
    return {};
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

void HostLog::reportRotationFailure(const QString &path, const QString &terminal, const QString &why) const
{
    if (why.isEmpty() || m_rotationFailed.exchange(true))
        return;
    const QString text =
        QStringLiteral("Das Protokoll %1 kann nicht weitergeschaltet werden und wächst weiter "
                       "(%2). Beheben Sie das, damit es nicht den Datenträger füllt.")
            .arg(QDir::toNativeSeparators(path), why);
    appendWhole(path, (line(terminal, QStringLiteral("HostLog.write"), text) + u'\n').toUtf8());
}

void HostLog::write(const QString &terminal, const QString &label, const QString &message,
                    bool toStandardError) const noexcept
{
    try {
        const QByteArray text = (line(terminal, label, message) + u'\n').toUtf8();
        bool written = false;
        try {
            // A link another user planted as the log is not followed (replacedFile refuses it).
            const QString path = replacedFile(m_path);
            if (!m_rotationFailed)
                reportRotationFailure(path, terminal, rotateWhenFull(path));
            written = appendWhole(path, text);
        } catch (...) {
            // The report goes to the system's log and standard error.
        }
        if (!written)
            reportToSystemLog(text);
        if (toStandardError || !written) {
            std::fputs(text.constData(), stderr);
            std::fflush(stderr);
        }
    } catch (...) {
        // The log is the last resort of error reporting: a failure here has nowhere to go.
    }
}
