#include "hostinifile.h"

#include "host/hosterror.h"
#include "textfile.h"

#include <QFileInfo>

namespace {

// A host.ini holds a few dozen lines; a file of megabytes is not one, and reading it whole would cost
// seconds and memory at every logon.
constexpr qint64 MaxBytes = 1024 * 1024;

// The value as written after "=": quotes removed, the text after an unquoted ";" dropped, and blanks
// at the ends dropped unless quoted.
QString valueText(QStringView written)
{
    QString value;
    qsizetype kept = 0; // the length up to the last character that is quoted or not blank
    bool quoted = false;
    for (const QChar c : written) {
        if (c == u'"') {
            quoted = !quoted;
            kept = value.size();
            continue;
        }
        if (!quoted && c == u';')
            break;
        if (value.isEmpty() && !quoted && c.isSpace())
            continue;
        value += c;
        if (quoted || !c.isSpace())
            kept = value.size();
    }
    value.truncate(kept);
    return value;
}

} // namespace

QHash<QString, QString> HostIni::values(const QByteArray &content, const QString &origin)
{
    QHash<QString, QString> values;
    QString section;
    const QStringList lines = TextFile::lines(content);
    for (qsizetype n = 0; n < lines.size(); ++n) {
        const QStringView line = QStringView(lines[n]).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.sliced(1, line.size() - 2).trimmed().toString();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        const QStringView name = equals > 0 ? line.first(equals).trimmed() : QStringView();
        if (name.isEmpty() || line.startsWith(u'['))
            throw HostError(QStringLiteral("Die Datei %1 ist keine gültige INI-Datei: Zeile %2 ist weder ein "
                                           "Abschnitt [Name] noch Name=Wert.")
                                .arg(origin, QString::number(n + 1)));
        const QString key = section.isEmpty() ? name.toString() : section + u'/' + name.toString();
        values.insert(HostIni::key(key), valueText(line.sliced(equals + 1)));
    }
    return values;
}

QString HostIni::kindOf(const QFileInfo &info)
{
    if (info.isDir())
        return QStringLiteral("ein Verzeichnis");
    if (info.isFile())
        return QStringLiteral("eine Datei");
    // A FIFO would block its reader, a device never ends.
    return QStringLiteral("weder Datei noch Verzeichnis (etwa eine FIFO, ein Gerät oder ein Socket)");
}

QString HostIni::key(const QString &name)
{
    return name.toCaseFolded();
}

QHash<QString, QString> HostIni::read(const QString &path)
{
    const QFileInfo info(path);
    // A link that leads nowhere is a host.ini that cannot be read, not a missing one: the start would
    // run on defaults, under the host name as terminal id.
    if (info.isSymLink() && !info.exists())
        throw HostError(QStringLiteral("Die Datei %1 ist eine Verknüpfung, deren Ziel es nicht gibt oder die "
                                       "im Kreis auf sich selbst führt.")
                            .arg(path));
    if (info.exists() && !info.isFile())
        throw HostError(QStringLiteral("%1 ist keine Datei, sondern %2.").arg(path, kindOf(info)));
    return values(TextFile::readText(path, MaxBytes), path);
}
