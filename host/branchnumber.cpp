#include "branchnumber.h"

#include "hosterror.h"

#include <limits>

std::optional<qint64> BranchNumber::wholeNumber(QStringView text)
{
    text = text.trimmed();
    const bool negative = text.startsWith(u'-');
    if (negative || text.startsWith(u'+'))
        text = text.sliced(1);
    if (text.isEmpty())
        return std::nullopt;
    constexpr qint64 Limit = std::numeric_limits<qint64>::max() / 10;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        // Saturated: such a number is outside every range anyway.
        value = value >= Limit ? std::numeric_limits<qint64>::max() : value * 10 + (c.unicode() - u'0');
    }
    return negative ? -value : value;
}

qint16 BranchNumber::narrowed(qint64 number)
{
    if (number < std::numeric_limits<qint16>::min() || number > std::numeric_limits<qint16>::max())
        throw HostError(
            QStringLiteral("Filialnummer %1 liegt außerhalb des Bereichs der Filialnummern").arg(number));
    return qint16(number);
}
