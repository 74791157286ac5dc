#include "filereplacement.h"

#include "host/hosterror.h"
#include "host/standalone/platform/keepaccess.h"

#include <QDeadlineTimer>
#include <QSaveFile>
#include <QThread>

namespace {

// Windows refuses to replace a file while a reader, a virus scanner or the indexer has it open
// without delete sharing; they hold it for milliseconds. Writers wait for the store's lock far longer.
constexpr int ReplaceTimeoutMs = 3000;
constexpr int ReplaceRetryMs = 20;

} // namespace

void replaceFile(const QString &path, const QByteArray &content)
{
    const QDeadlineTimer deadline(ReplaceTimeoutMs);
    for (;;) {
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            throw HostError(QStringLiteral("Die Datei %1 kann nicht geschrieben werden: %2")
                                .arg(path, file.errorString()));
        keepAccess(file, path);
        if (file.commit())
            return;
        if (file.error() != QFileDevice::RenameError || deadline.hasExpired())
            throw HostError(
                QStringLiteral("Die Datei %1 kann nicht ersetzt werden: %2").arg(path, file.errorString()));
        QThread::msleep(ReplaceRetryMs);
    }
}
