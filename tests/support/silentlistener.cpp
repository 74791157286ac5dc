#include "silentlistener.h"

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
using Socket = SOCKET;
const qintptr NoSocket = qintptr(INVALID_SOCKET);
void closeSocket(qintptr socket)
{
    closesocket(Socket(socket));
}
#else
using Socket = int;
const qintptr NoSocket = -1;
void closeSocket(qintptr socket)
{
    ::close(Socket(socket));
}
#endif

// A socket bound to a port of 127.0.0.1 the system chose, and that port; NoSocket on failure.
qintptr bound(QString &port)
{
#ifdef Q_OS_WIN
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    if (!started)
        return NoSocket;
#endif
    const Socket socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (qintptr(socket) == NoSocket)
        return NoSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        closeSocket(qintptr(socket));
        return NoSocket;
    }
    port = QString::number(ntohs(address.sin_port));
    return qintptr(socket);
}

} // namespace

SilentListener::SilentListener()
{
    QString port;
    m_socket = bound(port);
    if (m_socket != NoSocket && ::listen(Socket(m_socket), 16) == 0)
        m_port = port;
}

SilentListener::~SilentListener()
{
    if (m_socket != NoSocket)
        closeSocket(m_socket);
}

QString SilentListener::freePort()
{
    QString port;
    const qintptr socket = bound(port);
    if (socket == NoSocket)
        return {};
    closeSocket(socket);
    return port;
}
