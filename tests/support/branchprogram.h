#pragma once

#include <QString>

// The stand-in branch program of the tests, a real executable of this build, copied as `fileName`
// into `directory` (made when missing). It notes its arguments in gestartet.txt and how it was
// started in gestartet-wie.txt beside itself.
bool installBranchProgram(const QString &directory, const QString &fileName = QStringLiteral("torvelin.exe"));
