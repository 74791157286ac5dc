#pragma once

#include <QStringView>

#include <optional>

// A branch number: every layer carries it in the 16 bits in which the branch software's components
// take it. Branches are the numbers from 1 to 32767; 0 and the negative ones name no branch.
namespace BranchNumber {

constexpr qint16 Minimum = 1;
constexpr qint16 Maximum = 32767;

// The whole number the text writes (blanks around it and a sign allowed), or none when it writes
// none; numbers beyond the 64-bit range come back at its ends. The one reading of a branch number's
// text, for host.ini, the settings, the check and the tools.
std::optional<qint64> wholeNumber(QStringView text);

inline bool isValid(qint64 number)
{
    return number >= Minimum && number <= Maximum;
}

// The number in the components' width; throws HostError for one outside 16 bits, which cut to them
// would name another branch.
qint16 narrowed(qint64 number);

} // namespace BranchNumber
