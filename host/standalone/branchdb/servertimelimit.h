#pragma once

#include "serverwatchdog.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <utility>

// The time limit of the server work of one step: everything the program does before its event loop
// turns, the whole start or the save of the options dialog with its new check. The statements of a
// step share one Zeitlimit, so that two reads of a locked table do not wait twice; connecting takes at
// most the limit for each server of the list, as libpq's connect_timeout does. A watchdog bounds each
// piece of work on the program's side, a little after the server's limit should have ended it.
class ServerTimeLimit final
{
public:
    // One piece of server work, guarded by the watchdog until it is destroyed.
    class Work final
    {
    public:
        explicit Work(ServerTimeLimit *limit) : m_limit(limit) {}
        ~Work();
        Work(Work &&other) noexcept : m_limit(std::exchange(other.m_limit, nullptr)), m_ms(other.m_ms) {}
        Work(const Work &) = delete;
        Work &operator=(const Work &) = delete;
        Work &operator=(Work &&) = delete;

        // The time this piece may take: for the server's statement_timeout, and in whole seconds
        // (rounded up) for a driver that counts seconds.
        qint64 milliseconds() const { return m_ms; }
        int seconds() const { return int((m_ms + 999) / 1000); }

    private:
        friend class ServerTimeLimit;
        ServerTimeLimit *m_limit;
        qint64 m_ms = 0;
    };

    // `seconds` is host.ini's Zeitlimit; `server` names the server in the watchdog's report, which goes
    // to `report`.
    ServerTimeLimit(int seconds, const QString &server, ServerWatchdog::Report report);
    ServerTimeLimit(const ServerTimeLimit &) = delete;
    ServerTimeLimit &operator=(const ServerTimeLimit &) = delete;

    // One piece at a time: connect first, then start the statement's work.
    // Throws HostError when the step has no time left for another statement.
    Work statement();
    // Connecting to the first answering server of `hosts`; throws HostError as statement() does, and
    // when connecting failed before in this step.
    Work connecting(int hosts);
    // Connecting failed for `reason`: the step tries no more, a failed connect costs a whole limit.
    void connectFailed(const QString &reason) { m_connectFailure = reason; }

    // How long the watchdog waits beyond the limit: libpq counts connect_timeout in whole seconds,
    // and no less than two.
    static constexpr qint64 MarginMs = 2000;

private:
    void refuseWhenUsedUp() const;
    void beginPiece(Work &work, qint64 ms, bool counts);
    void endPiece();
    void resetWhenTheEventLoopTurns();

    qint64 m_limitMs;
    QString m_server;
    QString m_connectFailure; // of this step
    qint64 m_usedMs = 0;
    bool m_counting = false;
    bool m_resetPending = false;
    QElapsedTimer m_clock;
    QTimer m_reset; // fires when the event loop turns; a pending reset ends with the object
    ServerWatchdog m_watchdog;
};
