#include "standalonesession.h"

#include "standalonehost.h"

StandaloneSession::StandaloneSession(const QStringList &arguments)
    : m_display(arguments), m_previous(installHostBackend(makeStandaloneHost()))
{
}

StandaloneSession::~StandaloneSession()
{
    installHostBackend(std::move(m_previous));
}

void StandaloneSession::applicationStarted() const
{
    SessionDisplay::record(m_display.missing());
}
