#pragma once

#include "host/hostbackend.h"

// Starts a program as a separate process, without a shell. The branch program's file name is
// spelt in different letter cases, so a name that is not found exactly is looked up ignoring case.
class ProcessLauncher final : public AppExecBackend
{
public:
    void execute(const AppExecRequest &request) override;

    // The program file for directory and name; throws HostError when none or several fit.
    static QString programPath(const QString &directory, const QString &fileName);

private:
    static void startDetached(const QString &program, const QStringList &arguments, const QString &directory);
    static void runAndWait(const QString &program, const QStringList &arguments, const QString &directory);
};
