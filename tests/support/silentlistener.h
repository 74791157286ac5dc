#pragma once

#include <QString>

// A TCP port of 127.0.0.1 that accepts connections and never answers: the system completes the
// handshake of a listening socket by itself, and nothing reads. With plain sockets, so that the
// Windows build (which has no Qt Network) has one too.
class SilentListener final
{
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener &) = delete;
    SilentListener &operator=(const SilentListener &) = delete;

    bool isListening() const { return !m_port.isEmpty(); }
    QString port() const { return m_port; }

    // A port of 127.0.0.1 where nothing listens now.
    static QString freePort();

private:
    qintptr m_socket = -1;
    QString m_port;
};
