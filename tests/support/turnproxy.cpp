// turnproxy: a TCP relay on 127.0.0.1 in front of a server of this machine that delays each direction
// and counts the client's turns, the times a client speaks after its server answered: what a link of
// that delay costs a client is its turns times the round trip.
//
// usage: turnproxy (--to HOST:PORT | --to-socket PATH) [--delay-ms N] [--seconds N]
//   HOST is a loopback address (127.x.y.z or ::1) or "localhost"; PATH a Unix socket (a MariaDB server
//   that listens on one only). N ms (0 to 1000, default 0) delay every chunk of each direction; the
//   relay ends after --seconds (1 to 3600, default 600) whatever happens.
// Prints "port P" once it listens. Reads commands on standard input, one a line:
//   report  waits until every connection has closed (at most 10 s), prints
//           "turns T connections C open O", and starts counting afresh
//   quit    (or end of input) ends the relay
// A turn counts when the client sends after the server sent something since the client's last send;
// the client's first words (the server has said nothing yet) are no turn.

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options
{
    std::string host;
    std::string port;
    std::string socketPath;
    int delayMs = 0;
    int seconds = 600;
};

// Bytes read from one side, to be written to the other once `due`.
struct Chunk
{
    Clock::time_point due;
    std::string bytes;
};

// One direction of a connection.
struct Direction
{
    int from = -1;
    int to = -1;
    std::deque<Chunk> pending;
    bool ended = false; // `from` has closed; `to` is shut down once `pending` is written
};

struct Connection
{
    Direction up;   // client to server
    Direction down; // server to client
    bool serverSpoke = false;
    bool closed = false;
};

int usage()
{
    std::fputs("usage: turnproxy (--to HOST:PORT | --to-socket PATH) [--delay-ms N] [--seconds N]\n", stderr);
    return 2;
}

bool number(const char *text, int minimum, int maximum, int &value)
{
    char *end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || parsed < minimum || parsed > maximum)
        return false;
    value = int(parsed);
    return true;
}

bool parse(int argc, char **argv, Options &options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (i + 1 >= argc)
            return false;
        const char *value = argv[++i];
        if (argument == "--to") {
            const std::string target = value;
            const std::size_t colon = target.rfind(':');
            if (colon == std::string::npos)
                return false;
            options.host = target.substr(0, colon);
            options.port = target.substr(colon + 1);
            if (options.host.size() > 2 && options.host.front() == '[' && options.host.back() == ']')
                options.host = options.host.substr(1, options.host.size() - 2);
        } else if (argument == "--to-socket") {
            options.socketPath = value;
        } else if (argument == "--delay-ms") {
            if (!number(value, 0, 1000, options.delayMs))
                return false;
        } else if (argument == "--seconds") {
            if (!number(value, 1, 3600, options.seconds))
                return false;
        } else {
            return false;
        }
    }
    return options.host.empty() != options.socketPath.empty();
}

bool isLoopback(const sockaddr *address)
{
    if (address->sa_family == AF_INET)
        return (ntohl(reinterpret_cast<const sockaddr_in *>(address)->sin_addr.s_addr) >> 24) == 127;
    if (address->sa_family == AF_INET6)
        return IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6 *>(address)->sin6_addr);
    return false;
}

// A connection to the server; -1 when it cannot be made or would leave this machine.
int connectToServer(const Options &options)
{
    if (!options.socketPath.empty()) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (options.socketPath.size() >= sizeof address.sun_path)
            return -1;
        std::memcpy(address.sun_path, options.socketPath.c_str(), options.socketPath.size() + 1);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0)
            return fd;
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(options.host.c_str(), options.port.c_str(), &hints, &found) != 0)
        return -1;
    int fd = -1;
    for (addrinfo *candidate = found; candidate && fd < 0; candidate = candidate->ai_next) {
        if (!isLoopback(candidate->ai_addr))
            continue;
        fd = ::socket(candidate->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, candidate->ai_addr, candidate->ai_addrlen) != 0) {
            ::close(fd);
            fd = -1;
        }
    }
    ::freeaddrinfo(found);
    return fd;
}

void noDelay(int fd)
{
    const int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

int listenOnLoopback(int &port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) != 0) {
        ::close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

class Relay
{
public:
    Relay(Options options, int listener) : m_options(std::move(options)), m_listener(listener) {}

    int run()
    {
        const Clock::time_point end = Clock::now() + std::chrono::seconds(m_options.seconds);
        bool inputOpen = true;
        while (Clock::now() < end) {
            if (m_reportAsked && (openConnections() == 0 || Clock::now() >= m_reportDeadline))
                report();
            std::vector<pollfd> fds;
            std::vector<std::pair<Connection *, Direction *>> owners;
            fds.push_back({m_listener, POLLIN, 0});
            owners.emplace_back(nullptr, nullptr);
            if (inputOpen) {
                fds.push_back({STDIN_FILENO, POLLIN, 0});
                owners.emplace_back(nullptr, nullptr);
            }
            for (auto &connection : m_connections) {
                for (Direction *direction : {&connection->up, &connection->down}) {
                    if (!direction->ended) {
                        fds.push_back({direction->from, POLLIN, 0});
                        owners.emplace_back(connection.get(), direction);
                    }
                }
            }
            const int timeout = nextTimeout(end);
            if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
                return 1;
            // The sockets first: what a client wrote before the command came is counted before it.
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)) || !owners[i].first)
                    continue;
                receive(*owners[i].first, *owners[i].second);
            }
            if (fds[0].revents & POLLIN)
                accept();
            if (inputOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) && !command())
                inputOpen = false;
            if (!inputOpen && !m_reportAsked)
                return 0;
            sendDue();
            removeClosed();
        }
        return 0;
    }

