#include "inifile.h"

#include "host/hosterror.h"
#include "host/standalone/config/textfile.h"
#include "inisnapshot.h"

#include <QSet>

#include <optional>

namespace {

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

// A backslash in a value that QSettings' own writer would not have written: a Windows path written by
// hand ("C:\\Torvelin\\bin") is read as escapes and saved changed, and a backslash at the end joins the
// next line to the value.
bool holdsForeignBackslash(QStringView value)
{
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != u'\\')
            continue;
        if (i + 1 == value.size() || !QStringView(u"\\\"0abfnrtvx").contains(value[i + 1]))
            return true;
        ++i;
    }
    return false;
}

struct ForeignLine
{
    qsizetype number = 0; // from 1; 0 when every line is a store's
    QString why;
};

// The first line that a settings store would not hold. QSettings reads almost any text as INI and
// rewrites it on the next save, so a copied log whose lines all hold a "=" would become a store; its
// keys are not names. A line whose first character is ";" or "#" is a comment.
ForeignLine foreignLine(const QByteArray &content)
{
    const QStringList all = TextFile::lines(content);
    bool inSection = false;
    for (qsizetype n = 0; n < all.size(); ++n) {
        const QStringView line = QStringView(all[n]).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']') && isStoreName(line.sliced(1, line.size() - 2))) {
            inSection = true;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inSection || equals <= 0 || !isStoreName(line.first(equals).trimmed()))
            return {n + 1,
                    QStringLiteral("ist weder ein Abschnitt [Name] noch Name=Wert in einem Abschnitt (ein "
                                   "Name besteht aus Buchstaben, Ziffern und _ - . % / \\)")};
        if (holdsForeignBackslash(line.sliced(equals + 1)))
            return {n + 1,
                    QStringLiteral("enthält im Wert einen Rückstrich \\, den QSettings nicht so "
                                   "zurückliest, wie er dasteht (wie in einem Windows-Pfad C:\\Ordner)")};
    }
    return {};
}

// QSettings reads a "#" line as a key or, without "=", fails to save the file; people write it as a
// comment. Made a ";" comment, which QSettings skips, it is one for every reader of the store.
QByteArray withHashCommentsAsSemicolon(QByteArray content)
{
    qsizetype start = content.size() - TextFile::withoutByteOrderMark(content).size();
    while (start < content.size()) {
        qsizetype first = start;
        while (first < content.size() && (content[first] == ' ' || content[first] == '\t'))
            ++first;
        if (first < content.size() && content[first] == '#')
            content[first] = ';';
        const qsizetype end = content.indexOf('\n', start);
        const qsizetype cr = content.indexOf('\r', start);
        const qsizetype next = end < 0 ? cr : (cr < 0 ? end : qMin(end, cr));
        if (next < 0)
            break;
        start = next + 1;
    }
    return content;
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

// QSettings parses text through a file of its own, which costs a temporary copy per read. Most files
// hold only plain names and plain values; those are read here, the same way. Anything that QSettings
// reads with rules of its own (quotes, escapes, lists, comments after a value, continued lines,
// variants, escaped names, the General section) is left to QSettings: then there is no answer here.
std::optional<QHash<QString, QString>> plainValues(const QByteArray &content)
{
    if (!TextFile::isUtf8(content))
        return std::nullopt;
    const QByteArrayView text = TextFile::withoutByteOrderMark(content);
    QHash<QString, QString> values;
    // On Windows QSettings takes names in any letter case as one.
    QSet<QString> foldedKeys;
    QString section;
    for (QByteArrayView line : TextFile::lineViews(text)) {
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

QByteArray IniFile::read(const QString &path)
{
    const QByteArray content = TextFile::readText(path);
    if (const ForeignLine foreign = foreignLine(content); foreign.number > 0)
        throw HostError(
            QStringLiteral("Die Datei %1 ist kein Einstellungsspeicher und wird nicht angetastet: "
                           "Zeile %2 %3.")
                .arg(path, QString::number(foreign.number), foreign.why));
    return withHashCommentsAsSemicolon(content);
}

QString IniFile::text(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}
