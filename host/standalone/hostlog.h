#pragma once

#include <QString>

#include <atomic>

// The host's log file: one line per report, appended whole, never throwing. At 1 MiB the log becomes
// "<log>.1", replacing the older one; a rotation that cannot happen is reported once per start. Every
// user of the workstation appends to it; what cannot reach it goes to the system's log as well.
class HostLog final
{
public:
    explicit HostLog(QString path) : m_path(std::move(path)) {}

    // Appends "YYYY-MM-DDTHH:MM:SS <terminal> <label>: <message>"; with toStandardError also prints it.
    void write(const QString &terminal, const QString &label, const QString &message,
               bool toStandardError) const noexcept;

    static QString line(const QString &terminal, const QString &label, const QString &message);

private:
    void reportRotationFailure(const QString &path, const QString &terminal, const QString &why) const;

    QString m_path;
    mutable std::atomic_bool m_rotationFailed = false;
};
