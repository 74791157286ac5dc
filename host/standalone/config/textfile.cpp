#include "textfile.h"

#include "host/hosterror.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

namespace {

// The number (from 1) of the first line that holds a zero byte or is not UTF-8, or 0.
qsizetype firstLineNotText(QByteArrayView content)
{
    qsizetype number = 1;
    for (const QByteArrayView line : TextFile::lineViews(TextFile::withoutByteOrderMark(content))) {
        if (line.contains('\0') || !TextFile::isUtf8(line))
            return number;
        ++number;
    }
    return 0;
}

QString sizeText(qint64 bytes)
{
    constexpr qint64 MiB = 1024 * 1024;
    if (bytes > 0 && bytes % MiB == 0)
        return QStringLiteral("%1 MiB (%2 Byte)").arg(QString::number(bytes / MiB), QString::number(bytes));
    return QStringLiteral("%1 Byte").arg(QString::number(bytes));
}

} // namespace

QList<QByteArrayView> TextFile::lineViews(QByteArrayView content)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        lines.append(content.sliced(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Invalid or cut-off sequences come back as replacement characters; a byte order mark does not come
// back at all.
bool TextFile::isUtf8(QByteArrayView data)
{
    data = withoutByteOrderMark(data);
    return QString::fromUtf8(data).toUtf8() == data;
}

QByteArray TextFile::readText(const QString &path, qint64 limit)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw HostError(QStringLiteral("Die Datei %1 kann nicht gelesen werden.").arg(path));
    const QByteArray content = limit < 0 ? file.readAll() : file.read(limit + 1);
    if (limit >= 0 && content.size() > limit)
        throw HostError(QStringLiteral("Die Datei %1 ist größer als %2 und wird nicht gelesen.")
                            .arg(path, sizeText(limit)));
    if (file.error() != QFileDevice::NoError)
        throw HostError(
            QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, file.errorString()));
    if (const qsizetype line = firstLineNotText(content))
        throw HostError(QStringLiteral("Die Datei %1 ist keine gültige INI-Datei: sie ist kein UTF-8-Text "
                                       "(Zeile %2).")
                            .arg(path, QString::number(line)));
    return content;
}

QStringList TextFile::lines(const QByteArray &content)
{
    QString text = QString::fromUtf8(withoutByteOrderMark(content));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text.split(u'\n');
}
