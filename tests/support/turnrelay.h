#pragma once

#include <QProcess>
#include <QString>

// The relay of tests/support/turnproxy.cpp in front of a server of this machine, without delay: it
// counts the client turns (the times a client speaks after its server answered) of every connection
// made through it.
class TurnRelay final
{
public:
    // In front of 127.0.0.1:`port`, or of the Unix socket `path` when it starts with "/".
    explicit TurnRelay(const QString &server);
    ~TurnRelay();
    TurnRelay(const TurnRelay &) = delete;
    TurnRelay &operator=(const TurnRelay &) = delete;

    // Empty when the relay did not start.
    QString port() const { return m_port; }
    // The turns since the last call, once every connection through the relay has closed; -1 when the
    // relay did not answer or a connection is still open.
    int turns();

private:
    QProcess m_process;
    QString m_port;
};
