#include "filereplacement.h"

#include "host/hosterror.h"
#include "host/standalone/platform/durablefile.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QThread>

namespace {

// Windows refuses to replace a file while a reader, a virus scanner or the indexer has it open
// without delete sharing; they hold it for milliseconds. Writers wait for the store's lock far longer.
constexpr int ReplaceTimeoutMs = 3000;
constexpr int ReplaceRetryMs = 20;
// Linux allows 40 links in a row.
constexpr int MaxLinks = 40;

HostError heldOpen(const QString &path)
{
    return HostError(QStringLiteral("Die Datei %1 ist von einem anderen Programm geöffnet (etwa einem Leser "
                                    "oder Virenscanner) und konnte in %2 Sekunden nicht ersetzt werden.")
                         .arg(QDir::toNativeSeparators(path), QString::number(ReplaceTimeoutMs / 1000)));
}

// Waits while another process holds the file open; a write-protected file is refused, since the
// replacement would override the protection.
void waitUntilReplaceable(const QString &path, const QDeadlineTimer &deadline)
{
    for (;;) {
        switch (DurableFile::access(path)) {
        case DurableFile::Access::Writable:
            return;
        case DurableFile::Access::ReadOnly:
            throw HostError(
                QStringLiteral("Die Datei %1 ist schreibgeschützt.").arg(QDir::toNativeSeparators(path)));
        case DurableFile::Access::HeldOpen:
            if (deadline.hasExpired())
                throw heldOpen(path);
            QThread::msleep(ReplaceRetryMs);
        }
    }
}

// A new file beside `path` with the whole content, on disk.
QString createBeside(const QString &path, const QByteArray &content)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temporary =
            QStringLiteral("%1.neu-%2")
                .arg(path, QStringLiteral("%1").arg(QRandomGenerator::global()->generate(), 8, 16,
                                                    QLatin1Char('0')));
        if (DurableFile::create(temporary, content, path))
            return temporary;
    }
    throw HostError(QStringLiteral("Neben %1 kann keine neue Datei angelegt werden.").arg(path));
}

} // namespace

void replaceFile(const QString &path, const QByteArray &content)
{
    const QDeadlineTimer deadline(ReplaceTimeoutMs);
    waitUntilReplaceable(path, deadline);
    const QString temporary = createBeside(path, content);
    auto removeTemporary = qScopeGuard([&] { QFile::remove(temporary); });
    while (!DurableFile::replace(temporary, path)) {
        if (deadline.hasExpired())
            throw heldOpen(path);
        QThread::msleep(ReplaceRetryMs);
    }
    removeTemporary.dismiss();
}

void removeLeftTemporaries(const QString &path)
{
    const QFileInfo file(path);
    const QRegularExpression temporary(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(file.fileName()) + QStringLiteral("\\.neu-[0-9a-f]{8}")));
    QDir folder = file.dir();
    const QStringList entries = folder.entryList({file.fileName() + QStringLiteral(".neu-*")},
                                                 QDir::Files | QDir::System | QDir::Hidden);
    for (const QString &entry : entries) {
        if (temporary.match(entry).hasMatch())
            folder.remove(entry); // the entry itself, never what a link leads to
    }
}

QString replacedFile(const QString &path)
{
    QFileInfo info(QDir::fromNativeSeparators(path));
    for (int links = 0; info.isSymbolicLink(); ++links) {
        if (links == MaxLinks)
            throw HostError(QStringLiteral("%1 ist ein Verweis, der im Kreis führt.")
                                .arg(QDir::toNativeSeparators(path)));
        const QString target = info.symLinkTarget();
        if (!DurableFile::mayFollow(info.filePath(), target))
            throw HostError(
                QStringLiteral("%1 ist ein Verweis auf %2, den ein anderer Benutzer als der Eigentümer "
                               "des Ziels angelegt hat; ihm wird nicht gefolgt. Ersetzen Sie den "
                               "Verweis durch die Datei selbst.")
                    .arg(QDir::toNativeSeparators(info.filePath()), QDir::toNativeSeparators(target)));
        info.setFile(target);
    }
    const QString canonical = info.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    // A file not made yet: the canonical path of its folder.
    const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? info.absolutePath() : folder).filePath(info.fileName());
}
