#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

#include <optional>

// A tool's output without the final line break; nothing when it failed or did not end in time.
inline std::optional<QString> toolOutput(const QString &program, const QStringList &arguments,
                                         int timeoutMs = 30000)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}
