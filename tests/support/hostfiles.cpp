#include "hostfiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

namespace {

const QString LogName = QStringLiteral("ordovant.log");

QString describeFile(const QFileInfo &info)
{
    // Opening a FIFO would wait for a writer.
    if (info.exists() && !info.isFile())
        return QStringLiteral("%1 special").arg(int(info.permissions()), 0, 16);
    QFile file(info.filePath());
    const QString content =
        file.open(QIODevice::ReadOnly)
            ? QString::fromLatin1(
                  QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex())
            : QStringLiteral("unreadable");
    return QStringLiteral("%1 %2").arg(int(info.permissions()), 0, 16).arg(content);
}

} // namespace

QMap<QString, QString> HostFiles::snapshot(const QString &directory)
{
    QMap<QString, QString> entries;
    const QDir root(directory);
    QDirIterator it(directory, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QString relative = root.relativeFilePath(it.filePath());
        if (relative == LogName)
            continue;
        const QFileInfo info = it.fileInfo();
        entries.insert(relative,
                       info.isDir() && !info.isSymLink() ? QStringLiteral("directory") : describeFile(info));
    }
    return entries;
}

QString HostFiles::describeChanges(const QMap<QString, QString> &before, const QMap<QString, QString> &after)
{
    QStringList changes;
    for (auto it = before.cbegin(); it != before.cend(); ++it) {
        if (!after.contains(it.key()))
            changes << QStringLiteral("removed %1").arg(it.key());
        else if (after.value(it.key()) != it.value())
            changes << QStringLiteral("changed %1").arg(it.key());
    }
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        if (!before.contains(it.key()))
            changes << QStringLiteral("added %1").arg(it.key());
    }
    return changes.join(QStringLiteral(", "));
}

QStringList HostFiles::logLines(const QString &directory)
{
    QFile log(QDir(directory).filePath(LogName));
    // A FIFO in its place would wait for a writer; a link is read as the program would not.
    if (!QFileInfo(log.fileName()).isFile() || QFileInfo(log.fileName()).isSymLink() ||
        !log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

bool HostFiles::hasReport(const QStringList &lines, const QString &terminal, const QString &label,
                          const QString &fragment)
{
    const QRegularExpression pattern(
        QStringLiteral("^\\d{4}-\\d{2}-\\d{2}T\\d{2}:\\d{2}:\\d{2} %1 %2: (.*)$")
            .arg(QRegularExpression::escape(terminal), QRegularExpression::escape(label)));
    for (const QString &line : lines) {
        const QRegularExpressionMatch match = pattern.match(line);
        if (match.hasMatch() && match.captured(1).contains(fragment))
            return true;
    }
    return false;
}
