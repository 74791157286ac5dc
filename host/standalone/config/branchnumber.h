#pragma once

#include <QStringView>

#include <optional>

// A branch number as host.ini and the tools take it: a whole number from 1 to 32767, the branch
// software's 16-bit numbers without 0 and the negative ones, which name no branch.
namespace BranchNumber {

constexpr int Minimum = 1;
constexpr int Maximum = 32767;

// The whole number the text writes (blanks around it and a sign allowed), or none when it writes
// none; numbers beyond the 64-bit range come back at its ends.
std::optional<qint64> wholeNumber(QStringView text);

inline bool isValid(qint64 number)
{
    return number >= Minimum && number <= Maximum;
}

} // namespace BranchNumber
