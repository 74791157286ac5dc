#pragma once

#include "hostbackend.h"

#include <QObject>
#include <QStringList>

#include <memory>

class AppExecBackend;

// The host's process launcher: a component placed on a form or created in code.
class TAppExec final : public QObject
{
    Q_OBJECT

public:
    explicit TAppExec(QObject *owner = nullptr);
    ~TAppExec() override;

    void SetExePath(const QString &path);
    QString ExePath() const { return m_request.exePath; }
    void SetExeName(const QString &name) { m_request.exeName = name; }
    QString ExeName() const { return m_request.exeName; }
    QStringList &Parameters() { return m_request.parameters; }
    void SetWait(bool wait) { m_request.wait = wait; }
    bool Wait() const { return m_request.wait; }
    void SetWindowState(TWindowState state) { m_request.windowState = state; }
    TWindowState WindowState() const { return m_request.windowState; }

    // Starts directory + file name with the parameter list as a separate process.
    void Execute();

private:
    std::unique_ptr<AppExecBackend> m_backend;
    AppExecRequest m_request;
};
