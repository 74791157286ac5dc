#pragma once

#include <QString>
#include <QVariant>

// Checks shared by host.ini and the settings store, both INI files that people may edit by hand.
namespace IniFile {

// Throws HostError when the file exists but cannot be read or is not INI text; a missing file passes.
void check(const QString &path);

// The text of a value as written in the file: QSettings hands an unquoted "a,b" back as a list.
QString text(const QVariant &value);

} // namespace IniFile
