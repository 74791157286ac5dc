#include "inifile.h"

#include "host/hosterror.h"
#include "inisnapshot.h"

#include <QFile>
#include <QFileInfo>

#include <optional>

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

// Invalid or cut-off sequences come back as replacement characters; a byte order mark does not come
// back at all.
bool isUtf8(QByteArrayView data)
{
    if (data.startsWith("\xef\xbb\xbf"))
        data = data.sliced(3);
    return QString::fromUtf8(data).toUtf8() == data;
}

// QSettings reads almost any bytes as INI without complaint and rewrites them on the next save; a
// file of other content must not be taken for an empty store and then be overwritten.
bool isIniText(const QByteArray &data)
{
    if (data.contains('\0'))
        return false;
    if (!isUtf8(data))
        return false;
    const QString text = QString::fromUtf8(data);
    bool continued = false;
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (!continued && !isIniLine(line))
            return false;
        continued = line.trimmed().endsWith(u'\\');
    }
    return true;
}

bool isPlainKeyCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == '.';
}

// A section or key name that QSettings takes as it stands, "\\" and "/" both separating groups.
std::optional<QString> plainName(QByteArrayView name)
{
    if (name.isEmpty())
        return std::nullopt;
    QString result;
    result.reserve(name.size());
    for (const char c : name) {
        if (c == '\\' || c == '/')
            result += u'/';
        else if (isPlainKeyCharacter(c))
            result += QLatin1Char(c);
        else
            return std::nullopt;
    }
    // QSettings drops empty groups.
    if (result.startsWith(u'/') || result.endsWith(u'/') || result.contains(QLatin1String("//")))
        return std::nullopt;
    return result;
}

// Blanks around a line, control characters but the tab, and names read twice (QSettings orders
// sections by name, not by place) are QSettings' to judge.
bool isPlainLine(QByteArrayView line)
{
    if (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t'))
        return false;
    for (const char c : line) {
        if (uchar(c) < 0x20 && c != '\t')
            return false;
    }
    return true;
}

QList<QByteArrayView> linesOf(const QByteArray &content)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < content.size()) {
        qsizetype end = content.indexOf('\n', start);
        if (end < 0)
            end = content.size();
        lines.append(QByteArrayView(content).sliced(start, end - start));
        start = end + 1;
    }
    return lines;
}

// QSettings parses text through a file of its own, which costs a temporary copy per read. Most files
// hold only plain names and plain values; those are read here, the same way. Anything that QSettings
// reads with rules of its own (quotes, escapes, lists, comments after a value, continued lines,
// variants, escaped names, the General section) is left to QSettings: then there is no answer here.
std::optional<QHash<QString, QString>> plainValues(const QByteArray &content)
{
    if (!isUtf8(content))
        return std::nullopt;
    QHash<QString, QString> values;
    QString section;
    for (QByteArrayView line : linesOf(content)) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!isPlainLine(line))
            return std::nullopt;
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(';'))
            continue;
        if (line.startsWith('[')) {
            const auto name = line.endsWith(']') ? plainName(line.sliced(1, line.size() - 2)) : std::nullopt;
            if (!name || name->compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                return std::nullopt;
            section = *name + u'/';
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            return std::nullopt;
        const auto key = plainName(line.first(equals).trimmed());
        const QByteArrayView value = line.sliced(equals + 1).trimmed();
        for (const char special : {'"', '\\', ',', ';', '#'}) {
            if (value.contains(special))
                return std::nullopt;
        }
        if (!key || value.startsWith('@'))
            return std::nullopt;
        const QString fullKey = section + *key;
        if (values.contains(fullKey))
            return std::nullopt;
        values.insert(fullKey, QString::fromUtf8(value));
    }
    return values;
}

} // namespace

QHash<QString, QString> IniFile::values(const QByteArray &content, const QString &origin)
{
    if (auto plain = plainValues(content))
        return *std::move(plain);
    IniSnapshot snapshot(content, origin);
    const QSettings &settings = snapshot.settings();
    QHash<QString, QString> values;
    for (const QString &key : settings.allKeys())
        values.insert(key, text(settings.value(key)));
    return values;
}

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
