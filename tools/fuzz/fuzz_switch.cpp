// libFuzzer target for the command-line switch rule: an argument is a switch when it is "-" or "/"
// followed by exactly the switch's letters, in upper or lower case. Only the ASCII letters count: a
// character that merely folds to one of them (the Kelvin sign to "k") is no letter of a switch.

#include "fuzzinput.h"

#include "host/hostfunctions.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

const std::array<QString, 4> Switches{QStringLiteral("A"), QStringLiteral("O"), QStringLiteral("E"),
                                      QStringLiteral("KD")};

char16_t asciiLower(char16_t c)
{
    return c >= u'A' && c <= u'Z' ? char16_t(c - u'A' + u'a') : c;
}

// The rule written out, independent of the code under test.
bool expectedMatch(const QString &argument, const QString &switchName)
{
    if (argument.size() != switchName.size() + 1)
        return false;
    if (argument.front() != u'-' && argument.front() != u'/')
        return false;
    for (qsizetype i = 0; i < switchName.size(); ++i) {
        if (asciiLower(argument.at(i + 1).unicode()) != asciiLower(switchName.at(i).unicode()))
            return false;
    }
    return true;
}

[[noreturn]] void failure(const QString &argument, const QString &switchName, bool expected)
{
    QString codes;
    for (const QChar c : argument)
        codes += QStringLiteral(" U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    std::fprintf(stderr, "argument%s against switch %s: expected %s\n", qPrintable(codes),
                 qPrintable(switchName), expected ? "a match" : "no match");
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // NUL separates the arguments, as in argv.
    const QStringList arguments = fuzzText(data, size).split(QChar(u'\0'));
    for (const QString &switchName : Switches) {
        bool anyExpected = false;
        for (const QString &argument : arguments) {
            const bool expected = expectedMatch(argument, switchName);
            if (matchesCmdLineSwitch(argument, switchName) != expected)
                failure(argument, switchName, expected);
            anyExpected = anyExpected || expected;
        }
        if (FindCmdLineSwitch(arguments, switchName) != anyExpected)
            failure(arguments.join(u' '), switchName, anyExpected);
    }
    return 0;
}
