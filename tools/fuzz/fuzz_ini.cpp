// libFuzzer target for reading INI text: the values read without QSettings are exactly those that
// QSettings reads from the same text, or the text is left to QSettings.

#include "host/hosterror.h"
#include "host/standalone/store/inifile.h"
#include "host/standalone/store/inisnapshot.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        IniSnapshot snapshot(content, QStringLiteral("fuzz"));
        QHash<QString, QString> expected;
        for (const QString &key : snapshot.settings().allKeys())
            expected.insert(key, IniFile::text(snapshot.settings().value(key)));
        if (IniFile::values(content, QStringLiteral("fuzz")) != expected) {
            std::fprintf(stderr, "values differ from QSettings for:\n%s\n", content.constData());
            std::abort();
        }
    } catch (const HostError &) {
        // Text that QSettings cannot parse is refused either way.
    }
    return 0;
}
