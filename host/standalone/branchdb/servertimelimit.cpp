#include "servertimelimit.h"

#include "host/hosterror.h"
#include "host/runningroutine.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>

namespace {

// The label when server work runs outside every guarded routine (the tools' own code does not).
const QString ProgramLabel = QStringLiteral("TQVXProgramm.ShowException");

} // namespace

ServerTimeLimit::Work::~Work()
{
    if (m_limit)
        m_limit->endPiece();
}

ServerTimeLimit::ServerTimeLimit(int seconds, const QString &server, ServerWatchdog::Report report)
    : m_limitMs(qint64(seconds) * 1000), m_server(server), m_watchdog(std::move(report))
{
    m_reset.setSingleShot(true);
    QObject::connect(&m_reset, &QTimer::timeout, &m_reset, [this] {
        m_usedMs = 0;
        m_connectFailure.clear();
        m_resetPending = false;
    });
}

ServerTimeLimit::Work ServerTimeLimit::statement()
{
    resetWhenTheEventLoopTurns();
    refuseWhenUsedUp();
    Work work(this);
    beginPiece(work, m_limitMs - m_usedMs, true);
    return work;
}

ServerTimeLimit::Work ServerTimeLimit::connecting(int hosts)
{
    resetWhenTheEventLoopTurns();
    if (!m_connectFailure.isEmpty())
        throw HostError(
            QStringLiteral("Filialdatenbank %1: kein neuer Verbindungsversuch in diesem Schritt; der "
                           "letzte schlug fehl: %2")
                .arg(m_server, m_connectFailure));
    // A step whose statements used up its time would only be refused after connecting again, which may
    // cost another connect limit.
    refuseWhenUsedUp();
    Work work(this);
    beginPiece(work, m_limitMs * std::max(hosts, 1), false);
    return work;
}

void ServerTimeLimit::refuseWhenUsedUp() const
{
    if (m_limitMs - m_usedMs < 1)
        throw HostError(QStringLiteral("Filialdatenbank %1: das Zeitlimit von %2 s ist in diesem Schritt "
                                       "schon aufgebraucht.")
                            .arg(m_server, QString::number(m_limitMs / 1000)));
}

void ServerTimeLimit::beginPiece(Work &work, qint64 ms, bool counts)
{
    work.m_ms = ms;
    m_counting = counts;
    m_clock.start();
    QString label = RunningRoutine::innermost();
    if (label.isEmpty())
        label = ProgramLabel;
    m_watchdog.arm(QDeadlineTimer(ms + MarginMs), label,
                   QStringLiteral("Filialdatenbank %1: keine Antwort innerhalb von %2 s; das Programm endet.")
                       .arg(m_server, QString::number((ms + MarginMs) / 1000)));
}

void ServerTimeLimit::endPiece()
{
    m_watchdog.disarm();
    if (m_counting)
        m_usedMs += m_clock.elapsed();
    m_counting = false;
}

// A step ends when the program waits for the user again: its event loop turns.
void ServerTimeLimit::resetWhenTheEventLoopTurns()
{
    if (m_resetPending || !QCoreApplication::instance())
        return;
    m_resetPending = true;
    m_reset.start(0);
}
