#include "serverwatchdog.h"

#include <QThread>

#include <cstdlib>

ServerWatchdog::ServerWatchdog(Report report) : m_report(std::move(report)) {}

ServerWatchdog::~ServerWatchdog()
{
    if (!m_thread)
        return;
    {
        const QMutexLocker lock(&m_mutex);
        m_stopping = true;
        m_changed.wakeAll();
    }
    m_thread->wait();
}

void ServerWatchdog::arm(QDeadlineTimer deadline, const QString &label, const QString &message)
{
    const QMutexLocker lock(&m_mutex);
    m_armed = true;
    m_deadline = deadline;
    m_label = label;
    m_message = message;
    if (!m_thread) {
        m_thread.reset(QThread::create([this] { watch(); }));
        m_thread->start();
    }
    m_changed.wakeAll();
}

// Taking the lock decides the race with an expiry: once the watchdog holds it, the process ends.
void ServerWatchdog::disarm()
{
    const QMutexLocker lock(&m_mutex);
    m_armed = false;
    m_changed.wakeAll();
}

void ServerWatchdog::watch()
{
    QMutexLocker lock(&m_mutex);
    while (!m_stopping) {
        if (!m_armed)
            m_changed.wait(&m_mutex);
        else if (m_deadline.hasExpired())
            expire();
        else
            m_changed.wait(&m_mutex, m_deadline);
    }
}

// The GUI thread is stuck in the driver: the report goes out from here, and the process ends without
// running destructors that would need that thread.
void ServerWatchdog::expire()
{
    try {
        m_report(m_label, m_message);
    } catch (...) {
        // Nowhere left to report to; the process ends all the same.
    }
    std::_Exit(0);
}
