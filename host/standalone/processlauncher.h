#pragma once

#include "host/hostbackend.h"

class QProcess;

// Starts a program as a separate process, without a shell. The branch program's file name is
// spelt in different letter cases, so a name that is not found exactly is looked up ignoring case.
class ProcessLauncher final : public AppExecBackend
{
public:
    void execute(const AppExecRequest &request) override;

    // The program file for directory and name; throws HostError when none or several fit.
    static QString programPath(const QString &directory, const QString &fileName);

private:
    static void startDetached(QProcess &process);
    static void runAndWait(QProcess &process);
};
