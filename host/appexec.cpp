#include "appexec.h"

TAppExec::TAppExec(QObject *owner) : QObject(owner), m_backend(hostBackend().createAppExec()) {}

TAppExec::~TAppExec() = default;

void TAppExec::SetExePath(const QString &path)
{
    m_request.exePath = path;
}

void TAppExec::Execute()
{
    m_backend->execute(m_request);
}
