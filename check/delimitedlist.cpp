#include "delimitedlist.h"

namespace {

constexpr QChar Delimiter = u'|';
constexpr QChar Quote = u'"';

// Blanks and control characters separate codes and are dropped around them; the writer quotes every
// code that holds one, so reading and writing must agree on this one test.
bool isBlankOrControl(QChar c)
{
    return c == u' ' || c.category() == QChar::Other_Control;
}

bool needsQuotes(const QString &code)
{
    for (const QChar c : code)
        if (isBlankOrControl(c) || c == Quote || c == Delimiter)
            return true;
    return false;
}

qsizetype skipBlanks(const QString &text, qsizetype pos)
{
    while (pos < text.size() && isBlankOrControl(text.at(pos)))
        ++pos;
    return pos;
}

// `pos` stands on the opening quote; afterwards behind the closing one, or at the end of a text
// whose quote was never closed (the rest of the text is the code then).
QString readQuoted(const QString &text, qsizetype &pos)
{
    QString code;
    ++pos;
    while (pos < text.size()) {
        const QChar c = text.at(pos++);
        if (c != Quote) {
            code += c;
        } else if (pos < text.size() && text.at(pos) == Quote) {
            code += Quote;
            ++pos;
        } else {
            break;
        }
    }
    return code;
}

QString readUnquoted(const QString &text, qsizetype &pos)
{
    const qsizetype start = pos;
    while (pos < text.size() && !isBlankOrControl(text.at(pos)) && text.at(pos) != Delimiter)
        ++pos;
    return text.mid(start, pos - start);
}

} // namespace

QStringList splitDelimitedList(const QString &text)
{
    QStringList codes;
    qsizetype pos = skipBlanks(text, 0);
    // Every round consumes at least one character: a code, a quote or a delimiter.
    while (pos < text.size()) {
        codes << (text.at(pos) == Quote ? readQuoted(text, pos) : readUnquoted(text, pos));
        pos = skipBlanks(text, pos);
        if (pos < text.size() && text.at(pos) == Delimiter) {
            if (pos + 1 == text.size())
                codes << QString();
            pos = skipBlanks(text, pos + 1);
        }
    }
    return codes;
}

QString joinDelimitedList(const QStringList &codes)
{
    // Without the quotes, one empty code would be written as the empty text, which reads as no code.
    if (codes.size() == 1 && codes.front().isEmpty())
        return QString(2, Quote);
    QStringList written;
    written.reserve(codes.size());
    for (const QString &code : codes) {
        if (needsQuotes(code))
            written << Quote + QString(code).replace(Quote, QStringLiteral("\"\"")) + Quote;
        else
            written << code;
    }
    return written.join(Delimiter);
}