private:
    int openConnections() const { return int(m_connections.size()); }

    int nextTimeout(Clock::time_point end) const
    {
        Clock::time_point next = end;
        if (m_reportAsked && m_reportDeadline < next)
            next = m_reportDeadline;
        for (const auto &connection : m_connections) {
            for (const Direction *direction : {&connection->up, &connection->down}) {
                if (!direction->pending.empty() && direction->pending.front().due < next)
                    next = direction->pending.front().due;
            }
        }
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - Clock::now()).count();
        return int(std::max<long long>(0, std::min<long long>(ms + 1, 1000)));
    }

    void accept()
    {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            return;
        const int server = connectToServer(m_options);
        if (server < 0) {
            ::close(client);
            return;
        }
        noDelay(client);
        noDelay(server);
        auto connection = std::make_unique<Connection>();
        connection->up.from = client;
        connection->up.to = server;
        connection->down.from = server;
        connection->down.to = client;
        m_connections.push_back(std::move(connection));
        ++m_connectionCount;
    }

    void receive(Connection &connection, Direction &direction)
    {
        char buffer[65536];
        const ssize_t n = ::read(direction.from, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN))
                return;
            direction.ended = true;
            direction.pending.push_back({Clock::now() + std::chrono::milliseconds(m_options.delayMs), {}});
            return;
        }
        if (&direction == &connection.up) {
            if (connection.serverSpoke)
                ++m_turns;
            connection.serverSpoke = false;
        } else {
            connection.serverSpoke = true;
        }
        direction.pending.push_back({Clock::now() + std::chrono::milliseconds(m_options.delayMs),
                                     std::string(buffer, std::size_t(n))});
    }

    void sendDue()
    {
        const Clock::time_point now = Clock::now();
        for (auto &connection : m_connections) {
            for (Direction *direction : {&connection->up, &connection->down}) {
                while (!direction->pending.empty() && direction->pending.front().due <= now) {
                    Chunk &chunk = direction->pending.front();
                    if (chunk.bytes.empty()) {
                        // The end of this direction; the other side sees it as the sender's close.
                        ::shutdown(direction->to, SHUT_WR);
                        direction->pending.pop_front();
                        continue;
                    }
                    const ssize_t written =
                        ::send(direction->to, chunk.bytes.data(), chunk.bytes.size(), MSG_NOSIGNAL);
                    if (written < 0) {
                        connection->closed = true;
                        break;
                    }
                    chunk.bytes.erase(0, std::size_t(written));
                    if (!chunk.bytes.empty())
                        break;
                    direction->pending.pop_front();
                }
            }
            const bool upDone = connection->up.ended && connection->up.pending.empty();
            const bool downDone = connection->down.ended && connection->down.pending.empty();
            if (upDone && downDone)
                connection->closed = true;
        }
    }

    void removeClosed()
    {
        for (auto it = m_connections.begin(); it != m_connections.end();) {
            if ((*it)->closed) {
                ::close((*it)->up.from);
                ::close((*it)->down.from);
                it = m_connections.erase(it);
            } else {
                ++it;
            }
        }
    }

    // False at the end of input or "quit".
    bool command()
    {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_input.append(buffer, std::size_t(n));
        std::size_t newline;
        while ((newline = m_input.find('\n')) != std::string::npos) {
            const std::string line = m_input.substr(0, newline);
            m_input.erase(0, newline + 1);
            if (line == "quit")
                return false;
            if (line == "report" && !m_reportAsked) {
                m_reportAsked = true;
                m_reportDeadline = Clock::now() + std::chrono::seconds(10);
            }
        }
        return true;
    }

    void report()
    {
        std::printf("turns %d connections %d open %d\n", m_turns, m_connectionCount, openConnections());
        std::fflush(stdout);
        m_turns = 0;
        m_connectionCount = 0;
        m_reportAsked = false;
    }

    Options m_options;
    int m_listener;
    std::vector<std::unique_ptr<Connection>> m_connections;
    std::string m_input;
    int m_turns = 0;
    int m_connectionCount = 0;
    bool m_reportAsked = false;
    Clock::time_point m_reportDeadline;
};

} // namespace

int main(int argc, char **argv)
{
    Options options;
    if (!parse(argc, argv, options))
        return usage();
    std::signal(SIGPIPE, SIG_IGN);
    int port = 0;
    const int listener = listenOnLoopback(port);
    if (listener < 0) {
        std::perror("turnproxy: listen");
        return 1;
    }
    std::printf("port %d\n", port);
    std::fflush(stdout);
    return Relay(std::move(options), listener).run();
}
