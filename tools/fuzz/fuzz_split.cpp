// libFuzzer target for the text form of code lists: reading never fails or hangs, writing what was
// read gives a text that reads back to the same codes, and any list of codes survives a write and a
// read unchanged.

#include "fuzzinput.h"

#include "check/delimitedlist.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void failure(const char *what, const QString &text, const QStringList &expected,
                          const QStringList &got)
{
    std::fprintf(stderr, "%s\ninput:    %s\nexpected: [%s]\ngot:      [%s]\n", what, qPrintable(text),
                 qPrintable(expected.join(QStringLiteral("] ["))),
                 qPrintable(got.join(QStringLiteral("] ["))));
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);

    // Whatever a settings file holds: what was read is written and read again unchanged.
    const QStringList codes = splitDelimitedList(text);
    const QString written = joinDelimitedList(codes);
    const QStringList reread = splitDelimitedList(written);
    if (reread != codes)
        failure("split(join(split(x))) != split(x)", text, codes, reread);
    if (joinDelimitedList(reread) != written)
        failure("join is not stable", text, {written}, {joinDelimitedList(reread)});

    // Any list of codes, here the text cut at NUL characters, survives a write and a read.
    const QStringList list = text.split(QChar(u'\0'));
    const QStringList roundTrip = splitDelimitedList(joinDelimitedList(list));
    if (roundTrip != list)
        failure("split(join(list)) != list", text, list, roundTrip);
    return 0;
}
