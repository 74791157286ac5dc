#include "inifile.h"

#include "host/hosterror.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {

bool isIniLine(QStringView line)
{
    const QStringView trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(u';') || trimmed.startsWith(u'#'))
        return true;
    if (trimmed.startsWith(u'['))
        return trimmed.endsWith(u']');
    return trimmed.contains(u'=');
}

// QSettings reads almost any bytes as INI without complaint and rewrites them on the next save; a
// file of other content must not be taken for an empty store and then be overwritten.
bool isIniText(const QByteArray &data)
{
    if (data.contains('\0'))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(data);
    if (decoder.hasError())
        return false;
    bool continued = false;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (!continued && !isIniLine(line))
            return false;
        continued = line.trimmed().endsWith(u'\\');
    }
    return true;
}

} // namespace

QByteArray IniFile::read(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    QFile file(path);
    if (!info.isFile() || !file.open(QIODevice::ReadOnly))
        throw HostError(QStringLiteral("Die Datei %1 kann nicht gelesen werden.").arg(path));
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw HostError(
            QStringLiteral("Die Datei %1 kann nicht gelesen werden: %2").arg(path, file.errorString()));
    if (!isIniText(content))
        throw HostError(QStringLiteral("Die Datei %1 ist keine gültige INI-Datei.").arg(path));
    return content;
}

QString IniFile::text(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}
