#pragma once

#include <QDeadlineTimer>
#include <QMutex>
#include <QString>
#include <QWaitCondition>

#include <functional>

#include <memory>

class QThread;

// Bounds a wait on a server that libpq's and the server's own limits cannot end: a server process
// that is alive but silent. While armed, a thread of its own waits for the deadline; when it passes,
// the message goes to the report function it was given (the host's error service) under the label,
// from the watchdog's thread, and the process ends with exit code 0, as every run of the program does.
// Disarming after the deadline waits for that end.
class ServerWatchdog final
{
public:
    // Called with the label and the message; it must not need the stuck GUI thread.
    using Report = std::function<void(const QString &label, const QString &message)>;

    explicit ServerWatchdog(Report report);
    ~ServerWatchdog();
    ServerWatchdog(const ServerWatchdog &) = delete;
    ServerWatchdog &operator=(const ServerWatchdog &) = delete;

    void arm(QDeadlineTimer deadline, const QString &label, const QString &message);
    void disarm();

private:
    void watch();
    [[noreturn]] void expire();

    Report m_report;
    QMutex m_mutex;
    QWaitCondition m_changed;
    std::unique_ptr<QThread> m_thread;
    bool m_armed = false;
    bool m_stopping = false;
    QDeadlineTimer m_deadline;
    QString m_label;
    QString m_message;
};
