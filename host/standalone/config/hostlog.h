#pragma once

#include <QString>

// The host's log file: one line per report, appended whole, never throwing. At 1 MiB the log becomes
// "<log>.1", replacing the older one.
class HostLog final
{
public:
    explicit HostLog(QString path) : m_path(std::move(path)) {}

    // Appends "YYYY-MM-DDTHH:MM:SS <terminal> <label>: <message>"; with toStandardError also prints it.
    void write(const QString &terminal, const QString &label, const QString &message,
               bool toStandardError) const noexcept;

    static QString line(const QString &terminal, const QString &label, const QString &message);

private:
    QString m_path;
};
