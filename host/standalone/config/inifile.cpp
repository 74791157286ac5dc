#include "inifile.h"

#include "host/hosterror.h"
#include "inisnapshot.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <optional>

namespace {

// Invalid or cut-off sequences come back as replacement characters; a byte order mark does not come
// back at all.
bool isUtf8(QByteArrayView data)
{
    data = IniFile::withoutByteOrderMark(data);
    return QString::fromUtf8(data).toUtf8() == data;
}

// A section or key name as QSettings writes it (letters, digits, "_-.", "%" escapes, a backslash between
// groups) or as people write it ("/" between groups).
bool isStoreName(QStringView name)
{
    if (name.isEmpty())
        return false;
    for (const QChar c : name) {
        if (!c.isLetterOrNumber() && !QStringView(u"_-.%/\\").contains(c))
            return false;
    }
    return true;
}

// The number (from 1) of the first line that a settings store would not hold, or 0. QSettings reads
// almost any text as INI and rewrites it on the next save, so a copied log whose lines all hold a "="
// would become a store; its keys are not names.
qsizetype foreignLine(const QByteArray &content)
{
    const QStringList all = IniFile::lines(content);
    bool inSection = false;
    bool continued = false;
    for (qsizetype n = 0; n < all.size(); ++n) {
        const QStringView line = QStringView(all[n]).trimmed();
        const bool continuation = continued;
        continued = line.endsWith(u'\\');
        if (continuation || line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']') && isStoreName(line.sliced(1, line.size() - 2))) {
            inSection = true;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inSection || equals <= 0 || !isStoreName(line.first(equals).trimmed()))
            return n + 1;
    }
    return 0;
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

QList<QByteArrayView> linesOf(QByteArrayView content)
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

// QSettings parses text through a file of its own, which costs a temporary copy per read. Most files
// hold only plain names and plain values; those are read here, the same way. Anything that QSettings
// reads with rules of its own (quotes, escapes, lists, comments after a value, continued lines,
// variants, escaped names, the General section) is left to QSettings: then there is no answer here.
std::optional<QHash<QString, QString>> plainValues(const QByteArray &content)
{
    if (!isUtf8(content))
        return std::nullopt;
    const QByteArrayView text = IniFile::withoutByteOrderMark(content);
    QHash<QString, QString> values;
    // On Windows QSettings takes names in any letter case as one.
    QSet<QString> foldedKeys;
    QString section;
    for (QByteArrayView line : linesOf(text)) {
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
        const QString folded = fullKey.toLower();
        if (foldedKeys.contains(folded))
            return std::nullopt;
        foldedKeys.insert(folded);
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

QByteArray IniFile::readText(const QString &path)
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
    if (content.contains('\0') || !isUtf8(content))
        throw HostError(
            QStringLiteral("Die Datei %1 ist keine gültige INI-Datei: sie ist kein UTF-8-Text.").arg(path));
    return content;
}

QByteArrayView IniFile::withoutByteOrderMark(QByteArrayView content)
{
    return content.startsWith("\xef\xbb\xbf") ? content.sliced(3) : content;
}

QStringList IniFile::lines(const QByteArray &content)
{
    QString text = QString::fromUtf8(withoutByteOrderMark(content));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(u'\r', u'\n');
    return text.split(u'\n');
}

QByteArray IniFile::read(const QString &path)
{
    QByteArray content = readText(path);
    if (const qsizetype line = foreignLine(content))
        throw HostError(
            QStringLiteral("Die Datei %1 ist kein Einstellungsspeicher und wird nicht angetastet: "
                           "Zeile %2 ist weder ein Abschnitt [Name] noch Name=Wert in einem "
                           "Abschnitt (ein Name besteht aus Buchstaben, Ziffern und _ - . % / \\).")
                .arg(path, QString::number(line)));
    return content;
}

QString IniFile::text(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}
